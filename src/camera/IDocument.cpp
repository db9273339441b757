#include "camera/IDocument.h"

#include "camera/ImageSave.h"

std::shared_ptr<ImageSave> IDocument::StartSave(const QString& path, SaveMode mode)
{
    SaveImage(path, mode);
    return ImageSave::Done();
}
