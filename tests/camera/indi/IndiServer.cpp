#include "IndiServer.h"

#include "link/LinkTestSupport.h"

#include <QDeadlineTimer>
#include <QFile>
#include <QStandardPaths>
#include <QTcpSocket>
#include <QThread>

#include <csignal>
#include <sys/types.h>

IndiServer::~IndiServer() { Stop(); }

bool IndiServer::Available() { return !QStandardPaths::findExecutable(QStringLiteral("indiserver")).isEmpty(); }

bool IndiServer::Start(const QStringList& drivers, QString* why, const QStringList& serverOptions)
{
    if (!m_dir.isValid()) {
        *why = QStringLiteral("no temporary directory");
        return false;
    }
    for (int attempt = 0; attempt < 3; ++attempt) {
        m_port = FreePort();
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("HOME"), m_dir.path());
        m_process.setProcessEnvironment(env);
        m_process.setWorkingDirectory(m_dir.path());
        m_process.setProcessChannelMode(QProcess::MergedChannels);
        m_process.setStandardOutputFile(m_dir.filePath(QStringLiteral("indiserver.log")));
        m_process.start(QStringLiteral("indiserver"),
                        QStringList {QStringLiteral("-p"), QString::number(m_port), QStringLiteral("-r"),
                                     QStringLiteral("0"), QStringLiteral("-u"),
                                     m_dir.filePath(QStringLiteral("indiserver.sock"))}
                            + serverOptions + drivers);
        if (!m_process.waitForStarted(5000)) {
            *why = QStringLiteral("indiserver did not start: ") + m_process.errorString();
            return false;
        }
        // Ready when a client gets every driver's CONNECTION definition.
        const QDeadlineTimer deadline(15000);
        while (!deadline.hasExpired() && m_process.state() == QProcess::Running) {
            QTcpSocket probe;
            probe.connectToHost(QStringLiteral("127.0.0.1"), quint16(m_port));
            if (probe.waitForConnected(500)) {
                probe.write("<getProperties version='1.7'/>");
                QByteArray seen;
                const QDeadlineTimer answer(3000);
                while (!answer.hasExpired() && seen.count("name=\"CONNECTION\"") < drivers.size())
                    if (probe.waitForReadyRead(200))
                        seen += probe.readAll();
                if (seen.count("name=\"CONNECTION\"") >= drivers.size())
                    return true;
            }
            QThread::msleep(100);
        }
        Stop();   // port taken meanwhile, or drivers too slow: once more on another port
    }
    QFile log(m_dir.filePath(QStringLiteral("indiserver.log")));
    log.open(QIODevice::ReadOnly);
    *why = QStringLiteral("indiserver did not come up: ") + QString::fromLocal8Bit(log.readAll().right(500));
    return false;
}

void IndiServer::Kill()
{
    if (m_process.state() == QProcess::Running)
        ::kill(pid_t(m_process.processId()), SIGKILL);
    m_process.waitForFinished(5000);
}

void IndiServer::Pause()
{
    if (m_process.state() == QProcess::Running)
        ::kill(pid_t(m_process.processId()), SIGSTOP);
}

void IndiServer::Resume()
{
    if (m_process.state() == QProcess::Running)
        ::kill(pid_t(m_process.processId()), SIGCONT);
}

void IndiServer::Stop()
{
    if (m_process.state() == QProcess::NotRunning)
        return;
    Resume();
    m_process.terminate();
    if (!m_process.waitForFinished(3000)) {
        m_process.kill();
        m_process.waitForFinished(3000);
    }
}

QString IndiServer::WriteSettings(const QString& extraLines) const
{
    static int count = 0;
    const QString path = m_dir.filePath(QStringLiteral("Tandexa-%1.ini").arg(++count));
    QFile f(path);
    f.open(QIODevice::WriteOnly | QIODevice::Truncate);
    f.write(QStringLiteral("[Camera]\r\nDriver=INDI\r\nIndiHost=127.0.0.1\r\nIndiPort=%1\r\n%2")
                .arg(m_port)
                .arg(extraLines)
                .toUtf8());
    return path;
}
