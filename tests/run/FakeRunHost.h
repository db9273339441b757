#pragma once
// FakeRunHost: the window as a run sees it, for tests. Every call is logged
// as a text ("Status Delay", "Row 2", "Send Expose 60", "Box Warning: ...",
// "StartIteration 3", "Start 1", "Stop 0") with the virtual time it came at.
// Message boxes are answered from BoxAnswers in order; when it runs out,
// questions are answered No and other boxes OK.
#include "run/RunHost.h"

#include "camera/ManualCameraClock.h"
#include "platform/RunState.h"
#include "sequence/TSequence.h"

#include <QList>
#include <functional>

class FakeRunHost : public RunHost {
public:
    explicit FakeRunHost(const ManualCameraClock& clock) : m_clock(clock) {}

    TSequence Sequence;
    QStringList Filters {"Luminance", "Red", "Green", "Blue"};
    RunState Flags;
    ICamera* Camera = nullptr;
    QList<int> BoxAnswers;

    // Frame events as "<kind> <file> <pass>/<item>/<frame> of <repeat> @<virtual ms>",
    // kept apart from Log so the call tables stay as they are.
    QStringList Frames;

    QStringList Log;
    QList<qint64> LogTimes;   // virtual ms of each Log entry

    // The link's extension, for the runs that use it (none by default), and
    // what else follows the commands sent and the frame events.
    SyncHub* Hub = nullptr;
    SecondSync* Second = nullptr;
    std::function<void(const QString&)> OnSend;
    std::function<void(const FrameEvent&)> OnFrame;
    // The night: options the run gets, the events it reports ("@<ms> text"),
    // and what connecting the camera again does (nothing set: it cannot).
    NightOptions Night;
    QStringList NightEvents;
    std::function<bool(QString* why)> Reconnect;

    // Log entries that start with `prefix`, with the prefix taken off.
    QStringList Entries(const QString& prefix) const;
    // Virtual time of the first entry equal to `entry`, -1 when none.
    qint64 TimeOf(const QString& entry) const;

    // What the Stop button does: "User break", then the flag.
    void PressStop();

    void SetStartEnabled(bool enabled) override { add(QString("Start %1").arg(int(enabled))); }
    void SetStopEnabled(bool enabled) override { add(QString("Stop %1").arg(int(enabled))); }
    void SetRunStatusText(const QString& text) override { add("Status " + text); }
    void SelectGridRow(int row) override { add(QString("Row %1").arg(row)); }
    void SetStartIterationPosition(int position) override { add(QString("StartIteration %1").arg(position)); }
    int RunMessageBox(const QString& text, const QString& caption, int flags) override;
    bool SendToPeer(const QString& command) override
    {
        add("Send " + command);
        if (OnSend)
            OnSend(command);
        return true;
    }
    ICamera* RunCamera() override { return Camera; }
    TSequence& RunSequence() override { return Sequence; }
    const QStringList& RunFilterList() override { return Filters; }
    RunState& RunFlags() override { return Flags; }
    void RunFrameEvent(const FrameEvent& event) override;
    SyncHub* RunSyncHub() override { return Hub; }
    SecondSync* RunSecondSync() override { return Second; }
    NightOptions RunNightOptions() override { return Night; }
    void RunNightEvent(const QDateTime& utc, const QString& text) override;
    bool RunReconnectCamera(QString* why) override;

private:
    void add(const QString& entry);
    const ManualCameraClock& m_clock;
};
