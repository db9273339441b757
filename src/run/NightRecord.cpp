#include "run/NightRecord.h"

#include <QDir>
#include <QFile>

NightRecord::NightRecord(QString folder, std::function<QDateTime()> nowUtc)
    : m_folder(std::move(folder)), m_nowUtc(std::move(nowUtc))
{
}

QString NightRecord::FileNameFor(const QDateTime& utc)
{
    const QDate evening = utc.toLocalTime().addSecs(-12 * 3600).date();
    return QStringLiteral("Tandexa-night-") + evening.toString(Qt::ISODate) + QStringLiteral(".txt");
}

QByteArray NightRecord::Line(const QDateTime& utc, const QString& event)
{
    QString text = event;
    text.replace(QLatin1String("\r\n"), QLatin1String(" "));
    text.replace(QLatin1Char('\r'), QLatin1Char(' '));
    text.replace(QLatin1Char('\n'), QLatin1Char(' '));
    return (utc.toUTC().toString(Qt::ISODateWithMs) + QStringLiteral("  ") + text).toUtf8() + "\r\n";
}

QString NightRecord::Path() const
{
    return QDir(m_folder).filePath(FileNameFor(m_nowUtc()));
}

bool NightRecord::Append(const QString& event)
{
    const QDateTime now = m_nowUtc();
    const QString path = QDir(m_folder).filePath(FileNameFor(now));
    QFile file(path);
    const QByteArray line = Line(now, event);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Append) || file.write(line) != line.size() || !file.flush()) {
        m_error = QStringLiteral("Unable to write the night's record %1: %2")
                      .arg(QDir::toNativeSeparators(path), file.errorString());
        return false;
    }
    m_error.clear();
    return true;
}
