#include "IndiApplication.h"

#include "camera/AutomationError.h"
#include "camera/indi/IndiCamera.h"
#include "camera/indi/IndiClient.h"

IndiApplication::IndiApplication(const IndiSettings& settings)
    : m_settings(settings), m_client(std::make_shared<IndiClient>(settings.Host, settings.Port))
{
    m_client->connectToServer(ToMs(settings.ConnectTimeout));
}

IndiApplication::~IndiApplication()
{
    m_client->disconnectFromServer();
}

std::unique_ptr<ICamera> IndiApplication::CCDCamera()
{
    QStringList devices {m_settings.Camera};
    if (m_settings.WheelDevice() != m_settings.Camera)
        devices << m_settings.WheelDevice();
    // Every driver defines CONNECTION first.
    const auto missing = [&]() -> QString {
        for (const QString& d : devices)
            if (!m_client->cache().find(d, QStringLiteral("CONNECTION")))
                return d;
        return QString();
    };
    m_client->waitUntil([&] { return missing().isEmpty() || !m_client->isConnected(); },
                        ToMs(m_settings.ReplyTimeout), QStringLiteral("waiting for the INDI server's devices"));
    if (!m_client->isConnected())
        throw AutomationError(QStringLiteral("Lost the INDI server at %1: %2").arg(m_client->serverName(),
                                                                                  m_client->lostReason()));
    const QString absent = missing();
    if (!absent.isEmpty()) {
        const QStringList known = m_client->cache().devices();
        throw AutomationError(QStringLiteral("The INDI server at %1 has no device \"%2\" (it has: %3)")
                                  .arg(m_client->serverName(), absent,
                                       known.isEmpty() ? QStringLiteral("none") : known.join(QStringLiteral(", "))));
    }
    return std::make_unique<IndiCamera>(m_client, m_settings);
}

void IndiApplication::Release()
{
    m_client->disconnectFromServer();
}
