#include "Phd2Probe.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QTcpSocket>

Phd2Probe::Phd2Probe(QObject* parent) : QObject(parent), m_socket(new QTcpSocket(this))
{
    m_deadline.setSingleShot(true);
    connect(&m_deadline, &QTimer::timeout, this, [this] {
        if (m_socket->state() == QAbstractSocket::ConnectedState)
            conclude(false, QStringLiteral("%1 accepted the connection but reported no state within %2 s "
                                           "(is it PHD2's event server?)")
                                .arg(where()).arg(m_replyTimeoutMs / 1000.0));
        else
            conclude(false, QStringLiteral("%1: no answer (is the host right, and PHD2 running?)").arg(where()));
    });
    connect(m_socket, &QTcpSocket::connected, this, [this] { m_deadline.start(m_replyTimeoutMs); });
    connect(m_socket, &QTcpSocket::readyRead, this, &Phd2Probe::onReadyRead);
    connect(m_socket, &QTcpSocket::errorOccurred, this, [this](QAbstractSocket::SocketError error) {
        switch (error) {
        case QAbstractSocket::ConnectionRefusedError:
            conclude(false, QStringLiteral("%1: connection refused (is PHD2 running, with Tools, \"Enable Server\" "
                                           "on, and is the instance right?)").arg(where()));
            break;
        case QAbstractSocket::RemoteHostClosedError:
            conclude(false, QStringLiteral("%1: the connection was closed by PHD2").arg(where()));
            break;
        case QAbstractSocket::HostNotFoundError:
            conclude(false, QStringLiteral("%1: host not found").arg(where()));
            break;
        default:
            conclude(false, QStringLiteral("%1: %2").arg(where(), m_socket->errorString()));
        }
    });
}

Phd2Probe::~Phd2Probe()
{
    m_socket->disconnect(this);
    m_socket->abort();
}

QString Phd2Probe::where() const { return QStringLiteral("PHD2 at %1:%2").arg(m_host).arg(m_port); }

void Phd2Probe::Start(const QString& host, quint16 port, int connectTimeoutMs, int replyTimeoutMs)
{
    m_host = host;
    m_port = port;
    m_replyTimeoutMs = replyTimeoutMs;
    m_version.clear();
    m_reader.Clear();
    m_done = false;
    m_deadline.start(connectTimeoutMs);
    m_socket->connectToHost(host, port);
}

void Phd2Probe::onReadyRead()
{
    bool overflow = false;
    for (const QByteArray& line : m_reader.Append(m_socket->readAll(), &overflow)) {
        const QJsonObject event = QJsonDocument::fromJson(line).object();
        const QString name = event.value(QStringLiteral("Event")).toString();
        if (name == QLatin1String("Version")) {
            m_version = event.value(QStringLiteral("PHDVersion")).toString();
        } else if (name == QLatin1String("AppState")) {
            const QString state = event.value(QStringLiteral("State")).toString();
            const bool guiding = state == QLatin1String("Guiding");
            conclude(true, QStringLiteral("%1%2: state %3, %4.")
                               .arg(where(), m_version.isEmpty() ? QString() : QStringLiteral(" (PHD2 %1)").arg(m_version),
                                    state.isEmpty() ? QStringLiteral("unknown") : state,
                                    guiding ? QStringLiteral("guiding")
                                            : QStringLiteral("not guiding (start guiding before the first dither)")));
            return;
        }
    }
    if (overflow)
        conclude(false, QStringLiteral("%1 sent a message too long to be one of PHD2's").arg(where()));
}

void Phd2Probe::conclude(bool ok, const QString& report)
{
    if (m_done)
        return;
    m_done = true;
    m_deadline.stop();
    m_socket->abort();
    emit finished(ok, report);
}
