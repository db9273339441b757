#pragma once
// DeviceTester: the devices dialog's look-ups and tests, behind one object so
// the dialog knows no driver: the devices an INDI server has, and a "Test"
// of the chosen camera or guider. Each runs on connections of its own (a
// running camera or guider connection is left alone) and never waits: the
// calls return at once and a signal follows from the event loop. A new call
// of the same kind cancels the one still running; so does destroying the
// tester.
#include <QObject>
#include <QStringList>

class DeviceChoices;
class IndiCameraProbe;
class IndiDeviceLister;
class Phd2Probe;

// What an INDI server has, sorted by what each device is.
struct FoundDevices {
    QStringList Cameras;           // CCD devices
    QStringList Wheels;            // filter-wheel devices
    QStringList CamerasWithWheel;  // cameras that have a wheel of their own
    QString Summary;               // one line for the dialog
};

class DeviceTester : public QObject {
    Q_OBJECT
public:
    explicit DeviceTester(QObject* parent = nullptr);
    ~DeviceTester() override;

    // The INDI server named by the choices' host and port.
    void FindIndiDevices(const DeviceChoices& choices);
    void TestCamera(const DeviceChoices& choices);
    void TestGuider(const DeviceChoices& choices);

    bool Finding() const { return m_lister != nullptr; }

signals:
    void devicesFound(const FoundDevices& devices);
    void devicesNotFound(const QString& message);
    void cameraTested(bool ok, const QString& report);
    void guiderTested(bool ok, const QString& report);

private:
    void later(void (DeviceTester::*signal)(bool, const QString&), bool ok, const QString& report);

    IndiDeviceLister* m_lister = nullptr;
    IndiCameraProbe* m_cameraProbe = nullptr;
    Phd2Probe* m_guiderProbe = nullptr;
};
