#include "run/FrameName.h"

#include <QDir>

qint64 FrameName::Number(qint64 iteration, qint64 repeat, qint64 frame)
{
    return (iteration - 1) * repeat + frame;
}

QString FrameName::NumberText(qint64 number)
{
    QString text = QString::number(number);
    while (text.size() < 3)
        text.prepend(QLatin1Char('0'));
    return text;
}

QString FrameName::FileName(const QString& prefix, const QString& numberText, const QString& suffix)
{
    return prefix + QLatin1Char('-') + numberText + suffix + QStringLiteral(".fit");
}

QString FrameName::FullPath(const QString& destDir, const QString& fileName)
{
    return destDir + QDir::separator() + fileName;
}
