#include "app/FilterSetFile.h"

#include "platform/AtomicFile.h"
#include "platform/Error.h"
#include "platform/ProgramDir.h"

#include <QFile>
#include <QFileInfo>

QString FilterSetFile::Path() { return ProgramFile(QStringLiteral("FilterSet.txt")); }

QStringList FilterSetFile::Parse(const QByteArray& bytes)
{
    QByteArray text = bytes;
    const qsizetype zero = text.indexOf('\0');
    if (zero >= 0)
        text.truncate(zero);
    QStringList names;
    qsizetype start = 0;
    qsizetype i = 0;
    while (i < text.size()) {
        const char c = text.at(i);
        if (c == '\r' || c == '\n') {
            names << QString::fromLocal8Bit(text.mid(start, i - start));
            i += (c == '\r' && i + 1 < text.size() && text.at(i + 1) == '\n') ? 2 : 1;
            start = i;
        } else {
            ++i;
        }
    }
    if (start < text.size())
        names << QString::fromLocal8Bit(text.mid(start));
    return names;
}

QByteArray FilterSetFile::Format(const QStringList& names)
{
    QByteArray out;
    for (const QString& name : names)
        out += name.toLocal8Bit() + "\r\n";
    return out;
}

QStringList FilterSetFile::Load(const QString& path)
{
    QFile file(path);
    if (!QFileInfo::exists(path))
        return {};
    if (!file.open(QIODevice::ReadOnly))
        throw Error(QStringLiteral("Cannot open file %1").arg(path));
    return Parse(file.readAll());
}

void FilterSetFile::Save(const QString& path, const QStringList& names)
{
    WriteFileAtomically(path, Format(names), QStringLiteral("Cannot create file %1").arg(path));
}
