#pragma once
// GuiderStatus: the one line that tells the user what the separate guider is
// doing ("PHD2: Guiding", "PHD2: LostLock", "PHD2 at localhost:4400:
// connection refused"); empty when the camera driver's own guider is used.
// Process-wide, because the window shows it while the guider itself lives
// inside the camera objects the connection holds.
#include <QObject>
#include <QString>

class GuiderStatus : public QObject {
    Q_OBJECT
public:
    static GuiderStatus& Instance();

    QString Text() const { return m_text; }
    void Set(const QString& text);
    // Shows `client`'s status now and on each change, until another client
    // is followed, Set() is called, or the client ends (the text is then
    // cleared). A client is any guider connection (a QObject) with
    // StatusText() and a statusChanged(QString) signal; the guider drivers
    // stay unknown here.
    template <class Client>
    void Follow(Client& client)
    {
        Set(client.StatusText());
        m_followed = &client;
        m_statusConnection = connect(&client, &Client::statusChanged, this, [this](const QString& text) {
            if (text != m_text) {
                m_text = text;
                emit changed(m_text);
            }
        });
        m_endConnection = connect(&client, &QObject::destroyed, this, [this] { Set(QString()); });
    }

signals:
    void changed(const QString& text);

private:
    GuiderStatus() = default;
    void unfollow();

    QString m_text;
    const QObject* m_followed = nullptr;
    QMetaObject::Connection m_statusConnection, m_endConnection;
};
