// The "Night" page: options read from and written to Tandexa.ini, a settings
// file that cannot be written, and a run in the window that loses its camera
// and carries on, telling the page and the night's record instead of a box.
#include "AppFixture.h"

#include "ScriptedCameraServer.h"
#include "WidgetLookup.h"
#include "app/NightPage.h"
#include "app/TMainForm.h"
#include "platform/RunState.h"

#include <QAbstractButton>
#include <QCheckBox>
#include <QDir>
#include <QLabel>
#include <QListWidget>
#include <QSpinBox>
#include <QTabWidget>
#include <QTest>

#include <sys/stat.h>

class TestNightPage : public QObject {
    Q_OBJECT
private slots:
    void optionsAreReadShownAndWritten()
    {
        AppFixture fx;
        fx.write("Tandexa.ini", "[Setup]\r\nMainCCD=1\r\n; mine\r\n[Night]\r\nRetry=1\r\nRetryTries=7\r\nGuiderLost=Stop\r\nNoBoxes=1\r\n");
        NightPage page(fx.path("Tandexa.ini"));
        QVERIFY(page.findChild<QCheckBox*>("NightRetry")->isChecked());
        QCOMPARE(page.findChild<QSpinBox*>("NightRetryTries")->value(), 7);
        QVERIFY(page.findChild<QCheckBox*>("NightGuiderLost")->isChecked());
        QVERIFY(page.findChild<QCheckBox*>("NightNoBoxes")->isChecked());
        QVERIFY(!page.findChild<QCheckBox*>("NightRetake")->isChecked());
        page.findChild<QCheckBox*>("NightRetake")->setChecked(true);
        page.findChild<QSpinBox*>("NightGuiderWait")->setValue(25);
        const NightOptions o = page.Options();
        QVERIFY(o.Retry && o.NoBoxes && o.RetakeLostGuiding && o.RetryTries == 7 && o.GuiderWaitMinutes == 25);
        QCOMPARE(o.GuiderLost, NightOptions::GuiderLostAction::Stop);
        QCOMPARE(fx.read("Tandexa.ini"),
                 QByteArray("[Setup]\r\nMainCCD=1\r\n; mine\r\n[Night]\r\nRetry=1\r\nRetryTries=7\r\nGuiderLost=Stop\r\nNoBoxes=1\r\n"
                            "RetryPause=10\r\nGuiderWait=25\r\nRetakeLostGuiding=1\r\n"));
        // Switching retry off greys what only it uses.
        page.findChild<QCheckBox*>("NightRetry")->setChecked(false);
        QVERIFY(!page.findChild<QSpinBox*>("NightRetryTries")->isEnabled());
        QVERIFY(fx.read("Tandexa.ini").contains("Retry=0\r\n"));
    }

    void anUnwritableSettingsFileIsReportedAndEventsAreBounded()
    {
        AppFixture fx;
        fx.write("Tandexa.ini", "[Night]\r\nNoBoxes=0\r\n");
        ::chmod(QFile::encodeName(fx.path("Tandexa.ini")).constData(), 0444);
        NightPage page(fx.path("Tandexa.ini"));
        page.findChild<QCheckBox*>("NightNoBoxes")->setChecked(true);
        QCOMPARE(fx.boxes.size(), 1);
        QVERIFY2(fx.boxes.first().startsWith("Unable to write to " + fx.path("Tandexa.ini")), qPrintable(fx.boxes.first()));
        QVERIFY(!page.findChild<QCheckBox*>("NightNoBoxes")->isChecked() && !page.Options().NoBoxes);
        const QDateTime at(QDate(2026, 12, 8), QTime(3, 12, 45, 120), Qt::UTC);
        for (int i = 0; i < NightPage::MaxEvents + 3; ++i)
            page.AddEvent(at, QString("event %1").arg(i));
        QCOMPARE(page.Events().count(), NightPage::MaxEvents);
        QCOMPARE(page.Events().item(0)->text(), QString("2026-12-08 03:12:45.120  event 3"));
    }

    void aRunThatLosesItsCameraCarriesOnInTheWindow()
    {
        AppFixture fx;
        fx.write("Tandexa.ini", "[Night]\r\nRetry=1\r\nRetryTries=2\r\nNoBoxes=1\r\n");
        QDir(fx.dir->path()).mkdir("img");
        fx.write("Sequence1.seq", QStringLiteral("[Sequence]\r\nImgFileName=Img\r\nDestDir=%1\r\nIterations=1\r\nStartIteration=1\r\n"
                                                 "DelayFrame=0\r\nPixelDither=0\r\nWhileGuideError=0.5\r\nAllowList=0\r\nItems=1\r\n"
                                                 "Item0=1 0 1 2 R-\r\n").arg(fx.path("img")).toUtf8());
        ScriptedCameraServer server;
        server.FilterNameList = {"Luminance", "Red"};
        server.WriteFiles = true;
        server.FailAt("ImageReady", 1, "Lost the INDI server at localhost:7624 during the exposure: the server closed the connection");
        TMainForm form(true, server.Factory());
        form.show();
        QTest::mouseClick(child<QAbstractButton>(form, "ConnectMaxImButton"), Qt::LeftButton);
        QTest::mouseClick(child<QAbstractButton>(form, "StartButton"), Qt::LeftButton);
        QVERIFY(!form.State().Running);
        QCOMPARE(fx.boxes, QStringList());
        QCOMPARE(QDir(fx.path("img")).entryList({"*.fit"}), QStringList({"Img-001R.fit", "Img-002R.fit"}));
        QCOMPARE(server.CallCount("CreateApplication"), 2);
        const QListWidget& events = form.findChild<NightPage*>()->Events();
        QCOMPARE(events.count(), 2);
        QVERIFY2(events.item(1)->text().endsWith("  Camera connected again (try 1 of 2); taking Img-001R.fit again"), qPrintable(events.item(1)->text()));
        const QStringList records = QDir(fx.path("img")).entryList({"Tandexa-night-*.txt"});
        QCOMPARE(records.size(), 1);
        // The last page, after Setup, Sequence and Image.
        const QTabWidget* pages = form.findChild<QTabWidget*>("Pannello");
        QCOMPARE(pages->indexOf(form.findChild<NightPage*>()), pages->count() - 1);
    }
};

QTEST_MAIN(TestNightPage)
#include "tst_nightpage.moc"
