#include "camera/IDocument.h"

#include "camera/AutomationError.h"
#include "camera/ImageSave.h"

#include <QFileInfo>

void RefuseExistingFile(const QString& path, SaveMode mode)
{
    if (mode == SaveMode::CreateNew && QFileInfo::exists(path))
        throw AutomationError(QStringLiteral("Unable to save image %1: the file exists").arg(path));
}

std::shared_ptr<ImageSave> IDocument::StartSave(const QString& path, SaveMode mode)
{
    RefuseExistingFile(path, mode);
    SaveImage(path);
    return ImageSave::Done();
}
