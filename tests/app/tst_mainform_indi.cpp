// "Connect MaxIm" in the window with Tandexa.ini choosing the INDI driver,
// against an indiserver with the Debian CCD and wheel simulators.
#include "AppFixture.h"

#include "IndiServer.h"
#include "app/TMainForm.h"
#include "app/CameraConnection.h"
#include "link/LinkTestSupport.h"

#include <QAbstractButton>
#include <QTest>

class TestMainFormIndi : public QObject {
    Q_OBJECT
private slots:
    void connectReadsTheWheelIntoTheFilterList()
    {
        IndiServer server;
        QString why;
        QVERIFY2(server.Start({"indi_simulator_ccd", "indi_simulator_wheel"}, &why), qPrintable(why));
        AppFixture fx;
        fx.write("Tandexa.ini", QStringLiteral("[Setup]\r\nMainCCD=1\r\n[Camera]\r\nDriver=INDI\r\nIndiHost=127.0.0.1\r\nIndiPort=%1\r\n")
                                    .arg(server.Port())
                                    .toUtf8());
        const QStringList names {"Red", "Green", "Blue", "H_Alpha", "SII", "OIII", "LPR", "Luminance"};
        {
            TMainForm form(true);
            form.show();
            auto* connect = form.findChild<QAbstractButton*>("ConnectMaxImButton");
            QTest::mouseClick(connect, Qt::LeftButton);
            QCOMPARE(fx.boxes, QStringList());
            QCOMPARE(form.FilterList(), names);
            QVERIFY(!connect->isEnabled());
            QVERIFY(form.findChild<QAbstractButton*>("StartButton")->isEnabled());
            form.close();
        }
        QCOMPARE(fx.read("FilterSet.txt"), QByteArray("Red\r\nGreen\r\nBlue\r\nH_Alpha\r\nSII\r\nOIII\r\nLPR\r\nLuminance\r\n"));
    }

    void noServerShowsTheConnectionError()
    {
        AppFixture fx;
        fx.write("Tandexa.ini", QStringLiteral("[Setup]\r\nMainCCD=1\r\n[Camera]\r\nDriver=INDI\r\nIndiHost=127.0.0.1\r\nIndiPort=%1\r\n")
                                    .arg(FreePort())
                                    .toUtf8());
        TMainForm form(true);
        form.show();
        auto* connect = form.findChild<QAbstractButton*>("ConnectMaxImButton");
        QTest::mouseClick(connect, Qt::LeftButton);
        QCOMPARE(fx.boxes, QStringList {"Error in connection. MaxIm/DL must be set up before conntecting.|MaxIm Application|16"});
        QVERIFY(connect->isEnabled());
        QVERIFY(!form.Camera().IsConnected());
        form.close();
    }
};

QTEST_MAIN(TestMainFormIndi)
#include "tst_mainform_indi.moc"
