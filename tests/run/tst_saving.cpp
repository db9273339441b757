// Both runs wait for a save done off the UI thread through their waiter, in
// virtual time: the next exposure starts only when the file is written, a
// Stop meanwhile keeps the image, and a save that fails ends the run with
// its message. The window is told when the save begins (RunImageSaving).
#include "RunRig.h"

#include "camera/AutomationError.h"
#include "camera/CameraHandle.h"
#include "camera/IDocument.h"
#include "camera/ImageSave.h"
#include "platform/PixelWorker.h"
#include "run/MainSequenceRun.h"
#include "run/SecondSequenceRun.h"

#include <QSemaphore>
#include <QtTest>

namespace {
// Saves take until the test opens the gate; the job then fails or not.
class SlowSaveCamera : public CameraHandle {
public:
    using CameraHandle::CameraHandle;
    QSemaphore Gate;
    bool Fail = false;
    QStringList Started;   // "<path> <virtual ms>"
    const ManualCameraClock* Clock = nullptr;

    std::shared_ptr<ImageSave> StartSaveImage(const QString& path, SaveMode mode) override
    {
        Started << QString("%1 %2 mode %3").arg(QFileInfo(path).fileName()).arg(Clock->NowMs()).arg(int(mode));
        return ImageSave::Start([this, path] {
            Gate.acquire();
            if (Fail)
                throw AutomationError("Unable to save image " + path + ": No space left on device");
        });
    }
};

class SavingHost : public FakeRunHost {
public:
    using FakeRunHost::FakeRunHost;
    QStringList Saving;
    void RunImageSaving(const QString& path) override { Saving << QFileInfo(path).fileName(); }
};

struct Rig {
    RunRig r;
    SavingHost host {r.Server.Clock()};
    VirtualWaiter waiter {r.Server.Clock(), host.Flags};
    std::shared_ptr<ICamera> inner;
    SlowSaveCamera camera;

    Rig() : inner(std::move(r.Camera)), camera(inner)
    {
        camera.Clock = &r.Server.Clock();
        host.Camera = &camera;
        host.Sequence = r.Host.Sequence;
        host.Sequence.Items.append(TSequenceItem {1, 10, 1, 2, "R"});
        host.Flags.ExposeReceived = true;   // for the second PC: one command, budget enough
        host.Flags.ExposeSeconds = 100;
        host.Sequence.AllowList = true;
    }
    // Opens the gate at virtual `ms` and waits until the save has ended.
    void FinishSaveAt(qint64 ms)
    {
        waiter.At(ms, [this] {
            camera.Gate.release();
            PixelWorker::WaitForIdle();
        });
    }
    void Run(bool main)
    {
        if (main) {
            MainSequenceRun(host, waiter, r.Random).Run();
        } else {
            SecondSequenceRun(host, waiter).Run();
        }
    }
};
}

class TestSaving : public QObject {
    Q_OBJECT
private slots:
    void theRunWaitsForTheSave_data()
    {
        QTest::addColumn<bool>("main");
        QTest::newRow("main PC") << true;
        QTest::newRow("second PC") << false;
    }
    void theRunWaitsForTheSave()
    {
        QFETCH(bool, main);
        Rig rig;
        rig.FinishSaveAt(13000);   // the first image came at 10 s: 3 s to write it
        rig.FinishSaveAt(26000);
        rig.Run(main);
        QCOMPARE(rig.camera.Started, QStringList({"Img-001R.fit 10000 mode 1", "Img-002R.fit 23000 mode 1"}));
        QCOMPARE(rig.host.Saving, QStringList({"Img-001R.fit", "Img-002R.fit"}));
        // The second frame starts after the first is written, not before.
        QCOMPARE(rig.r.Server.TimesOf("Expose"), QList<qint64>({0, 13000}));
        QCOMPARE(rig.host.Frames.filter("Saved").size(), 2);
        QVERIFY(rig.host.Frames.filter("Saved").first().endsWith("@13000"));
        QCOMPARE(rig.host.Log.last(), QString("Stop 0"));
    }

    void aStopDuringTheSaveKeepsTheImage()
    {
        Rig rig;
        rig.waiter.At(11000, [&] { rig.host.PressStop(); });
        rig.FinishSaveAt(13000);
        rig.Run(true);
        QCOMPARE(rig.host.Frames.filter("Saved").size(), 1);
        QCOMPARE(rig.r.Server.CallCount("Expose"), 1);
        QCOMPARE(rig.host.Entries("Send "), QStringList({"Expose 10", "Abort"}));
    }

    void aFailedSaveEndsTheRunWithItsMessage_data()
    {
        QTest::addColumn<bool>("main");
        QTest::addColumn<QStringList>("sent");
        QTest::newRow("main PC") << true << QStringList {"Expose 10", "Abort"};
        QTest::newRow("second PC") << false << QStringList {};
    }
    void aFailedSaveEndsTheRunWithItsMessage()
    {
        QFETCH(bool, main);
        QFETCH(QStringList, sent);
        Rig rig;
        rig.camera.Fail = true;
        rig.FinishSaveAt(12000);
        rig.Run(main);
        const QStringList boxes = rig.host.Entries("Box ");
        QCOMPARE(boxes.size(), 1);
        QVERIFY2(boxes.first().startsWith("Error 16: Unable to save image ") && boxes.first().endsWith("Img-001R.fit: No space left on device"),
                 qPrintable(boxes.first()));
        QVERIFY(rig.host.Frames.filter("Saved").isEmpty());
        QCOMPARE(rig.r.Server.CallCount("Expose"), 1);
        QCOMPARE(rig.host.Entries("Send "), sent);
        QCOMPARE(rig.host.Log.mid(rig.host.Log.size() - 4), QStringList({"Row 1", "Status Camera Idle", "Start 1", "Stop 0"}));
    }
};

QTEST_GUILESS_MAIN(TestSaving)
#include "tst_saving.moc"
