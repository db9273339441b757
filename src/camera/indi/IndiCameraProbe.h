#pragma once
// IndiCameraProbe: the devices dialog's "Test" of an INDI camera and filter
// wheel. On its own connection to the server it connects the two devices
// (only those not connected yet), reads what they report (chip size, pixel
// size, binning limits, filter names), and disconnects again what it
// connected itself, so a connection in use (Tandexa's own, or another
// program's) is left as it was. Nothing waits: Start() returns at once and
// finished() follows from the event loop, at the latest after the
// connection time-out plus three reply time-outs.
#include "camera/indi/IndiSettings.h"

#include <QObject>
#include <QSet>
#include <QTimer>

class IndiProbeClient;

class IndiCameraProbe : public QObject {
    Q_OBJECT
public:
    explicit IndiCameraProbe(QObject* parent = nullptr);
    ~IndiCameraProbe() override;

    void Start(const IndiSettings& settings);

signals:
    // `report`: what was found, or why the test failed, in plain words.
    void finished(bool ok, const QString& report);

private:
    enum class Phase { Idle, Devices, Info, Disconnecting };
    void step();
    void onSettled();
    void onDeadline();
    void conclude(bool ok, const QString& report);
    void done();
    QString describe() const;
    QStringList devices() const;
    bool connectionOn(const QString& device) const;

    IndiSettings m_settings;
    IndiProbeClient* m_client = nullptr;
    Phase m_phase = Phase::Idle;
    QSet<QString> m_connectedByUs;
    QTimer m_settle;      // quiet time after the last change
    QTimer m_deadline;
    bool m_ok = false;
    QString m_report;
};
