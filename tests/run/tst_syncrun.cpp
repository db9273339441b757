// The main PC's run and its second PCs' runs together in virtual time
// (VirtualWorld): the dither guard and the second PCs filling the time between
// dithers, talking through the real hub and second-PC side of the link (every
// message passes as bytes, in the same virtual ms). The main PC runs two items
// of 3 x 10 s with dithering; each row sets up the second PCs (exposure,
// AllowList) and a fault, and checks when the main PC moved the guide star,
// what each second PC saved, how many of its frames were open during a dither
// (the move and its 4.6 s of settling), the night's record, and the keywords
// of every saved frame.
#include "RunRig.h"
#include "VirtualWorld.h"

#include "link/SecondSync.h"
#include "link/SyncHub.h"
#include "run/MainSequenceRun.h"
#include "run/NightRecord.h"
#include "run/SecondSequenceRun.h"

#include <QtTest>
#include <deque>

namespace {
struct SecondPc : RunRig {
    std::function<void(QByteArray)> Out;
    SecondSync Sync {Host.Flags, [this](QByteArrayView b) { Out(b.toByteArray()); }};
    VirtualWorld::Actor* Actor = nullptr;
    bool Cut = false, Mute = false;   // killed: nothing passes; hung: nothing comes from it
    int Exposure = 0;
};

struct Night {
    RunRig Main;
    std::deque<SecondPc> Seconds;
    SyncHub Hub {[this](quintptr id, QByteArrayView b) { ToSecond(Seconds[id - 1], b.toByteArray()); }};
    std::unique_ptr<VirtualWorld> World;
    VirtualWorld::Actor* MainActor = nullptr;

    Night(bool guard, const QList<std::pair<int, bool>>& seconds)
    {
        Main.Add(1, 10, 1, 3, "R");
        Main.Add(2, 10, 1, 3, "G");
        Main.Host.Sequence.PixelDither = Decimal4::FromCount(10000);
        Main.Host.Hub = &Hub;
        Main.Host.OnSend = [this](const QString& c) {   // as PeerLink::SendToPeer
            if (Hub.Enabled())
                Hub.SendCommand(c.toLatin1());
            if (!Hub.IsExtended(1))
                ToSecond(Seconds[0], c.toLatin1());
        };
        std::vector<ManualCameraClock*> clocks {&Main.Server.Clock()};
        for (const auto& [exposure, allowList] : seconds) {
            SecondPc& s = Seconds.emplace_back();
            const quintptr id = Seconds.size();
            s.Exposure = exposure;
            s.Add(3, exposure, 1, 50, "S");
            s.Host.Sequence.AllowList = allowList;
            s.Host.Second = &s.Sync;
            s.Host.OnFrame = [&s](const FrameEvent& e) { s.Sync.ReportFrame(SecondSync::Report(int(e.What)), e.Exposure); };
            s.Out = [this, id, &s](const QByteArray& bytes) {
                if (!World)
                    Hub.Received(id, bytes);
                else if (!s.Cut && !s.Mute)
                    MainActor->At(World->NowMs(), [this, id, bytes] { Hub.Received(id, bytes); });
            };
            clocks.push_back(&s.Server.Clock());
            Hub.Add(id, QStringLiteral("10.0.0.%1").arg(id));
        }
        Hub.SetEnabled(guard);
        for (SecondPc& s : Seconds)
            s.Sync.Connected();   // greeting and answer before the runs
        World = std::make_unique<VirtualWorld>(clocks);
        MainActor = &World->Add(Main.Host.Flags);
        Hub.SetClock([this] { return World->NowMs(); });
        for (SecondPc& s : Seconds) {
            s.Actor = &World->Add(s.Host.Flags);
            s.Sync.SetClock([this] { return World->NowMs(); });
        }
    }

    void ToSecond(SecondPc& s, const QByteArray& bytes)
    {
        if (!s.Actor)
            s.Sync.Feed(bytes);
        else if (!s.Cut)
            s.Actor->At(World->NowMs(), [&s, bytes] { s.Sync.Feed(bytes); });
    }

    // At `ms` the first second PC stops for good: killed (its connection goes) or hung.
    void Fault(qint64 ms, bool kill)
    {
        Seconds[0].Actor->At(ms, [this, kill] {
            (kill ? Seconds[0].Cut : Seconds[0].Mute) = true;
            Seconds[0].Host.PressStop();
            if (kill)
                MainActor->At(World->NowMs(), [this] { Hub.Remove(1); });
        });
    }

    QStringList Run()
    {
        std::vector<std::function<void()>> bodies {[this] {
            MainSequenceRun(Main.Host, *MainActor, Main.Random).Run();
            for (SecondPc& s : Seconds)
                s.Actor->At(World->NowMs(), [&s] { s.Host.PressStop(); });
        }};
        for (SecondPc& s : Seconds) {
            bodies.push_back([&s] {
                s.Sync.ReportRun(true);
                SecondSequenceRun(s.Host, *s.Actor).Run();
                s.Sync.ReportRun(false);
            });
        }
        return World->Run(bodies);
    }
};

// Problems with the keywords of `pc`'s frames: each names the dithers before
// its start and the item they ended (none when the guard is off); adds its
// frames open during a dither to `spoiled`.
QStringList CheckFrames(const RunRig& pc, int exposure, const QList<qint64>& moves, bool guard, int& spoiled)
{
    QStringList problems;
    const QList<qint64> starts = pc.Server.TimesOf("Expose");
    for (qsizetype i = 0; i < pc.Server.SavedKeys.size(); ++i) {
        const QVariantMap& keys = pc.Server.SavedKeys[i];
        const qint64 before = std::count_if(moves.begin(), moves.end(), [&](qint64 m) { return m < starts[i]; });
        spoiled += int(std::count_if(moves.begin(), moves.end(),
                                     [&](qint64 m) { return m < starts[i] + exposure * 1000 && m + 4600 > starts[i]; }));
        if (guard ? keys.value("DITHERS") != before || keys.value("MAINPASS") != 1 || keys.value("MAINITEM") != 1 + before
                  : !keys.isEmpty())
            problems << QStringLiteral("frame %1 keys %2").arg(i).arg(QStringList(keys.keys()).join(','));
    }
    return problems;
}

struct SyncCase {
    const char* name;
    bool guard;
    QList<std::pair<int, bool>> seconds;   // exposure s, AllowList
    std::function<void(Night&)> setup;
    QList<qint64> moves;                   // virtual ms of each dither's star move
    QList<qint64> saved;                   // frames saved by each second PC
    int spoiled;                           // second frames open during a dither
    QStringList record;                    // the night's record, without the times
};

QList<SyncCase> Cases()
{
    const QStringList plain {"Dither 1 started", "Dither 1 settled", "Dither 2 started", "Dither 2 settled"};
    const QString held = "Dither %1 held %2 s for the second cameras";
    const QStringList waited {held.arg(1).arg("15.012"), plain[0], plain[1], held.arg(2).arg("15.012"), plain[2], plain[3]};
    const QString late = "Dither 1: Second camera 10.0.0.1 %1; dithering anyway";
    return {
        {"4 s frames fit the 30 s window seven times", true, {{4, true}}, nullptr, {30002, 64604}, {14}, 0, plain},
        {"12 s frames: two fit, the third waits for the next window", true, {{12, true}}, nullptr, {30002, 64604}, {4}, 0, plain},
        {"45 s frames, longer than any window: one each, the guard waits", true, {{45, true}}, nullptr, {45012, 94624}, {2}, 0, waited},
        {"two second PCs, both commanded and waited for", true, {{4, true}, {45, true}}, nullptr, {45012, 94624}, {14, 2}, 0, waited},
        {"AllowList off: one frame per command", true, {{4, false}}, nullptr, {30002, 64604}, {2}, 0, plain},
        {"guard off: bare commands, no wait, the long frame is spoilt", false, {{45, true}}, nullptr, {30000, 64600}, {1}, 1, {}},
        {"second PC killed mid-frame: dither when its connection goes", true, {{45, true}}, [](Night& n) { n.Fault(40000, true); },
         {40012, 74612}, {0}, 0, QStringList {held.arg(1).arg("10.012"), late.arg("went away during its frame")} + plain},
        {"second PC hung mid-frame: dither at its announced end plus the margin", true, {{45, true}},
         [](Night& n) { n.Hub.SetMarginMs(10000); n.Fault(20000, false); }, {55012, 89612}, {0}, 0,
         QStringList {held.arg(1).arg("25.012"), late.arg("did not end its frame in time")} + plain},
        {"Stop during the guard's wait ends the run at once", true, {{45, true}},
         [](Night& n) { n.MainActor->At(35000, [&n] { n.Main.Host.PressStop(); }); }, {}, {0}, 0,
         {"Dither 1 not started: stopped after 5.000 s waiting for the second cameras"}},
    };
}
}

class TestSyncRun : public QObject {
    Q_OBJECT
private slots:
    void guardAndWindowAsTheTableSays_data()
    {
        QTest::addColumn<int>("row");
        for (int row = 0; row < Cases().size(); ++row)
            QTest::newRow(Cases()[row].name) << row;
    }
    void guardAndWindowAsTheTableSays()
    {
        QFETCH(int, row);
        const SyncCase c = Cases()[row];
        Night night(c.guard, c.seconds);
        if (c.setup)
            c.setup(night);
        const QStringList failures = night.Run();
        QVERIFY2(failures.isEmpty(), qPrintable(failures.join('|')));
        const QList<qint64> moves = night.Main.Server.TimesOf("GuiderMoveStar");
        QList<qint64> saved;
        int spoiled = 0;
        QStringList problems = CheckFrames(night.Main, 0, moves, c.guard, spoiled);
        for (const SecondPc& s : night.Seconds) {
            saved << s.Server.SavedPaths.size();
            problems += CheckFrames(s, s.Exposure, moves, c.guard, spoiled);
        }
        QFile file(QDir(night.Main.Dir.path()).filePath(NightRecord::FileNameFor(VirtualWaiter::Origin)));
        QStringList record;   // none at all without the guard
        for (const QString& line : file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()).split("\r\n", Qt::SkipEmptyParts) : QStringList()) {
            record << line.section("  ", 1);
            const qint64 at = VirtualWaiter::Origin.msecsTo(QDateTime::fromString(line.section("  ", 0, 0), Qt::ISODateWithMs));
            if (line.endsWith(" started") && !moves.contains(at))
                problems << "record time " + line;
        }
        QCOMPARE(moves, c.moves);
        QCOMPARE(saved, c.saved);
        QCOMPARE(spoiled, c.spoiled);
        QCOMPARE(record, c.record);
        // The window lists the same events (the Night page).
        QStringList listed;
        for (const QString& event : night.Main.Host.NightEvents)
            listed << event.section(' ', 1);
        QCOMPARE(listed, c.record);
        QVERIFY2(problems.isEmpty() && !night.Main.Host.Flags.Running, qPrintable(problems.join('|')));
    }
};

QTEST_GUILESS_MAIN(TestSyncRun)
#include "tst_syncrun.moc"
