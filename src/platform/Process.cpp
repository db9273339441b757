#include "Process.h"

#include <QProcess>

bool StartProcess(const QString& program, const QStringList& arguments, bool wait)
{
    if (!wait)
        return QProcess::startDetached(program, arguments);
    QProcess process;
    process.setProgram(program);
    process.setArguments(arguments);
    process.setProcessChannelMode(QProcess::ForwardedChannels);
    process.start();
    if (!process.waitForStarted(-1))
        return false;
    process.waitForFinished(-1);
    return true;
}
