// Start and Stop through the window's buttons on real time, with the
// scripted camera: the window hands its sequence, camera, filter names and
// spinner to the runs and gets its buttons and status line back.
#include "AppFixture.h"

#include "ScriptedCameraServer.h"
#include "app/TMainForm.h"
#include "platform/RunState.h"
#include "sequence/TSequenceFrame.h"

#include <QAbstractButton>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QTest>
#include <QTimer>

namespace {
QAbstractButton* button(QWidget& w, const char* name) { return w.findChild<QAbstractButton*>(name); }
QString status(QWidget& w) { return w.findChild<QLabel*>("StatusText")->text(); }

// A program directory holding a sequence of one item (filter 1, `exposure`
// seconds, binning 1, `repeat` frames, suffix R) saving into img/.
void writeSequence(AppFixture& fx, int exposure, int repeat)
{
    QDir(fx.dir->path()).mkdir("img");
    fx.write("Sequence1.seq", QStringLiteral("[Sequence]\r\nImgFileName=Img\r\nDestDir=%1\r\nIterations=1\r\nStartIteration=1\r\n"
                                             "DelayFrame=0\r\nPixelDither=0\r\nWhileGuideError=0.5\r\nAllowList=0\r\nItems=1\r\n"
                                             "Item0=1 %2 1 %3 R-\r\n")
                                  .arg(fx.path("img"))
                                  .arg(exposure)
                                  .arg(repeat)
                                  .toUtf8());
}
}

class TestMainFormRun : public QObject {
    Q_OBJECT
private slots:
    void startRunsTheSequenceAndGivesTheWindowBack_data()
    {
        QTest::addColumn<bool>("isMainPC");
        QTest::newRow("main PC") << true;
        QTest::newRow("second PC") << false;
    }
    void startRunsTheSequenceAndGivesTheWindowBack()
    {
        QFETCH(bool, isMainPC);
        AppFixture fx;
        writeSequence(fx, 0, 2);
        ScriptedCameraServer server;
        server.FilterNameList = {"Luminance", "Red"};
        TMainForm form(isMainPC, server.Factory());
        form.show();
        QTest::mouseClick(button(form, "ConnectMaxImButton"), Qt::LeftButton);
        if (!isMainPC) {   // the main PC's command, as the link would set it
            form.State().ExposeReceived = true;
            form.State().ExposeSeconds = 10;
            form.SequenceFrame().Sequence().AllowList = true;
        }
        QTest::mouseClick(button(form, "StartButton"), Qt::LeftButton);

        QCOMPARE(server.SavedPaths, QStringList({fx.path("img") + "/Img-001R.fit", fx.path("img") + "/Img-002R.fit"}));
        QCOMPARE(status(form), QString("Camera Idle"));
        QVERIFY(button(form, "StartButton")->isEnabled());
        QVERIFY(!button(form, "StopButton")->isEnabled());
        QVERIFY(!form.State().Running);
        // Only the main PC moves on to the next pass.
        QCOMPARE(form.findChild<QLineEdit*>("StartIterationEdit")->text(), QString(isMainPC ? "2" : "1"));
        QCOMPARE(form.SequenceFrame().Sequence().StartIteration, isMainPC ? 2 : 1);
        QVERIFY(fx.boxes.isEmpty());
        form.close();
    }

    void stopEndsARunWaitingForItsImage()
    {
        AppFixture fx;
        writeSequence(fx, 5, 3);   // the scripted clock stands still: the image never comes
        ScriptedCameraServer server;
        server.FilterNameList = {"Luminance", "Red"};
        TMainForm form(true, server.Factory());
        form.show();
        QTest::mouseClick(button(form, "ConnectMaxImButton"), Qt::LeftButton);
        QString statusDuringRun;
        QTimer::singleShot(1500, [&] {
            statusDuringRun = status(form);
            QVERIFY(!button(form, "StartButton")->isEnabled());
            QTest::mouseClick(button(form, "StopButton"), Qt::LeftButton);
        });
        QTest::mouseClick(button(form, "StartButton"), Qt::LeftButton);

        QCOMPARE(statusDuringRun, QString("Exposing Img-001R.fit"));
        QCOMPARE(server.CallCount("AbortExposure"), 1);
        QCOMPARE(server.CallCount("Expose"), 1);
        QVERIFY(server.SavedPaths.isEmpty());
        QCOMPARE(status(form), QString("Camera Idle"));
        QVERIFY(button(form, "StartButton")->isEnabled());
        QCOMPARE(form.SequenceFrame().Sequence().StartIteration, 1);
        form.close();
    }
};

QTEST_MAIN(TestMainFormRun)
#include "tst_mainform_run.moc"
