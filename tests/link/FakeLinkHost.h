#pragma once
// FakeLinkHost: records what the peer link shows, in order.
#include "link/PeerLinkHost.h"

#include <QStringList>

class FakeLinkHost : public PeerLinkHost {
public:
    void SetStatusText(const QString& text) override
    {
        status = text;
        events.append("status:" + text);
    }
    QString PeerAddress() const override { return address; }
    int PeerPort() const override { return port; }
    void SetLinkControls(bool isLinked) override
    {
        linked = isLinked;
        events.append(isLinked ? "controls:linked" : "controls:idle");
    }
    void ShowStandardError(const QString& message) override
    {
        errors.append(message);
        events.append("error:" + message);
    }

    QString address = QStringLiteral("127.0.0.1");
    int port = 0;
    QString status;
    bool linked = false;
    QStringList errors;
    QStringList events;
};
