#include "DirectoryBrowser.h"

#include <QDir>

DirectoryBrowser::DirectoryBrowser(const QString& start, QChar separator)
    : m_path(start), m_sep(separator)
{
}

QChar DirectoryBrowser::defaultSeparator()
{
    return QDir::separator();
}

void DirectoryBrowser::ensureSeparator(QString& path) const
{
    if (!path.endsWith(m_sep))
        path += m_sep;
}

QStringList DirectoryBrowser::Refresh()
{
    ensureSeparator(m_path);
    QDir dir(m_path);
    if (!dir.exists())
        return {};
    QStringList names = dir.entryList(QDir::Dirs | QDir::NoDotAndDotDot, QDir::Name);
    names.removeIf([](const QString& name) { return name.startsWith(QLatin1Char('.')); });
    return names;
}

void DirectoryBrowser::Down(const QString& name)
{
    m_path += name;
    ensureSeparator(m_path);
}

void DirectoryBrowser::Up()
{
    // From the next-to-last character backwards. On Windows the first
    // character is never a cut point ("C:\" stays); elsewhere the leading "/"
    // is the root and is one.
    const int lowest = m_sep == QLatin1Char('\\') ? 1 : 0;
    for (int i = int(m_path.size()) - 2; i >= lowest; --i) {
        if (m_path.at(i) == m_sep) {
            m_path.truncate(i + 1);
            return;
        }
    }
}

bool DirectoryBrowser::CreateFolder(const QString& name)
{
    if (name.isEmpty())
        return false;
    const QString target = m_path + name;
    if (!QDir().mkdir(target))
        return false;
    m_path = target;
    ensureSeparator(m_path);
    return true;
}

QString DirectoryBrowser::Accept(const QString& selected)
{
    QString result = m_path + selected;
    ensureSeparator(result);
    m_path = result;
    return result;
}
