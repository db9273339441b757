#pragma once
// IndiServer: an indiserver with the Debian simulator drivers for one test,
// on a loopback port of its own, with HOME (where drivers keep their
// settings) and its local socket in a temporary directory. Stopped by its
// process id when the object goes.
#include <QProcess>
#include <QStringList>
#include <QTemporaryDir>

class IndiServer {
public:
    IndiServer() = default;
    ~IndiServer();
    IndiServer(const IndiServer&) = delete;
    IndiServer& operator=(const IndiServer&) = delete;

    // Starts the server and waits (at most 15 s) until it accepts
    // connections and every driver has defined its properties. False with
    // the reason in `why` otherwise. `serverOptions` go to indiserver before
    // the drivers (for example {"-m", "1024"} for frames above 128 MB).
    bool Start(const QStringList& drivers, QString* why, const QStringList& serverOptions = {});
    int Port() const { return m_port; }
    qint64 Pid() const { return m_process.processId(); }

    void Kill();      // SIGKILL: the connection drops
    void Pause();     // SIGSTOP: the server says nothing more
    void Resume();
    void Stop();

    // Writes a new settings file with the camera section for this server.
    QString WriteSettings(const QString& extraLines = QString()) const;
    QString Dir() const { return m_dir.path(); }

    // Whether the indiserver binary exists on this machine.
    static bool Available();

private:
    QTemporaryDir m_dir;
    QProcess m_process;
    int m_port = 0;
};
