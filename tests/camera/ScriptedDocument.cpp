#include "ScriptedDocument.h"

#include "ScriptedCameraServer.h"
#include "camera/AutomationError.h"
#include "camera/FileExistsError.h"

#include <QFile>

void ScriptedDocument::SetDisplayName(const QString& name)
{
    m_server.Enter("SetDisplayName", {name});
    m_name = name;
}

void ScriptedDocument::SaveImage(const QString& path, SaveMode mode)
{
    m_server.Enter("DocumentSaveImage", mode == SaveMode::CreateNew ? QStringList {path, "new"} : QStringList {path});
    Store(path, mode);
}

void ScriptedDocument::Store(const QString& path, SaveMode mode)
{
    if (m_server.BeforeSave)
        m_server.BeforeSave(path);
    if (m_server.WriteFiles) {
        QFile file(path);
        if (mode == SaveMode::CreateNew && file.exists())
            throw FileExistsError(QStringLiteral("Unable to save image %1: a file of that name appeared").arg(path));
        if (!file.open(QIODevice::WriteOnly))
            throw AutomationError(QStringLiteral("Unable to save image %1: %2").arg(path, file.errorString()));
        file.write("TEST IMAGE " + m_name.toUtf8() + '\n');
    }
    m_server.SavedPaths.append(path);
    m_server.SavedNames.append(m_name);
    m_server.SavedKeys.append(m_keys);
}
