#include "Phd2Guider.h"

#include "camera/AutomationError.h"
#include "guider/phd2/Phd2Client.h"

#include <QJsonArray>

Phd2Guider::Phd2Guider(std::shared_ptr<Phd2Client> client) : m_client(std::move(client)) {}

void Phd2Guider::Open()
{
    m_client->Open();
}

std::pair<float, float> Phd2Guider::lockPosition()
{
    // The requests run event loops; the client stays valid across them even
    // if this guider were let go meanwhile.
    const std::shared_ptr<Phd2Client> client = m_client;
    const QString state = client->Call(QStringLiteral("get_app_state")).toString();
    // A star lost just now leaves the lock position in place: the dither
    // moves it, and the wait after the move waits for guiding to resume.
    const bool guiding = state == QLatin1String("Guiding") || state == QLatin1String("LostLock");
    if (!guiding)
        throw AutomationError(QStringLiteral("%1: not guiding, so there is no guide star position (PHD2 state: %2)")
                                  .arg(client->Where(), state.isEmpty() ? QStringLiteral("unknown") : state));
    const QJsonValue lock = client->Call(QStringLiteral("get_lock_position"));
    const QJsonArray xy = lock.toArray();
    if (!lock.isArray() || xy.size() < 2 || !xy.at(0).isDouble() || !xy.at(1).isDouble())
        throw AutomationError(
            QStringLiteral("%1: no lock position is set (PHD2 state: %2)").arg(client->Where(), state));
    return {float(xy.at(0).toDouble()), float(xy.at(1).toDouble())};
}

void Phd2Guider::MoveStar(float x, float y)
{
    // Errors of frames guided before PHD2 took the new lock position say
    // nothing about the move; the reply resets them in stream order.
    const std::shared_ptr<Phd2Client> client = m_client;
    Phd2Client* target = client.get();
    client->Call(QStringLiteral("set_lock_position"), QJsonArray{double(x), double(y), true}, [target] {
        target->ForgetGuideError();
    });
}

std::pair<float, float> Phd2Guider::error() const
{
    if (!m_client->IsConnected()) {
        const QString reason = m_client->LostReason();
        throw AutomationError(m_client->Where() + QStringLiteral(": ")
                              + (reason.isEmpty() ? QStringLiteral("not connected") : reason));
    }
    const auto e = m_client->LatestGuideError();
    if (!e.current)
        return {NotSettledError, NotSettledError};
    return {float(e.dx), float(e.dy)};
}

quint64 Phd2Guider::Interruptions()
{
    return m_client->Interruptions();
}
