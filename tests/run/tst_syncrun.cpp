// The main PC's run and its second PCs' runs together in virtual time
// (VirtualWorld): the dither guard, and the second PCs filling the time
// between dithers. The PCs talk through the real hub and the real second-PC
// side of the link; every message passes as bytes, in the same virtual
// millisecond. The main PC runs two items of 3 x 10 s with dithering; each
// row sets up the second PCs (exposure, AllowList) and a fault, and checks
// when the main PC dithered, what each second PC saved, how many second
// frames were open during a dither, the night's record, and the keywords of
// every saved frame.
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
    bool Cut = false, Mute = false;   // killed (nothing passes) / hung (nothing comes from it)
};

struct Night {
    RunRig Main;
    std::deque<SecondPc> Seconds;
    SyncHub Hub {[this](quintptr id, QByteArrayView b) { ToSecond(int(id), b.toByteArray()); }};
    std::unique_ptr<VirtualWorld> World;
    VirtualWorld::Actor* MainActor = nullptr;

    Night(bool guard, const QList<std::pair<int, bool>>& seconds)
    {
        Main.Add(1, 10, 1, 3, "R");
        Main.Add(2, 10, 1, 3, "G");
        Main.Host.Sequence.PixelDither = Decimal4::FromCount(10000);
        Main.Host.Hub = &Hub;
        Main.Host.OnSend = [this](const QString& c) {
            if (Hub.Enabled())
                Hub.SendCommand(c.toLatin1());
            if (!Hub.IsExtended(1))
                ToSecond(1, c.toLatin1());   // the bare bytes, to the first connection
        };
        std::vector<ManualCameraClock*> clocks {&Main.Server.Clock()};
        for (const auto& [exposure, allowList] : seconds) {
            SecondPc& s = Seconds.emplace_back();
            const int id = int(Seconds.size());
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
            s.Sync.Connected();   // greeting and answer before the runs start
        World = std::make_unique<VirtualWorld>(clocks);
        MainActor = &World->Add(Main.Host.Flags);
        for (SecondPc& s : Seconds)
            s.Actor = &World->Add(s.Host.Flags);
        const auto now = [this] { return World->NowMs(); };
        Hub.SetClock(now);
        for (SecondPc& s : Seconds)
            s.Sync.SetClock(now);
    }

    void ToSecond(int id, const QByteArray& bytes)
    {
        SecondPc& s = Seconds[size_t(id - 1)];
        if (s.Actor && !s.Cut)
            s.Actor->At(World->NowMs(), [&s, bytes] { s.Sync.Feed(bytes); });
        else if (!s.Actor)
            s.Sync.Feed(bytes);
    }

    // At `ms` the second PC `id` is killed (its connection goes) or hangs (nothing more comes from it).
    void Fault(qint64 ms, int id, bool kill)
    {
        SecondPc& s = Seconds[size_t(id - 1)];
        s.Actor->At(ms, [this, &s, id, kill] {
            (kill ? s.Cut : s.Mute) = true;
            s.Host.PressStop();
            if (kill)
                MainActor->At(World->NowMs(), [this, id] { Hub.Remove(id); });
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

    QStringList Record() const
    {
        QFile file(QDir(Main.Dir.path()).filePath(NightRecord::FileNameFor(VirtualWaiter::Origin)));
        QStringList lines;
        if (file.open(QIODevice::ReadOnly))
            lines = QString::fromUtf8(file.readAll()).split("\r\n", Qt::SkipEmptyParts);
        return lines;
    }
};

// Frames of `pc` open while the guide star moved or settled (4.6 s from the move).
int Spoiled(const RunRig& pc, int exposure, const QList<qint64>& moves)
{
    int spoiled = 0;
    for (qint64 start : pc.Server.TimesOf("Expose").first(pc.Server.SavedPaths.size()))
        spoiled += int(std::count_if(moves.begin(), moves.end(),
                                     [&](qint64 m) { return m < start + exposure * 1000 && m + 4600 > start; }));
    return spoiled;
}

// Every saved frame carries the dithers before its start (and none when off).
QStringList KeyProblems(const RunRig& pc, const QList<qint64>& moves, bool guard)
{
    QStringList problems;
    const QList<qint64> starts = pc.Server.TimesOf("Expose");
    for (qsizetype i = 0; i < pc.Server.SavedKeys.size(); ++i) {
        const QVariantMap& keys = pc.Server.SavedKeys[i];
        const qint64 before = std::count_if(moves.begin(), moves.end(), [&](qint64 m) { return m < starts[i]; });
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
    QList<int> saved;                      // frames saved by each second PC
    int spoiled;                           // second frames open during a dither
    QStringList record;                    // the night's record, without the times
};

QList<SyncCase> Cases()
{
    const QStringList plain {"Dither 1 started", "Dither 1 settled", "Dither 2 started", "Dither 2 settled"};
    const QString held = "Dither %1 held 15.012 s for the second cameras";
    return {
        {"4 s frames fit the 30 s window seven times", true, {{4, true}}, nullptr, {30002, 64604}, {14}, 0, plain},
        {"12 s frames: two fit, the third waits for the next window", true, {{12, true}}, nullptr, {30002, 64604}, {4}, 0, plain},
        {"45 s frames, longer than any window: one each, the guard waits", true, {{45, true}}, nullptr, {45012, 94624}, {2}, 0,
         {held.arg(1), "Dither 1 started", "Dither 1 settled", held.arg(2), "Dither 2 started", "Dither 2 settled"}},
        {"two second PCs are both commanded and both waited for", true, {{4, true}, {45, true}}, nullptr, {45012, 94624}, {14, 2}, 0,
         {held.arg(1), "Dither 1 started", "Dither 1 settled", held.arg(2), "Dither 2 started", "Dither 2 settled"}},
        {"AllowList off: one frame per command", true, {{4, false}}, nullptr, {30002, 64604}, {2}, 0, plain},
        {"guard off: bare commands, no wait, the long frame is spoilt", false, {{45, true}}, nullptr, {30000, 64600}, {1}, 1, {}},
        {"second PC killed mid-frame: dither when its connection goes", true, {{45, true}}, [](Night& n) { n.Fault(40000, 1, true); },
         {40012, 74612}, {0}, 0,
         {"Dither 1 held 10.012 s for the second cameras",
          "Dither 1: Second camera 10.0.0.1 went away during its frame; dithering anyway", "Dither 1 started", "Dither 1 settled",
          "Dither 2 started", "Dither 2 settled"}},
        {"second PC hung mid-frame: dither at its announced end plus the margin", true, {{45, true}},
         [](Night& n) { n.Hub.SetMarginMs(10000); n.Fault(20000, 1, false); }, {55012, 89612}, {0}, 0,
         {"Dither 1 held 25.012 s for the second cameras",
          "Dither 1: Second camera 10.0.0.1 did not end its frame in time; dithering anyway", "Dither 1 started",
          "Dither 1 settled", "Dither 2 started", "Dither 2 settled"}},
        {"Stop during the guard's wait ends the run at once", true, {{45, true}},
         [](Night& n) { n.MainActor->At(35000, [&n] { n.Main.Host.PressStop(); }); }, {}, {0}, 0,
         {"Dither 1 not started: stopped after 5.000 s waiting for the second cameras"}},
    };
}
}

class TestSyncRun : public QObject {
    Q_OBJECT
private slots:
    void guardAndWindowAsTheTableSays()
    {
        for (const SyncCase& c : Cases()) {
            Night night(c.guard, c.seconds);
            if (c.setup)
                c.setup(night);
            const QStringList failures = night.Run();
            QVERIFY2(failures.isEmpty(), qPrintable(QString(c.name) + ": " + failures.join('|')));
            const QList<qint64> moves = night.Main.Server.TimesOf("GuiderMoveStar");
            QList<int> saved;
            int spoiled = 0;
            QStringList problems = KeyProblems(night.Main, moves, c.guard);
            for (size_t i = 0; i < night.Seconds.size(); ++i) {
                saved << int(night.Seconds[i].Server.SavedPaths.size());
                spoiled += Spoiled(night.Seconds[i], c.seconds[qsizetype(i)].first, moves);
                problems += KeyProblems(night.Seconds[i], moves, c.guard);
            }
            QStringList record;
            for (const QString& line : night.Record()) {
                record << line.section("  ", 1);
                if (line.endsWith(" started") && !moves.contains(VirtualWaiter::Origin.msecsTo(QDateTime::fromString(line.section("  ", 0, 0), Qt::ISODateWithMs))))
                    problems << "record time " + line;
            }
            QStringList seen;
            for (qint64 m : moves)
                seen << QString::number(m);
            for (int n : saved)
                seen << QStringLiteral("saved %1").arg(n);
            QVERIFY2(moves == c.moves && saved == c.saved && spoiled == c.spoiled,
                     qPrintable(QStringLiteral("%1: dithers at %2, spoilt %3").arg(c.name, seen.join(' ')).arg(spoiled)));
            QVERIFY2(record == c.record, qPrintable(QString(c.name) + ": record " + record.join('|')));
            QVERIFY2(problems.isEmpty(), qPrintable(QString(c.name) + ": " + problems.join('|')));
            QVERIFY2(!night.Main.Host.Flags.Running, c.name);
        }
    }
};

QTEST_GUILESS_MAIN(TestSyncRun)
#include "tst_syncrun.moc"
