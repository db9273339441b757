// A night's faults against the scripted camera in virtual time, one table row
// each: a file that appears while its frame exposes (both PCs), the night's
// options (retry with reconnects, no boxes, lost guiding marked and
// retaken, the guider lost at a dither) and a damaged image. Each row checks
// the files saved, the boxes, the night's events and what it is about.
#include "RunRig.h"

#include "link/CommandReader.h"
#include "run/MainSequenceRun.h"
#include "run/SecondSequenceRun.h"

#include <QtTest>
#include <functional>

namespace {
const QString Ask = "Warning 36: Image %1 does exist.\rOverwrite?";

struct NightCase {
    const char* name;
    bool secondPc;
    std::function<void(RunRig&)> setup;
    QStringList saved;
    QStringList boxes;
    std::function<QStringList(RunRig&)> check;
};

QStringList expect(bool ok, const QString& what) { return ok ? QStringList() : QStringList {what}; }

QByteArray fileBytes(RunRig& r, const QString& name)
{
    QFile f(QDir(r.Dir.path()).filePath(name));
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
}

// Events without their times, for rows that check the words.
QStringList events(RunRig& r)
{
    QStringList texts;
    for (const QString& e : r.Host.NightEvents)
        texts << e.section(' ', 1);
    return texts;
}

bool hasEvent(RunRig& r, const QString& start)
{
    for (const QString& e : events(r))
        if (e.startsWith(start))
            return true;
    return false;
}

QString record(RunRig& r)
{
    const QStringList files = QDir(r.Dir.path()).entryList({"Tandexa-night-*.txt"});
    if (files.isEmpty())
        return QString();
    QFile f(QDir(r.Dir.path()).filePath(files.first()));
    f.open(QIODevice::ReadOnly);
    return QString::fromUtf8(f.readAll());
}

void appearsAt(RunRig& r, qint64 ms, const QString& name)
{
    r.Waiter.At(ms, [&r, name] { r.Touch(name); });
}

void lostServerAt(RunRig& r, int poll)
{
    r.Server.FailAt("ImageReady", poll, "Lost the INDI server at localhost:7624 during the exposure: the server closed the connection");
}

void retry(RunRig& r, int tries = 3)
{
    r.Host.Night.Retry = true;
    r.Host.Night.RetryTries = tries;
    r.Host.Night.RetryPauseSeconds = 10;
}

QList<NightCase> cases()
{
    return {
        // --- a file that appears while its frame exposes ---
        {"appears during the exposure, declined: kept, image not saved", false,
         [](RunRig& r) { r.Add(1, 10, 1, 2, "R"); appearsAt(r, 4000, "Img-001R.fit"); },
         {"Img-002R.fit"}, {Ask.arg("Img-001R.fit")},
         [](RunRig& r) { return expect(fileBytes(r, "Img-001R.fit") == "old", "replaced")
                              + expect(r.Host.Frames.mid(0, 2) == QStringList {"Started Img-001R.fit 1/1/1 of 2 @0", "Skipped Img-001R.fit 1/1/1 of 2 @10000"}, r.Host.Frames.join(", ")); }},
        {"appears during the exposure, Yes: replaced", false,
         [](RunRig& r) { r.Add(1, 10, 1, 1, "R"); appearsAt(r, 4000, "Img-001R.fit"); r.Host.BoxAnswers = {6}; },
         {"Img-001R.fit"}, {Ask.arg("Img-001R.fit")},
         [](RunRig& r) { return expect(r.Calls().last() == "SaveImage(" + r.Dir.path() + "/Img-001R.fit)", r.Calls().last())
                              + expect(fileBytes(r, "Img-001R.fit").startsWith("TEST IMAGE"), "not replaced"); }},
        {"appears at the last instant: the save refuses it, then asks", false,
         [](RunRig& r) { r.Add(1, 10, 1, 1, "R"); r.Server.BeforeSave = [&r](const QString&) { r.Touch("Img-001R.fit"); r.Server.BeforeSave = nullptr; }; },
         {}, {Ask.arg("Img-001R.fit")},
         [](RunRig& r) { return expect(fileBytes(r, "Img-001R.fit") == "old", "replaced"); }},
        {"existing file, Yes, then another appears in its place: replaced as agreed", false,
         [](RunRig& r) { r.Touch("Img-001R.fit"); r.Add(1, 10, 1, 1, "R"); r.Host.BoxAnswers = {6}; },
         {"Img-001R.fit"}, {Ask.arg("Img-001R.fit")}, nullptr},
        {"second PC: a file that appears is kept without a word", true,
         [](RunRig& r) { r.Add(1, 10, 1, 2, "R"); appearsAt(r, 4000, "Img-001R.fit"); },
         {"Img-002R.fit"}, {},
         [](RunRig& r) { return expect(fileBytes(r, "Img-001R.fit") == "old", "replaced")
                              + expect(r.Host.Frames.contains("Skipped Img-001R.fit 1/1/1 of 2 @10000"), r.Host.Frames.join(", ")); }},

        // --- retry instead of giving up ---
        {"server lost mid-exposure: connected again, retaken under the same name", false,
         [](RunRig& r) { retry(r); r.Add(1, 10, 1, 2, "R"); lostServerAt(r, 30); r.AllowReconnect({true}); },
         {"Img-001R.fit", "Img-002R.fit"}, {},
         [](RunRig& r) { return expect(r.Server.CallCount("Expose") == 3 && r.Host.Entries("Send ") == QStringList {"Expose 10", "End"}, "exposures")
                              + expect(r.Server.Calls().count("SetFilter(1)") == 2, "filter not moved back after the reconnect")
                              + expect(r.Waiter.Now() == 3000 + 20000, "time " + QString::number(r.Waiter.Now()))
                              + expect(hasEvent(r, "Img-001R.fit: Lost the INDI server") && hasEvent(r, "Camera connected again (try 1 of 3); taking Img-001R.fit again"), events(r).join('|'))
                              + expect(record(r).contains("Z  Img-001R.fit: Lost the INDI server"), "record: " + record(r)); }},
        {"reconnect fails twice: pauses of 10 s then 20 s", false,
         [](RunRig& r) { retry(r); r.Add(1, 10, 1, 1, "R"); lostServerAt(r, 30); r.AllowReconnect({false, false, true}); },
         {"Img-001R.fit"}, {},
         [](RunRig& r) { return expect(r.Host.Entries("Reconnect").size() == 3, "tries")
                              + expect(r.Waiter.Now() == 3000 + 10000 + 20000 + 10000, "time " + QString::number(r.Waiter.Now()))
                              + expect(hasEvent(r, "Connecting the camera again failed (try 2 of 3): server still down"), events(r).join('|')); }},
        {"every reconnect fails: the run ends after its tries", false,
         [](RunRig& r) { retry(r, 2); r.Add(1, 10, 1, 3, "R"); lostServerAt(r, 30); r.AllowReconnect({false, false}); },
         {}, {"*"},
         [](RunRig& r) { return expect(r.Host.Entries("Box Error 16: Gave up on Img-001R.fit after 2 tries: Lost the INDI server").size() == 1, r.Host.Entries("Box ").join('|'))
                              + expect(r.Host.Entries("Send ") == QStringList {"Expose 10", "Abort"}, "sent"); }},
        {"an Alert while starting the exposure: retaken", false,
         [](RunRig& r) { retry(r); r.Add(1, 10, 1, 1, "R"); r.Server.FailAt("Expose", 1, "\"CCD Simulator\" refused exposing: [ERROR] busy"); r.AllowReconnect({true}); },
         {"Img-001R.fit"}, {}, nullptr},
        {"wheel lost as an item begins: connected again, the item goes on", false,
         [](RunRig& r) { retry(r); r.Add(1, 10, 1, 1, "R"); r.AllowReconnect({true});
                         r.Server.FailAt("SetFilter", 1, "Lost the INDI server at localhost:7624: the server closed the connection"); },
         {"Img-001R.fit"}, {},
         [](RunRig& r) { return expect(hasEvent(r, "Camera connected again (try 1 of 3); moving the filter wheel to Red"), events(r).join('|'))
                              + expect(r.Server.Calls().count("SetFilter(1)") == 2, "wheel"); }},
        {"stop during a reconnect pause ends the run at once", false,
         [](RunRig& r) { retry(r); r.Add(1, 10, 1, 1, "R"); lostServerAt(r, 30); r.AllowReconnect({false, true}); r.Waiter.At(5000, [&r] { r.Host.PressStop(); }); },
         {}, {},
         [](RunRig& r) { return expect(r.Waiter.Now() == 5000, "time " + QString::number(r.Waiter.Now()))
                              + expect(r.Host.Entries("Send ") == QStringList {"Expose 10", "Abort"}, "sent"); }},
        {"without the option a lost server still ends the run with its box", false,
         [](RunRig& r) { r.Add(1, 10, 1, 2, "R"); lostServerAt(r, 30); r.AllowReconnect({true}); },
         {}, {"Error 16: Lost the INDI server at localhost:7624 during the exposure: the server closed the connection"},
         [](RunRig& r) { return expect(r.Host.Entries("Reconnect").isEmpty() && record(r).isEmpty(), "retried or recorded"); }},

        // --- no box waits for nobody ---
        {"no boxes: a failed exposure goes to the record and the status line", false,
         [](RunRig& r) { r.Host.Night.NoBoxes = true; r.Server.FailAt("Expose", 1, "Camera busy"); r.Add(1, 10, 1, 2, "R"); r.Add(2, 10, 1, 1, "G"); },
         {"Img-001G.fit"}, {},
         [](RunRig& r) { return expect(r.Host.Entries("Status ").contains("Camera busy"), "status")
                              + expect(record(r).contains("Z  Camera busy\r\n"), "record: " + record(r)); }},
        {"no boxes: an existing file is kept and its frame skipped", false,
         [](RunRig& r) { r.Host.Night.NoBoxes = true; r.Touch("Img-001R.fit"); r.Add(1, 10, 1, 2, "R"); r.Host.Sequence.PixelDither = Decimal4::FromCount(5000); },
         {"Img-002R.fit"}, {},
         [](RunRig& r) { return expect(fileBytes(r, "Img-001R.fit") == "old", "replaced")
                              + expect(hasEvent(r, "Img-001R.fit exists; kept, and the frame skipped (nobody to ask)"), events(r).join('|'))
                              + expect(hasEvent(r, "The second camera sync may get guiding error"), "warning"); }},

        // --- a frame spoilt by lost guiding ---
        {"guiding lost during the exposure: the frame is marked", false,
         [](RunRig& r) { r.Add(1, 10, 1, 2, "R"); r.Waiter.At(5000, [&r] { ++r.Server.GuidingInterruptions; }); },
         {"Img-001R.fit", "Img-002R.fit"}, {},
         [](RunRig& r) { return expect(r.Server.SavedKeys.value(0).value("GUIDLOST") == QVariant(true) && !r.Server.SavedKeys.value(1).contains("GUIDLOST"), "keys")
                              + expect(hasEvent(r, "Img-001R.fit: guiding was interrupted during the exposure (marked GUIDLOST in its header)"), events(r).join('|')); }},
        {"guiding lost, retake on: taken again once guiding is back", false,
         [](RunRig& r) { r.Host.Night.RetakeLostGuiding = true; r.Add(1, 10, 1, 1, "R");
                         r.Waiter.At(5000, [&r] { ++r.Server.GuidingInterruptions; });
                         r.Server.GuiderXErrors = {2.0f, 2.0f, 2.0f, 0.1f}; },
         {"Img-001R.fit"}, {},
         [](RunRig& r) { return expect(r.Server.CallCount("Expose") == 2 && !r.Server.SavedKeys.value(0).contains("GUIDLOST"), "retake")
                              + expect(r.Server.TimesOf("Expose").value(1) == 10000 + 3000, "retake started at " + QString::number(r.Server.TimesOf("Expose").value(1))); }},
        {"guiding lost on every retake: the last spoilt frame is kept, marked", false,
         [](RunRig& r) { r.Host.Night.RetakeLostGuiding = true; r.Host.Night.RetryTries = 2; r.Add(1, 10, 1, 1, "R");
                         for (qint64 t : {5000, 15000, 25000}) r.Waiter.At(t, [&r] { ++r.Server.GuidingInterruptions; }); },
         {"Img-001R.fit"}, {},
         [](RunRig& r) { return expect(r.Server.CallCount("Expose") == 3 && r.Server.SavedKeys.value(0).value("GUIDLOST") == QVariant(true), "kept"); }},

        // --- the guider lost at a dither ---
        {"guider gone at the dither: waited for up to the bound, then on without it", false,
         [](RunRig& r) { retry(r); r.Host.Night.GuiderWaitMinutes = 2; r.Host.Sequence.PixelDither = Decimal4::FromCount(5000);
                         r.Add(1, 10, 1, 1, "R"); r.Add(2, 10, 1, 1, "G"); r.Server.FailAt("GuiderXStarPosition", 1, "PHD2 at localhost:4400: connection refused");
                         r.Server.FailAt("GuiderXStarPosition", 2, "PHD2 at localhost:4400: connection refused"); },
         {"Img-001R.fit", "Img-001G.fit"}, {},
         [](RunRig& r) { return expect(hasEvent(r, "Dither failed: PHD2 at localhost:4400: connection refused") && hasEvent(r, "The guider is back: dithered"), events(r).join('|'))
                              + expect(r.Server.CallCount("GuiderMoveStar") == 2, "dithers")
                              + expect(r.Host.Entries("Send ").last() == "End", "not completed"); }},
        {"guider never back, GuiderLost=Continue: the night goes on", false,
         [](RunRig& r) { retry(r); r.Host.Night.GuiderWaitMinutes = 2; r.Host.Sequence.PixelDither = Decimal4::FromCount(5000);
                         r.Add(1, 10, 1, 1, "R"); r.Add(2, 10, 1, 1, "G"); r.Server.FailAt("GuiderXStarPosition", 0, "PHD2 at localhost:4400: connection refused"); },
         {"Img-001R.fit", "Img-001G.fit"}, {},
         [](RunRig& r) { return expect(hasEvent(r, "No dither after waiting 2 min for the guider; going on without it"), events(r).join('|'))
                              + expect(r.Server.TimesOf("Expose").value(1) == 10000 + 120000, "second item at " + QString::number(r.Server.TimesOf("Expose").value(1)))
                              + expect(r.Host.Entries("Send ").last() == "End", "not completed"); }},
        {"guider never back, GuiderLost=Stop: the run stops", false,
         [](RunRig& r) { retry(r); r.Host.Night.NoBoxes = true; r.Host.Night.GuiderWaitMinutes = 1; r.Host.Night.GuiderLost = NightOptions::GuiderLostAction::Stop;
                         r.Host.Sequence.PixelDither = Decimal4::FromCount(5000); r.Add(1, 10, 1, 1, "R"); r.Add(2, 10, 1, 1, "G");
                         r.Server.GuiderXErrors = {3.0f}; },
         {"Img-001R.fit"}, {},
         [](RunRig& r) { return expect(record(r).contains("No dither after waiting 1 min for the guider; the run stops"), "record: " + record(r))
                              + expect(r.Host.Entries("Send ").last() == "Abort", "not stopped"); }},

        // --- a damaged image ---
        {"damaged image: reported in the run's words, the next frame goes on", false,
         [](RunRig& r) { r.Server.FailAt("ImageReady", 100, "\"CCD Simulator\" sent an image that is not a valid FITS file: its data is 2880 bytes short of the 2621440 its header declares",
                                         ScriptedCameraServer::FailureKind::BadImage); r.Add(1, 10, 1, 2, "R"); },
         {"Img-002R.fit"}, {"Error 16: Img-001R.fit was not saved: \"CCD Simulator\" sent an image that is not a valid FITS file: its data is 2880 bytes short of the 2621440 its header declares"},
         [](RunRig& r) { return expect(fileBytes(r, "Img-001R.fit") == "<missing>", "a file under the frame's name"); }},
        {"damaged image with retry: taken again", false,
         [](RunRig& r) { retry(r); r.Server.FailAt("ImageReady", 100, "damaged", ScriptedCameraServer::FailureKind::BadImage); r.Add(1, 10, 1, 1, "R"); },
         {"Img-001R.fit"}, {},
         [](RunRig& r) { return expect(r.Server.CallCount("Expose") == 2 && r.Host.Entries("Reconnect").isEmpty(), "retake without reconnect"); }},

        // --- a stop that cuts a driver's request short ---
        {"a request cut short by Stop shows no box", false,
         [](RunRig& r) { r.Add(1, 10, 1, 1, "R"); r.Server.FailAt("SetFilter", 1, "Stopped while moving to filter slot 2", ScriptedCameraServer::FailureKind::Stopped);
                         r.Server.OnCall = [&r](const QString& op) { if (op == "SetFilter") r.Host.PressStop(); }; },
         {}, {},
         [](RunRig& r) { return expect(r.Host.Entries("Send ") == QStringList {"Abort"}, "sent " + r.Host.Entries("Send ").join('|')); }},
    };
}
}

class TestNightRun : public QObject {
    Q_OBJECT
private slots:
    void runsAsTheTableSays()
    {
        for (const NightCase& c : cases()) {
            RunRig rig;
            CommandReader reader(rig.Host.Flags);
            if (c.secondPc)
                reader.Feed("Expose 10");
            c.setup(rig);
            if (c.secondPc) {
                for (qint64 t = 10000; t < 100000; t += 10000)
                    rig.Waiter.At(t, [&reader] { reader.Feed("Expose 10"); });
                SecondSequenceRun(rig.Host, rig.Waiter).Run();
            } else {
                MainSequenceRun(rig.Host, rig.Waiter, rig.Random).Run();
            }
            const QString row = QString::fromLatin1(c.name) + ": ";
            QVERIFY2(rig.Saved() == c.saved, qPrintable(row + "saved " + rig.Saved().join(' ')));
            if (c.boxes != QStringList {"*"})
                QVERIFY2(rig.Host.Entries("Box ") == c.boxes, qPrintable(row + "boxes " + rig.Host.Entries("Box ").join('|')));
            QVERIFY2(!rig.Host.Flags.Running && rig.Host.Entries("Status ").last() == "Camera Idle", qPrintable(row + "not closed"));
            const QStringList failures = c.check ? c.check(rig) : QStringList();
            QVERIFY2(failures.isEmpty(), qPrintable(row + failures.join("; ")));
        }
    }
};

QTEST_GUILESS_MAIN(TestNightRun)
#include "tst_nightrun.moc"
