// The second PC's run against the scripted camera in virtual time, with the
// main PC's commands arriving through the real command reader at set times.
// Each row checks the files saved, when each exposure started, how often the
// run waited for the main PC, the boxes, and what else the row is about.
#include "RunRig.h"

#include "link/CommandReader.h"
#include "run/SecondSequenceRun.h"

#include <QtTest>
#include <functional>

namespace {
struct SecondRig : RunRig {
    CommandReader Reader {Host.Flags};
    void Command(qint64 at, const QByteArray& bytes)
    {
        Waiter.At(at, [this, bytes] { Reader.Feed(bytes); });
    }
};

struct SecondCase {
    const char* name;
    std::function<void(SecondRig&)> setup;
    QStringList saved;
    QList<qint64> exposeTimes;   // virtual ms of each Expose call
    int waits;                   // "Waiting for remote start..." shown
    QStringList boxes;
    std::function<QStringList(SecondRig&)> check;
};

QStringList expect(bool ok, const QString& what) { return ok ? QStringList() : QStringList {what}; }

QList<SecondCase> cases()
{
    return {
        {"one frame per command; one arriving mid-frame is used up", [](SecondRig& r) { r.Add(1, 10, 1, 3, "R"); for (qint64 t : {500, 5000, 70000, 140000}) r.Command(t, "Expose 60"); },
         {"Img-001R.fit", "Img-002R.fit", "Img-003R.fit"}, {500, 70000, 140000}, 3, {}, nullptr},
        {"budget 300 for 60 s frames", [](SecondRig& r) { r.Host.Sequence.AllowList = true; r.Add(1, 60, 1, 10, "R"); r.Command(500, "Expose 300"); r.Command(100000, "Expose 300"); r.Command(400000, "Expose 300"); },
         {"Img-001R.fit", "Img-002R.fit", "Img-003R.fit", "Img-004R.fit", "Img-005R.fit", "Img-006R.fit", "Img-007R.fit", "Img-008R.fit", "Img-009R.fit", "Img-010R.fit"},
         {500, 60500, 120500, 180500, 240500, 400000, 460000, 520000, 580000, 640000}, 2, {}, nullptr},
        {"exposure 0 with a list: no wait at the start", [](SecondRig& r) { r.Host.Sequence.AllowList = true; r.Add(1, 0, 1, 3, "Z"); },
         {"Img-001Z.fit", "Img-002Z.fit", "Img-003Z.fit"}, {0, 100, 200}, 0, {}, nullptr},
        {"command shorter than the exposure", [](SecondRig& r) { r.Host.Sequence.AllowList = true; r.Add(1, 60, 1, 2, "R"); r.Command(500, "Expose 30"); r.Command(100000, "Expose x"); },
         {"Img-001R.fit", "Img-002R.fit"}, {500, 100000}, 2, {}, nullptr},
        {"command received before Start", [](SecondRig& r) { r.Host.Sequence.AllowList = true; r.Reader.Feed("Expose 120"); r.Add(1, 60, 1, 3, "R"); r.Command(500000, "Expose 60"); },
         {"Img-001R.fit", "Img-002R.fit", "Img-003R.fit"}, {0, 60000, 500000}, 2, {}, nullptr},
        {"existing file for frame 2 is skipped silently", [](SecondRig& r) { r.Touch("Img-002R.fit"); r.Add(1, 10, 1, 3, "R"); r.Command(500, "Expose 10"); r.Command(50000, "Expose 10"); },
         {"Img-001R.fit", "Img-003R.fit"}, {500, 50000}, 2, {},
         [](SecondRig& r) { return expect(!r.Host.Entries("Status ").join('|').contains("002"), "frame 2 shown"); }},
        {"stop while waiting for the main PC", [](SecondRig& r) { r.Add(1, 10, 1, 3, "R"); r.Waiter.At(5000, [&r] { r.Host.PressStop(); }); },
         {}, {5000}, 1, {},
         [](SecondRig& r) { return expect(r.Calls() == QStringList {"SetFilter(1)", "BinX()", "BinY()", "SetFullFrame()", "Expose(10,-1)", "AbortExposure()"}, r.Calls().join(' '))
                                 + expect(r.Server.CallCount("ImageReady") == 1 && r.Waiter.Now() == 5000, "one poll, no pause")
                                 + expect(r.Host.Entries("Status ") == QStringList {"Changing filter Red", "Waiting for remote start...", "User break", "Camera Idle"}, r.Host.Entries("Status ").join('|')); }},
        {"\"Abort\" from the main PC during an exposure", [](SecondRig& r) { r.Add(1, 300, 1, 2, "R"); r.Command(500, "Expose 300"); r.Command(100000, "Abort"); },
         {}, {500}, 1, {},
         [](SecondRig& r) { return expect(r.Server.TimesOf("AbortExposure") == QList<qint64> {100000}, "abort time")
                                 + expect(!r.Host.Flags.ExposeReceived && r.Host.Flags.StopRequested, "flags"); }},
        {"Expose error keeps the command for the next item", [](SecondRig& r) { r.Server.FailAt("Expose", 1, "Camera busy"); r.Add(1, 10, 1, 3, "R"); r.Add(2, 10, 1, 1, "G"); r.Command(500, "Expose 10"); },
         {"Img-001G.fit"}, {500, 500}, 2, {"Error 48: Camera busy"}, nullptr},
        {"a complete run leaves the start pass and sends nothing", [](SecondRig& r) { r.Host.Sequence.Iterations = 2; r.Add(1, 1, 1, 1, "R"); r.Command(0, "Expose 1"); r.Command(10000, "Expose 1End"); r.Command(20000, "Expose 1"); },
         {"Img-001R.fit", "Img-002R.fit"}, {0, 20000}, 2, {},
         [](SecondRig& r) { return expect(r.Host.Sequence.StartIteration == 1 && r.Host.Entries("StartIteration ").isEmpty(), "start pass moved")
                                 + expect(r.Host.Entries("Send ").isEmpty(), "sent to the main PC")
                                 + expect(r.Host.Entries("Status ").count(QString()) == 2, "status not cleared after each save"); }},
        {"save fails: the folder is missing", [](SecondRig& r) { r.Host.Sequence.DestDir = r.Dir.path() + "/missing"; r.Add(1, 10, 1, 2, "R"); r.Command(500, "Expose 10"); },
         {}, {500}, 1, {"*"},
         [](SecondRig& r) { return expect(r.Host.Entries("Box Error 16: Unable to save image " + r.Dir.path() + "/missing/Img-001R.fit: ").size() == 1, r.Host.Entries("Box ").join('|'))
                                 + expect(!r.Host.Flags.Running, "still running"); }},
    };
}
}

class TestSecondRun : public QObject {
    Q_OBJECT
private slots:
    void runsAsTheTableSays()
    {
        for (const SecondCase& c : cases()) {
            SecondRig rig;
            c.setup(rig);
            SecondSequenceRun(rig.Host, rig.Waiter).Run();
            const QString row = QString::fromLatin1(c.name) + ": ";
            QVERIFY2(rig.Saved() == c.saved, qPrintable(row + "saved " + rig.Saved().join(' ')));
            QList<qint64> times = rig.Server.TimesOf("Expose");
            QVERIFY2(times == c.exposeTimes, qPrintable(row + "exposed at " + QStringList([&] { QStringList l; for (qint64 t : times) l << QString::number(t); return l; }()).join(' ')));
            QVERIFY2(rig.Host.Entries("Status ").count("Waiting for remote start...") == c.waits, qPrintable(row + "waits"));
            if (c.boxes != QStringList {"*"})
                QVERIFY2(rig.Host.Entries("Box ") == c.boxes, qPrintable(row + "boxes " + rig.Host.Entries("Box ").join('|')));
            QVERIFY2(rig.Host.Entries("Status ").last() == "Camera Idle" && !rig.Host.Flags.Running, qPrintable(row + "not closed"));
            const QStringList failures = c.check ? c.check(rig) : QStringList();
            QVERIFY2(failures.isEmpty(), qPrintable(row + failures.join("; ")));
        }
    }
};

QTEST_GUILESS_MAIN(TestSecondRun)
#include "tst_secondrun.moc"
