#pragma once
// IndiClient: one connection to an INDI server, on the UI thread. It reads
// the server's stream as the socket delivers it, keeps the property cache and
// the last BLOB of each BLOB property, and sends requests.
//
// Waiting: connectToServer(), waitUntil() and request() return only when the
// answer is there, processing events meanwhile in a local event loop (it
// blocks until an event comes; a precise single-shot timer bounds it). They
// must never be called from inside the socket's read handler (they throw
// then): a caller is a button handler or a run, never a socket event. A stop
// asked for meanwhile (StopRequest) ends every wait within StopRequest::PollMs
// with StopRequestedError.
//
// Bounds on what the server sends: the socket holds at most ReadBufferBytes
// unread (the server then waits, as TCP makes it); the read handler does a
// bounded amount of work per pass (a slice of the buffer, about 10 ms) and
// continues in the next event-loop pass, so neither a large image nor a
// flood of updates holds the UI thread for long; BLOBs are decoded only for
// a property someone expects (expectBlob) and only up to the size given
// there; the property cache is bounded (IndiPropertyCache). Breaking a bound
// ends the connection with a reason that says what the server did.
#include "camera/indi/IndiPropertyCache.h"
#include "camera/indi/IndiStreamParser.h"

#include <QElapsedTimer>
#include <QObject>
#include <QPair>
#include <functional>

class QTcpSocket;

class IndiClient : public QObject {
    Q_OBJECT
public:
    struct Blob {
        quint64 Serial = 0;     // 0: none yet; grows with every BLOB received
        QByteArray Data;
        QString Format;
        QString Problem;        // what was wrong with it (Data is then empty)
        qint64 Claimed = -1;    // the size the server announced (-1: none)
    };
    static constexpr qint64 ReadBufferBytes = 4 * 1024 * 1024;
    using Values = QList<QPair<QString, QString>>;   // element name, value text

    IndiClient(const QString& host, int port);
    ~IndiClient() override;

    // Connects and asks for every property. Throws AutomationError naming the
    // host, the port and the reason.
    void connectToServer(int timeoutMs);
    void disconnectFromServer();

    bool isConnected() const;
    // Why the connection ended ("" while it is up or before it started).
    QString lostReason() const { return m_lost; }
    QString serverName() const;   // "host:port"

    const IndiPropertyCache& cache() const { return m_cache; }
    const Blob& blob(const QString& device, const QString& name) const;
    // Lets go of the stored bytes of the BLOB (its serial stays).
    void releaseBlob(const QString& device, const QString& name);
    // The next BLOBs of (device, name) are wanted, up to `maxBytes` decoded;
    // without this (or after ignoreBlob) they are skipped undecoded. A BLOB
    // past the size arrives as one with a Problem and no data.
    void expectBlob(const QString& device, const QString& name, qint64 maxBytes);
    // Nobody waits for (device, name) any more: a payload now arriving is
    // skipped from here on, later ones entirely.
    void ignoreBlob(const QString& device, const QString& name);

    // Sends new values to a property (newNumberVector etc.) and marks it Busy
    // in the cache. Does not wait.
    void sendNew(IndiKind kind, const QString& device, const QString& name, const Values& values);
    // Asks the server to send the device's BLOBs along with everything else.
    void enableBlobs(const QString& device);

    // Processes events until done() holds, the connection ends or timeoutMs
    // pass. Returns done(). Throws StopRequestedError("Stopped while <what>")
    // when a stop is asked for first.
    bool waitUntil(const std::function<bool()>& done, int timeoutMs, const QString& what = QString());

    // sendNew() and wait for the driver's verdict: returns once the property
    // is neither Busy nor Alert and accepted() holds. Throws AutomationError
    // when the driver answers Alert without accepted() holding (a driver may
    // first repeat its old state with the new values, so an Alert whose values
    // are accepted is waited past), on the time-out, when the property goes
    // away, or when the connection ends; StopRequestedError when a stop is
    // asked for. `what` names the request in messages ("setting the binning
    // to 3 x 3").
    void request(IndiKind kind, const QString& device, const QString& name, const Values& values,
                 const std::function<bool(const IndiProperty&)>& accepted, int timeoutMs, const QString& what);

    // Milliseconds the longest single pass of the read handler took.
    qint64 longestReadPassMs() const { return m_longestPassMs; }

signals:
    // Something arrived (or the connection changed); waits re-check here.
    void changed();
    // The payload of a BLOB begins to arrive (for timing).
    void blobArriving();

private:
    void onReadyRead();
    void onEvent(IndiEvent&& event);
    void lose(const QString& reason);
    void write(const QByteArray& xml);

    QString m_host;
    int m_port;
    QTcpSocket* m_socket;
    IndiStreamParser m_parser;
    IndiPropertyCache m_cache;
    QHash<QString, Blob> m_blobs;
    QHash<QString, qint64> m_blobLimits;   // wanted BLOB properties and their size bound
    quint64 m_blobSerial = 0;
    QString m_lost;
    bool m_inReadHandler = false;
    bool m_continuationQueued = false;
    qint64 m_longestPassMs = 0;
};
