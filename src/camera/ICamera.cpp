#include "camera/ICamera.h"

#include "camera/IDocument.h"
#include "camera/ImageSave.h"

std::shared_ptr<ImageSave> ICamera::StartSaveImage(const QString& path, SaveMode mode)
{
    RefuseExistingFile(path, mode);
    SaveImage(path);
    return ImageSave::Done();
}
