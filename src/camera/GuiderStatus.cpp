#include "GuiderStatus.h"

#include "camera/Phd2Client.h"

GuiderStatus& GuiderStatus::Instance()
{
    static GuiderStatus status;
    return status;
}

void GuiderStatus::Set(const QString& text)
{
    unfollow();
    if (text == m_text)
        return;
    m_text = text;
    emit changed(m_text);
}

void GuiderStatus::Follow(Phd2Client& client)
{
    Set(client.StatusText());
    m_followed = &client;
    m_statusConnection = connect(&client, &Phd2Client::statusChanged, this, [this](const QString& text) {
        if (text != m_text) {
            m_text = text;
            emit changed(m_text);
        }
    });
    m_endConnection = connect(&client, &QObject::destroyed, this, [this] { Set(QString()); });
}

void GuiderStatus::unfollow()
{
    if (!m_followed)
        return;
    disconnect(m_statusConnection);
    disconnect(m_endConnection);
    m_followed = nullptr;
}
