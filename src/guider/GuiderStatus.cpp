#include "GuiderStatus.h"

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

void GuiderStatus::unfollow()
{
    if (!m_followed)
        return;
    disconnect(m_statusConnection);
    disconnect(m_endConnection);
    m_followed = nullptr;
}
