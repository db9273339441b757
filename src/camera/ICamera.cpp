#include "camera/ICamera.h"

#include "camera/ImageSave.h"

std::shared_ptr<ImageSave> ICamera::StartSaveImage(const QString& path, SaveMode mode)
{
    SaveImage(path, mode);
    return ImageSave::Done();
}
