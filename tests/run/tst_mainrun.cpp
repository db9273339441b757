// The main PC's run against the scripted camera in virtual time: one table
// row per situation, each checking the files saved, the commands sent to the
// second PC, the boxes shown and what else the row is about (camera call
// order, status texts, times).
#include "RunRig.h"

#include "run/MainSequenceRun.h"

#include <QtTest>
#include <functional>

namespace {
const QString Ask = "Warning 36: Image %1 does exist.\rOverwrite?";

struct MainCase {
    const char* name;
    std::function<void(RunRig&)> setup;
    QStringList saved;
    QStringList sent;
    QStringList boxes;
    int startIteration;
    // Further checks; each returns the failures it found.
    std::function<QStringList(RunRig&)> check;
};

QStringList expect(bool ok, const QString& what) { return ok ? QStringList() : QStringList {what}; }

QStringList statuses(RunRig& r) { return r.Host.Entries("Status "); }

QList<MainCase> cases()
{
    return {
        {"start past the last pass", [](RunRig& r) { r.Host.Sequence.StartIteration = 3; r.Host.Sequence.Iterations = 2; r.Add(1, 10, 1, 1, "R"); },
         {}, {"End"}, {}, 3,
         [](RunRig& r) { return expect(r.Calls().isEmpty(), "camera used")
                              + expect(r.Host.Log.mid(r.Host.Log.size() - 4) == QStringList {"Row 1", "Status Camera Idle", "Start 1", "Stop 0"}, "closing steps"); }},
        {"empty item list", [](RunRig& r) { r.Host.Sequence.Iterations = 3; },
         {}, {"End"}, {}, 4,
         [](RunRig& r) { return expect(r.Host.Entries("StartIteration ") == QStringList {"2", "3", "4"}, "spinner positions"); }},
        {"repeat 0 still changes filter, delays and dithers", [](RunRig& r) { r.Add(2, 30, 1, 0, "G"); r.Host.Sequence.DelayFrame = 5; r.Host.Sequence.PixelDither = Decimal4::FromCount(5000); },
         {}, {"Expose 30", "End"}, {}, 2,
         [](RunRig& r) { return expect(r.Calls().first() == "SetFilter(2)" && r.Server.CallCount("Expose") == 0, "no frame")
                              + expect(statuses(r).contains("Delay") && r.Server.CallCount("GuiderMoveStar") == 1, "delay and dither")
                              + expect(r.Waiter.Now() == 5000 + 4500 + 100, "time " + QString::number(r.Waiter.Now())); }},
        {"numbers follow the start pass", [](RunRig& r) { r.Host.Sequence.StartIteration = 3; r.Host.Sequence.Iterations = 3; r.Add(0, 10, 1, 2, "L"); },
         {"Img-005L.fit", "Img-006L.fit"}, {"Expose 10", "End"}, {}, 4,
         [](RunRig& r) { return expect(!statuses(r).contains("Delay"), "Delay with DelayFrame 0")
                              + expect(statuses(r).mid(0, 3) == QStringList {"Changing filter Luminance", "Exposing Img-005L.fit", "Exposing Img-006L.fit"}, "statuses"); }},
        {"number above 999", [](RunRig& r) { r.Host.Sequence.StartIteration = 101; r.Host.Sequence.Iterations = 101; r.Add(1, 1, 1, 10, "R"); },
         {"Img-1001R.fit", "Img-1002R.fit", "Img-1003R.fit", "Img-1004R.fit", "Img-1005R.fit", "Img-1006R.fit", "Img-1007R.fit", "Img-1008R.fit", "Img-1009R.fit", "Img-1010R.fit"},
         {"Expose 1", "End"}, {}, 102, nullptr},
        {"existing file declined, repeat 1, dithering on", [](RunRig& r) { r.Touch("Img-001R.fit"); r.Add(1, 10, 1, 1, "R"); r.Host.Sequence.PixelDither = Decimal4::FromCount(5000); },
         {}, {"Expose 10", "End"}, {Ask.arg("Img-001R.fit")}, 2,
         [](RunRig& r) { return expect(r.Server.CallCount("GuiderMoveStar") == 0, "dithered after a skip")
                              + expect(statuses(r).mid(1, 2) == QStringList {"Skip image Img-001R.fit", "Img-001R.fit"}, "skip texts")
                              + expect(r.Host.TimeOf("Status Img-001R.fit") == 500, "500 ms after the skip"); }},
        {"existing file declined, repeat 2, no dithering", [](RunRig& r) { r.Touch("Img-001R.fit"); r.Add(1, 10, 1, 2, "R"); },
         {"Img-002R.fit"}, {"Expose 10", "End"}, {Ask.arg("Img-001R.fit")}, 2, nullptr},
        {"existing file declined, repeat 2, dithering 0.5", [](RunRig& r) { r.Touch("Img-001R.fit"); r.Add(1, 10, 1, 2, "R"); r.Host.Sequence.PixelDither = Decimal4::FromCount(5000); },
         {"Img-002R.fit"}, {"Expose 10", "End"}, {Ask.arg("Img-001R.fit"), "Warning 64: The second camera sync may get guiding error"}, 2,
         [](RunRig& r) { return expect(r.Server.CallCount("GuiderMoveStar") == 0, "dithered after a skip"); }},
        {"frame events: skipped, saved, aborted", [](RunRig& r) { r.Touch("Img-001R.fit"); r.Add(1, 10, 1, 3, "R"); r.Waiter.At(15000, [&r] { r.Host.PressStop(); }); },
         {"Img-002R.fit"}, {"Expose 10", "Abort"}, {Ask.arg("Img-001R.fit")}, 1,
         [](RunRig& r) { return expect(r.Host.Frames == QStringList {"Skipped Img-001R.fit 1/1/1 of 3 @0", "Started Img-002R.fit 1/1/2 of 3 @500",
                                                                     "Saved Img-002R.fit 1/1/2 of 3 @10500", "Started Img-003R.fit 1/1/3 of 3 @10500",
                                                                     "Aborted Img-003R.fit 1/1/3 of 3 @15000"}, r.Host.Frames.join(", ")); }},
        {"existing file overwritten on Yes", [](RunRig& r) { r.Touch("Img-001R.fit"); r.Add(1, 10, 1, 1, "R"); r.Host.BoxAnswers = {6}; },
         {"Img-001R.fit"}, {"Expose 10", "End"}, {Ask.arg("Img-001R.fit")}, 2, nullptr},
        {"stop while the image is awaited", [](RunRig& r) { r.Host.Sequence.Iterations = 2; r.Add(1, 300, 1, 2, "R"); r.Waiter.At(412000, [&r] { r.Host.PressStop(); }); },
         {"Img-001R.fit"}, {"Expose 300", "Abort"}, {}, 1,
         [](RunRig& r) { return expect(r.Server.TimesOf("AbortExposure") == QList<qint64> {412000}, "abort at 412 s")
                              + expect(r.Server.CallCount("Expose") == 2 && r.Waiter.Now() == 412000, "no further frame or wait")
                              + expect(r.Host.Entries("StartIteration ") == QStringList {"1"}, "spinner"); }},
        {"stop during the delay", [](RunRig& r) { r.Add(1, 10, 1, 1, "R"); r.Add(2, 10, 1, 1, "G"); r.Host.Sequence.DelayFrame = 60; r.Host.Sequence.PixelDither = Decimal4::FromCount(5000); r.Waiter.At(30000, [&r] { r.Host.PressStop(); }); },
         {"Img-001R.fit"}, {"Expose 10", "Abort"}, {}, 1,
         [](RunRig& r) { return expect(r.Server.CallCount("GuiderMoveStar") == 0, "dithered after a stop")
                              + expect(r.Host.TimeOf("Send Abort") == 30000, "delay not cut short"); }},
        {"binning: BinX right, BinY wrong", [](RunRig& r) { r.Server.BinX = 2; r.Add(1, 10, 2, 1, "R"); },
         {"Img-001R.fit"}, {"Expose 10", "End"}, {}, 2,
         [](RunRig& r) { return expect(r.Calls() == QStringList {"SetFilter(1)", "BinX()", "BinY()", "SetBinX(2)", "SetBinY(2)", "SetFullFrame()", "Expose(10,-1)",
                                                                "Document()", "SetDisplayName(Img-001R.fit)", "SaveImage(" + r.Dir.path() + "/Img-001R.fit,new)"},
                                       r.Calls().join(' ')); }},
        {"binning: BinX wrong, BinY not read", [](RunRig& r) { r.Add(1, 10, 3, 1, "R"); },
         {"Img-001R.fit"}, {"Expose 10", "End"}, {}, 2,
         [](RunRig& r) { return expect(r.Calls().mid(1, 3) == QStringList {"BinX()", "SetBinX(3)", "SetBinY(3)"}, r.Calls().join(' ')); }},
        {"Expose fails on frame 2 of 5", [](RunRig& r) { r.Server.FailAt("Expose", 2, "Camera busy"); r.Add(1, 10, 1, 5, "R"); r.Add(2, 10, 1, 1, "G"); r.Host.Sequence.DelayFrame = 3; r.Host.Sequence.PixelDither = Decimal4::FromCount(5000); },
         {"Img-001R.fit", "Img-001G.fit"}, {"Expose 10", "Expose 10", "End"}, {"Error 48: Camera busy"}, 2,
         [](RunRig& r) { return expect(r.Server.CallCount("Expose") == 3, "frames 3 to 5 taken")
                              + expect(statuses(r).count("Delay") == 2 && r.Server.CallCount("GuiderMoveStar") == 2, "delay and dither after the error"); }},
        {"300 s frames over three passes", [](RunRig& r) { r.Host.Sequence.Iterations = 3; r.Host.Sequence.DelayFrame = 10; r.Host.Sequence.PixelDither = Decimal4::FromCount(10000); r.Add(1, 300, 1, 2, "R"); r.Add(3, 300, 2, 1, "B"); },
         {"Img-001R.fit", "Img-002R.fit", "Img-001B.fit", "Img-003R.fit", "Img-004R.fit", "Img-002B.fit", "Img-005R.fit", "Img-006R.fit", "Img-003B.fit"},
         {"Expose 300", "Expose 300", "Expose 300", "Expose 300", "Expose 300", "Expose 300", "End"}, {}, 4,
         [](RunRig& r) { return expect(r.Waiter.Now() == 9 * 300000 + 6 * (10000 + 4500 + 100), "time " + QString::number(r.Waiter.Now()))
                              + expect(r.Host.Entries("StartIteration ") == QStringList {"2", "3", "4"}, "spinner")
                              + expect(statuses(r).mid(0, 6) == QStringList {"Changing filter Red", "Exposing Img-001R.fit", "Exposing Img-002R.fit", "Delay", "Moving telescope", "Waiting for error correction < 0.5"}, statuses(r).mid(0, 6).join('|')); }},
        {"save fails: the folder is missing", [](RunRig& r) { r.Host.Sequence.DestDir = r.Dir.path() + "/missing"; r.Add(1, 10, 1, 2, "R"); },
         {}, {"Expose 10", "Abort"}, {"*"}, 1,
         [](RunRig& r) { const QStringList boxes = r.Host.Entries("Box Error 16: Unable to save image " + r.Dir.path() + "/missing/Img-001R.fit: ");
                         return expect(boxes.size() == 1, r.Host.Entries("Box ").join('|'))
                              + expect(!r.Host.Flags.Running && r.Host.Log.last() == "Stop 0", "closing steps"); }},
        {"filter index without a name", [](RunRig& r) { r.Add(9, 10, 1, 1, "X"); },
         {}, {"Abort"}, {"Error 16: Item 1 uses filter 9, which has no name in the filter list (4 names); connect the camera again or correct the item"}, 1,
         [](RunRig& r) { return expect(r.Calls().isEmpty(), "wheel moved"); }},
        {"filter wheel fails", [](RunRig& r) { r.Server.FailAt("SetFilter", 1, "Wheel stuck"); r.Add(1, 10, 1, 1, "R"); },
         {}, {"Abort"}, {"Error 16: Wheel stuck"}, 1, nullptr},
        {"guider fails after a saved frame", [](RunRig& r) { r.Server.FailAt("GuiderXStarPosition", 1, "No guide star"); r.Add(1, 10, 1, 1, "R"); r.Host.Sequence.PixelDither = Decimal4::FromCount(5000); },
         {"Img-001R.fit"}, {"Expose 10", "Abort"}, {"Error 16: No guide star"}, 1,
         [](RunRig& r) { return expect(QFileInfo::exists(r.Dir.path() + "/Img-001R.fit"), "saved file lost"); }},
        {"another sequence loaded mid-item", [](RunRig& r) { r.Add(1, 60, 1, 3, "R"); r.Add(2, 60, 1, 3, "G");
                                                             r.Waiter.At(30000, [&r] { r.Host.Sequence.Items = {TSequenceItem {3, 5, 1, 1, "B"}}; r.Host.Sequence.ImgFileName = "New"; }); },
         {"Img-001R.fit", "New-002R.fit", "New-003R.fit"}, {"Expose 60", "End"}, {}, 2, nullptr},
    };
}
}

class TestMainRun : public QObject {
    Q_OBJECT
private slots:
    void runsAsTheTableSays()
    {
        for (const MainCase& c : cases()) {
            RunRig rig;
            c.setup(rig);
            MainSequenceRun(rig.Host, rig.Waiter, rig.Random).Run();
            const QString row = QString::fromLatin1(c.name) + ": ";
            QVERIFY2(rig.Saved() == c.saved, qPrintable(row + "saved " + rig.Saved().join(' ')));
            QVERIFY2(rig.Host.Entries("Send ") == c.sent, qPrintable(row + "sent " + rig.Host.Entries("Send ").join('|')));
            if (c.boxes != QStringList {"*"})   // "*": the row checks its boxes itself
                QVERIFY2(rig.Host.Entries("Box ") == c.boxes, qPrintable(row + "boxes " + rig.Host.Entries("Box ").join('|')));
            QVERIFY2(rig.Host.Sequence.StartIteration == c.startIteration, qPrintable(row + QString::number(rig.Host.Sequence.StartIteration)));
            QVERIFY2(!rig.Host.Flags.Running && rig.Host.Entries("Status ").last() == "Camera Idle", qPrintable(row + "not closed"));
            const QStringList failures = c.check ? c.check(rig) : QStringList();
            QVERIFY2(failures.isEmpty(), qPrintable(row + failures.join("; ")));
        }
    }

    void refusesToOverwriteUnasked()
    {
        // Whatever the answer, the old bytes stay unless it is Yes.
        for (int answer : {7, 1, 2}) {
            RunRig rig;
            rig.Touch("Img-001R.fit");
            rig.Add(1, 10, 1, 1, "R");
            rig.Host.BoxAnswers = {answer};
            MainSequenceRun(rig.Host, rig.Waiter, rig.Random).Run();
            QFile f(rig.Dir.path() + "/Img-001R.fit");
            QVERIFY(f.open(QIODevice::ReadOnly));
            QCOMPARE(f.readAll(), QByteArray("old"));
        }
    }
};

QTEST_GUILESS_MAIN(TestMainRun)
#include "tst_mainrun.moc"
