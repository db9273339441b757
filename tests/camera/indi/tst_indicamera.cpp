// The INDI binding against a real indiserver with the Debian CCD and filter
// wheel simulators: filter names and moves, binning, the full frame, an
// exposure saved and read back with cfitsio, abort, and the failures (server
// killed or silent mid-exposure, no server, no device). Connecting through
// the window is in tests/app/tst_mainform_indi.cpp.
#include "IndiServer.h"
#include "camera/AutomationError.h"
#include "camera/ICamera.h"
#include "camera/IDocument.h"
#include "camera/indi/IndiApplication.h"
#include "camera/indi/IndiClient.h"
#include "devices/DeviceFactory.h"
#include "link/LinkTestSupport.h"

#include <QElapsedTimer>
#include <QtTest>
#include <fitsio.h>

namespace {
const QStringList kDrivers {QStringLiteral("indi_simulator_ccd"), QStringLiteral("indi_simulator_wheel")};

struct Linked {
    std::unique_ptr<IMaxImApplication> app;
    std::unique_ptr<ICamera> camera;
    IndiClient& client() { return dynamic_cast<IndiApplication&>(*app).Client(); }
};

Linked linkCamera(const QString& ini)
{
    Linked l;
    l.app = CreateMaxImApplication(ini);
    l.camera = l.app->CCDCamera();
    l.camera->SetLinkEnabled(true);
    return l;
}

// Polls ImageReady every 100 ms as a run does; false when `ms` pass first.
bool waitForImage(ICamera& camera, int ms)
{
    QElapsedTimer t;
    t.start();
    while (t.elapsed() < ms) {
        if (camera.ImageReady())
            return true;
        QTest::qWait(100);
    }
    return false;
}

QString errorOf(const std::function<void()>& f)
{
    try {
        f();
    } catch (const AutomationError& e) {
        return e.message();
    }
    return QString();
}

struct FitsFacts {
    int bitpix = 0;
    long width = 0, height = 0;
    double exptime = -1;
    QString filter, object;
    int status = 0;
};

FitsFacts readFits(const QString& path)
{
    FitsFacts f;
    fitsfile* fp = nullptr;
    if (fits_open_diskfile(&fp, QFile::encodeName(path).constData(), READONLY, &f.status))
        return f;
    int naxis = 0;
    long axes[2] = {0, 0};
    char text[FLEN_VALUE] = {};
    fits_get_img_param(fp, 2, &f.bitpix, &naxis, axes, &f.status);
    f.width = axes[0];
    f.height = axes[1];
    fits_read_key(fp, TDOUBLE, "EXPTIME", &f.exptime, nullptr, &f.status);
    fits_read_key(fp, TSTRING, "FILTER", text, nullptr, &f.status);
    f.filter = QString::fromLatin1(text).trimmed();
    fits_read_key(fp, TSTRING, "OBJECT", text, nullptr, &f.status);
    f.object = QString::fromLatin1(text).trimmed();
    int closeStatus = 0;
    fits_close_file(fp, &closeStatus);
    return f;
}
}

class IndiCameraTest : public QObject {
    Q_OBJECT

    IndiServer server;
    QString ini;

private slots:
    void initTestCase()
    {
        if (!IndiServer::Available())
            QFAIL("indiserver is missing: scripts/install-deps.sh installs indi-bin");
        QString why;
        QVERIFY2(server.Start(kDrivers, &why), qPrintable(why));
        ini = server.WriteSettings();
    }

    void filterNamesAreTheWheels()
    {
        Linked l = linkCamera(ini);
        QStringList names;
        for (int i = 0; i < 10; ++i)
            names << l.camera->FilterNames(i);
        QCOMPARE(names, (QStringList {"Red", "Green", "Blue", "H_Alpha", "SII", "OIII", "LPR", "Luminance", "Filter 9", "Filter 10"}));
        const IndiProperty* connection = l.client().cache().find("Filter Simulator", "CONNECTION");
        QVERIFY(connection && connection->isOn("CONNECT"));
    }

    void everyFilterSlotIsReached()
    {
        Linked l = linkCamera(ini);
        for (int index : {2, 0, 7, 1, 3, 4, 5, 6}) {
            l.camera->SetFilter(index);
            const IndiProperty* slot = l.client().cache().find("Filter Simulator", "FILTER_SLOT");
            QVERIFY(slot);
            QCOMPARE(slot->number("FILTER_SLOT_VALUE").value_or(-1), double(index + 1));
            QCOMPARE(slot->State, IndiState::Ok);
        }
        QVERIFY(errorOf([&] { l.camera->SetFilter(8); }).contains("outside 1 to 8"));
        QVERIFY(!errorOf([&] { l.camera->SetFilter(-1); }).isEmpty());
    }

    void binning_data()
    {
        QTest::addColumn<int>("bin");
        QTest::addColumn<QString>("refusal");   // empty: accepted
        QTest::newRow("1") << 1 << "";
        QTest::newRow("2") << 2 << "";
        QTest::newRow("4") << 4 << "";
        QTest::newRow("3 refused by the driver") << 3 << "not supported";
        QTest::newRow("5 past the limits") << 5 << "outside 1 to 4";
        QTest::newRow("0 below the limits") << 0 << "outside 1 to 4";
    }

    void binning()
    {
        QFETCH(int, bin);
        QFETCH(QString, refusal);
        Linked l = linkCamera(ini);
        l.camera->SetBinX(2);
        l.camera->SetBinY(2);
        const QString error = errorOf([&] {
            l.camera->SetBinX(bin);
            l.camera->SetBinY(bin);
        });
        if (refusal.isEmpty()) {
            QCOMPARE(error, QString());
            QCOMPARE(l.camera->BinX(), bin);
            QCOMPARE(l.camera->BinY(), bin);
        } else {
            QVERIFY2(error.contains(refusal), qPrintable(error));
            // A refused value never shows as the current binning.
            QVERIFY(l.camera->BinX() != bin);
        }
        // A refusal leaves the camera usable.
        l.camera->SetBinX(1);
        l.camera->SetBinY(1);
        QCOMPARE(l.camera->BinX(), 1);
    }

    void fullFrameKeepsTheBinning()
    {
        Linked l = linkCamera(ini);
        l.camera->SetBinX(2);
        l.camera->SetBinY(2);
        l.camera->SetFullFrame();
        QCOMPARE(l.camera->BinX(), 2);
        QCOMPARE(l.camera->BinY(), 2);
        const IndiProperty* frame = l.client().cache().find("CCD Simulator", "CCD_FRAME");
        QVERIFY(frame);
        QCOMPARE(frame->number("WIDTH").value_or(0), 1280.0);
        QCOMPARE(frame->number("HEIGHT").value_or(0), 1024.0);
        QCOMPARE(frame->number("X").value_or(-1), 0.0);
    }

    void exposureIsSavedAsFits_data()
    {
        QTest::addColumn<int>("bin");
        QTest::addColumn<int>("filter");
        QTest::addColumn<QString>("filterName");
        QTest::addColumn<int>("width");
        QTest::addColumn<int>("height");
        QTest::newRow("bin 1, Blue") << 1 << 2 << "Blue" << 1280 << 1024;
        QTest::newRow("bin 2, OIII") << 2 << 5 << "OIII" << 640 << 512;
    }

    void exposureIsSavedAsFits()
    {
        QFETCH(int, bin);
        QFETCH(int, filter);
        QFETCH(QString, filterName);
        QFETCH(int, width);
        QFETCH(int, height);
        Linked l = linkCamera(ini);
        l.camera->SetFilter(filter);
        l.camera->SetBinX(bin);
        l.camera->SetBinY(bin);
        l.camera->SetFullFrame();
        QElapsedTimer t;
        t.start();
        l.camera->Expose(1, -1);
        QVERIFY(t.elapsed() < 500);   // returns at once
        QVERIFY(!l.camera->ImageReady());
        QVERIFY(waitForImage(*l.camera, 20000));
        QVERIFY(t.elapsed() >= 900);
        std::shared_ptr<IDocument> doc = l.camera->Document();
        doc->SetDisplayName(QStringLiteral("Img-001-%1").arg(filterName));
        const QString path = server.Dir() + QStringLiteral("/Img-001-%1.fit").arg(filterName);
        l.camera->SaveImage(path);
        const FitsFacts f = readFits(path);
        QCOMPARE(f.status, 0);
        QCOMPARE(f.bitpix, 16);
        QCOMPARE(int(f.width), width);
        QCOMPARE(int(f.height), height);
        QCOMPARE(f.exptime, 1.0);
        QCOMPARE(f.filter, filterName);
        QCOMPARE(f.object, QStringLiteral("Img-001-%1").arg(filterName));
        QCOMPARE(QFileInfo(path).size() % 2880, 0);
        l.camera->SetBinX(1);
        l.camera->SetBinY(1);
    }

    void abortEndsTheExposure()
    {
        Linked l = linkCamera(ini);
        l.camera->Expose(1, -1);
        QVERIFY(waitForImage(*l.camera, 20000));
        l.camera->Expose(5, -1);
        QTest::qWait(500);
        l.camera->AbortExposure();
        const IndiProperty* exposure = l.client().cache().find("CCD Simulator", "CCD_EXPOSURE");
        QVERIFY(exposure && exposure->State != IndiState::Busy);
        // The earlier image is still the document, but not this exposure's image.
        QVERIFY(!l.camera->ImageReady());
        QTest::qWait(200);
        QVERIFY(!l.camera->ImageReady());
        QCOMPARE(errorOf([&] { l.camera->Document(); }), QString());
        // The camera takes the next exposure.
        l.camera->Expose(1, -1);
        QVERIFY(waitForImage(*l.camera, 20000));
    }

    void cameraOwnWheelWhenNoWheelIsNamed()
    {
        Linked l = linkCamera(server.WriteSettings("IndiWheel=\r\n"));
        QCOMPARE(l.camera->FilterNames(0), QStringLiteral("Red"));
        QCOMPARE(l.camera->FilterNames(8), QStringLiteral("Filter 9"));
        l.camera->SetFilter(2);
        const IndiProperty* own = l.client().cache().find("CCD Simulator", "FILTER_SLOT");
        QVERIFY(own);
        QCOMPARE(own->number("FILTER_SLOT_VALUE").value_or(0), 3.0);
        const auto activeFilter = [](Linked& x) {
            const IndiProperty* active = x.client().cache().find("CCD Simulator", "ACTIVE_DEVICES");
            return active && active->element("ACTIVE_FILTER") ? active->element("ACTIVE_FILTER")->Value : QString();
        };
        QCOMPARE(activeFilter(l), QStringLiteral("CCD Simulator"));
        l.camera->SetFilter(0);
        // The next camera watches the separate wheel again.
        Linked next = linkCamera(ini);
        QCOMPARE(activeFilter(next), QStringLiteral("Filter Simulator"));
    }

    void disconnectedDeviceIsRefused()
    {
        Linked l = linkCamera(ini);
        l.camera->SetLinkEnabled(false);
        QCOMPARE(errorOf([&] { l.camera->SetFilter(1); }), QStringLiteral("INDI device \"Filter Simulator\" is not connected"));
        QCOMPARE(errorOf([&] { l.camera->Expose(1, -1); }), QStringLiteral("INDI device \"CCD Simulator\" is not connected"));
        l.camera->SetLinkEnabled(true);
        l.camera->SetFilter(1);
    }

    void unknownDeviceFailsAfterTheReplyTimeout()
    {
        const QString path = server.WriteSettings("IndiCamera=No Such Camera\r\nIndiReplyTimeout=1\r\n");
        std::unique_ptr<IMaxImApplication> app = CreateMaxImApplication(path);
        QElapsedTimer t;
        t.start();
        const QString error = errorOf([&] { app->CCDCamera(); });
        QVERIFY2(error.contains("has no device \"No Such Camera\"") && error.contains("CCD Simulator"), qPrintable(error));
        QVERIFY(t.elapsed() >= 900 && t.elapsed() < 5000);
    }

    void serverKilledMidExposure()
    {
        IndiServer own;
        QString why;
        QVERIFY2(own.Start(kDrivers, &why), qPrintable(why));
        Linked l = linkCamera(own.WriteSettings());
        l.camera->Expose(3, -1);
        QTest::qWait(300);
        own.Kill();
        QElapsedTimer t;
        t.start();
        QString error;
        while (error.isEmpty() && t.elapsed() < 10000) {
            error = errorOf([&] { l.camera->ImageReady(); });
            QTest::qWait(100);
        }
        QVERIFY2(error.startsWith("Lost the INDI server at 127.0.0.1:"), qPrintable(error));
        QVERIFY(t.elapsed() < 3000);
        QVERIFY(!errorOf([&] { l.camera->SetFilter(0); }).isEmpty());
    }

    void silentServerFailsAfterExposurePlusMargin()
    {
        IndiServer own;
        QString why;
        QVERIFY2(own.Start(kDrivers, &why), qPrintable(why));
        Linked l = linkCamera(own.WriteSettings("IndiImageTimeout=1\r\n"));
        QElapsedTimer t;
        t.start();
        l.camera->Expose(1, -1);
        own.Pause();
        QString error;
        while (error.isEmpty() && t.elapsed() < 10000) {
            error = errorOf([&] { l.camera->ImageReady(); });
            QTest::qWait(100);
        }
        own.Resume();
        QVERIFY2(error.startsWith("No image from \"CCD Simulator\""), qPrintable(error));
        QVERIFY2(t.elapsed() >= 2000 && t.elapsed() < 4000, qPrintable(QString::number(t.elapsed())));
    }

    void noServerNamesHostPortAndReason()
    {
        const int port = FreePort();
        QTemporaryDir dir;
        const QString path = dir.filePath("Tandexa.ini");
        QFile f(path);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(QStringLiteral("[Camera]\r\nDriver=INDI\r\nIndiHost=127.0.0.1\r\nIndiPort=%1\r\n").arg(port).toUtf8());
        f.close();
        const QString error = errorOf([&] { CreateMaxImApplication(path); });
        QVERIFY2(error.contains("127.0.0.1") && error.contains(QString::number(port)) && error.contains("refused"),
                 qPrintable(error));

    }

    void guiderIsNotConfigured()
    {
        Linked l = linkCamera(ini);
        const QString want = QStringLiteral("No guider is configured for this camera");
        QCOMPARE(errorOf([&] { l.camera->GuiderXStarPosition(); }), want);
        QCOMPARE(errorOf([&] { l.camera->GuiderMoveStar(1, 2); }), want);
        QCOMPARE(errorOf([&] { l.camera->GuiderYError(); }), want);
    }
};

QTEST_GUILESS_MAIN(IndiCameraTest)
#include "tst_indicamera.moc"
