#include "ProgramDir.h"

#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

namespace {
QString g_programDir;

bool isSeparator(QChar c) { return c == '\\' || c == '/'; }
}

QString DirectoryOfExecutable(const QString& exePath)
{
    // Last "\", "/" or ":"; keep a separator only when it follows a drive
    // colon ("C:\x.exe" -> "C:\"), then drop one trailing separator.
    int cut = -1;
    for (int i = exePath.size() - 1; i >= 0; --i) {
        const QChar c = exePath.at(i);
        if (isSeparator(c) || c == ':') {
            cut = i;
            break;
        }
    }
    if (cut < 0)
        return QString();
    QString dir;
    if (exePath.at(cut) == ':')
        dir = exePath.left(cut + 1);
    else if (cut > 0 && exePath.at(cut - 1) == ':')
        dir = exePath.left(cut + 1);
    else
        dir = exePath.left(cut);
    if (!dir.isEmpty() && isSeparator(dir.back()))
        dir.chop(1);
    return dir;
}

QString ResolveProgramDir(const QString& exePath)
{
    const QString dir = DirectoryOfExecutable(exePath);
    const QFileInfo info(dir.isEmpty() ? QStringLiteral("/") : dir);
    // An installed copy (the package, cmake --install) has its desktop entry
    // in <prefix>/share/applications beside <prefix>/bin; its files never go
    // into the program's directory, even for root, who could write there.
    const bool installed = QFileInfo::exists(dir + QStringLiteral("/../share/applications/tandexa.desktop"));
    if (info.isDir() && info.isWritable() && !installed)
        return dir;
    QString data = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation)
        + QStringLiteral("/Tandexa");
    QDir().mkpath(data);
    return data;
}

const QString& ProgramDir() { return g_programDir; }

void SetProgramDir(const QString& dir) { g_programDir = dir; }

QString ProgramFile(const QString& name)
{
    return g_programDir + QDir::separator() + name;
}
