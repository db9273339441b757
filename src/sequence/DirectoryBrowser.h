#pragma once
// DirectoryBrowser: the folder walk behind the destination folder chooser,
// kept apart from the dialog so it runs against a real directory tree in tests.
//
// The current path ends with the platform separator once listed. The root is
// where Up stops: a drive root such as "C:\" on Windows, "/" elsewhere.
// Listing shows the sub-folders only - no files, no names beginning with "."
// (which removes "." and ".." and hidden folders), sorted by name as the
// Windows file system returns them.
#include <QString>
#include <QStringList>

class DirectoryBrowser {
public:
    explicit DirectoryBrowser(const QString& start, QChar separator = defaultSeparator());

    const QString& Path() const { return m_path; }

    // Appends the separator when missing and lists the current path. A folder
    // that does not exist or cannot be read lists nothing.
    QStringList Refresh();

    // Goes into the sub-folder name (no check that it exists; the next
    // Refresh shows what is there).
    void Down(const QString& name);

    // Cuts the path after the separator before its last folder; at the root
    // nothing changes.
    void Up();

    // Creates the one folder Path() + name (its parent must exist; an existing
    // folder or an empty name fails) and on success makes it the current
    // path. Returns false on failure with the path unchanged.
    bool CreateFolder(const QString& name);

    // What OK returns: the current path, plus selected when it is not empty,
    // always ending with the separator. The current path becomes that result.
    QString Accept(const QString& selected);

    static QChar defaultSeparator();

private:
    void ensureSeparator(QString& path) const;
    QString m_path;
    QChar m_sep;
};
