#pragma once
// ScriptedDocument: the document of a finished test exposure. Saving records the
// path and the name in the server and, when the server's WriteFiles is set,
// writes a small placeholder file (failing like a real save when the folder
// is missing).
#include "camera/IDocument.h"

#include <QVariantMap>

class ScriptedCameraServer;

class ScriptedDocument : public IDocument {
public:
    explicit ScriptedDocument(ScriptedCameraServer& server) : m_server(server) {}

    void SetDisplayName(const QString& name) override;
    QString DisplayName() const override { return m_name; }
    // Kept with the document and handed to the server with each save
    // (SavedKeys); not logged as a call, so call tables stay as they are.
    void SetFITSKey(const QString& key, const QVariant& value) override { m_keys.insert(key.toUpper(), value); }
    using IDocument::SaveImage;
    void SaveImage(const QString& path, SaveMode mode) override;

    // The save itself, without recording a call. With WriteFiles, CreateNew
    // refuses an existing file (FileExistsError) as a real driver does.
    void Store(const QString& path, SaveMode mode);

private:
    ScriptedCameraServer& m_server;
    QString m_name;
    QVariantMap m_keys;
};
