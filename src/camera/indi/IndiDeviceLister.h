#pragma once
// IndiDeviceLister: asks an INDI server which devices it has and what each
// one is, without waiting: Start() returns at once and finished() or failed()
// follows from the event loop.
//
// What a device is comes from its DRIVER_INFO's DRIVER_INTERFACE (the
// driver's interface bits: 2 camera, 16 filter wheel), which drivers define
// before they are connected; a device without it counts as a camera when it
// defines CCD_EXPOSURE and as a wheel when it defines FILTER_SLOT. A camera
// that is also a wheel has its own wheel.
//
// The list is complete when no new device has been announced for QuietMs
// after the first one, or at the time-out; a server that announced nothing
// by then fails with a message naming host and port.
#include <QObject>
#include <QStringList>
#include <QTimer>

class IndiProbeClient;

struct IndiDeviceInfo {
    QString Name;
    bool Camera = false;
    bool Wheel = false;
    QString Driver;       // DRIVER_EXEC, when given
};

class IndiDeviceLister : public QObject {
    Q_OBJECT
public:
    static constexpr int QuietMs = 700;

    explicit IndiDeviceLister(QObject* parent = nullptr);
    ~IndiDeviceLister() override;

    void Start(const QString& host, int port, int connectTimeoutMs, int listTimeoutMs);
    void Stop();

    // The kinds of the devices in a cache, sorted by name.
    static QList<IndiDeviceInfo> Classify(const class IndiPropertyCache& cache);

signals:
    // `overflow`: the server announced more than IndiProbeClient::MaxDevices.
    void finished(const QList<IndiDeviceInfo>& devices, bool overflow);
    void failed(const QString& message);

private:
    void finish();
    void fail(const QString& reason);

    IndiProbeClient* m_client = nullptr;
    QTimer m_quiet;
    QTimer m_deadline;
    int m_known = 0;
};
