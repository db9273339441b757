// The header keywords stacking tools read, in the files each camera driver
// saves: the simulator (its own header) and the Debian INDI CCD simulator
// (the driver's header kept, the missing keywords added). One row per
// keyword and camera; every file must pass the FITS verifier (fitsverify)
// without an error. Also the DATE-OBS the driver writes, put right to three
// decimals.
#include "IndiServer.h"
#include "camera/ICamera.h"
#include "camera/IDocument.h"
#include "camera/ImageSave.h"
#include "camera/indi/IndiDocument.h"
#include "devices/DeviceFactory.h"
#include "image/FitsImageReader.h"
#include "image/FitsImageWriter.h"

#include <QElapsedTimer>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QtTest>

namespace {
const QRegularExpression kDateObs(QStringLiteral("^\\d{4}-\\d\\d-\\d\\dT\\d\\d:\\d\\d:\\d\\d\\.\\d{3}$"));

// Exposes `seconds` at binning 2 through filter slot 1 and saves the image
// as name in dir, as a run does (through the pixel worker).
QString takeFrame(ICamera& camera, int seconds, const QString& dir, const QString& name)
{
    camera.SetLinkEnabled(true);
    camera.SetFilter(1);
    camera.SetBinX(2);
    camera.SetBinY(2);
    camera.SetFullFrame();
    camera.Expose(seconds, -1);
    QElapsedTimer t;
    t.start();
    while (!camera.ImageReady() && t.elapsed() < 30000)
        QTest::qWait(100);
    camera.Document()->SetDisplayName(name);
    const QString path = dir + QLatin1Char('/') + name;
    const std::shared_ptr<ImageSave> save = camera.StartSaveImage(path, SaveMode::Replace);
    while (!save->IsFinished())
        QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents);
    save->Result();
    return path;
}

QString fitsverify(const QString& path)
{
    QProcess p;
    p.start(QStringLiteral("fitsverify"), {QStringLiteral("-q"), path});
    p.waitForFinished(30000);
    return p.exitCode() == 0 ? QString() : QString::fromLocal8Bit(p.readAllStandardOutput() + p.readAllStandardError());
}
}

class TestHeaders : public QObject {
    Q_OBJECT

    QTemporaryDir dir;
    IndiServer server;
    QHash<QString, QString> saved;   // camera -> file

private slots:
    void initTestCase()
    {
        const QString ini = dir.filePath("Simulator.ini");
        QFile f(ini);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write("[Camera]\r\nDriver=Simulator\r\nTimeScale=0\r\nSensorWidth=320\r\nSensorHeight=240\r\n"
                "PixelSize=4.5\r\nSetTemperature=-15\r\nGain=120\r\nOffset=30\r\n");
        f.close();
        auto app = CreateMaxImApplication(ini);
        auto camera = app->CCDCamera();
        saved["simulator"] = takeFrame(*camera, 3, dir.path(), "M42-001R.fit");

        if (!IndiServer::Available())
            QFAIL("indiserver is missing: scripts/install-deps.sh installs indi-bin");
        QString why;
        QVERIFY2(server.Start({"indi_simulator_ccd", "indi_simulator_wheel"}, &why), qPrintable(why));
        auto indi = CreateMaxImApplication(server.WriteSettings());
        auto indiCamera = indi->CCDCamera();
        saved["INDI"] = takeFrame(*indiCamera, 1, dir.path(), "M42-001G.fit");
        indiCamera->Release();
        indi->Release();
    }

    void everyFileCarriesTheKeywords_data()
    {
        QTest::addColumn<QString>("camera");
        QTest::addColumn<QString>("keyword");
        QTest::addColumn<QString>("expected");   // a value, or "/regex/", or "number"
        const QString date = QStringLiteral("/date/");
        for (const QString& camera : {"simulator", "INDI"}) {
            const bool sim = camera == "simulator";
            const auto row = [&](const char* key, const QString& expected) {
                QTest::addRow("%s %s", qPrintable(camera), key) << camera << QString(key) << expected;
            };
            row("DATE-OBS", date);
            row("EXPTIME", sim ? "3" : "1");
            row("IMAGETYP", "Light Frame");
            row("FILTER", sim ? "Red" : "Green");
            row("XBINNING", "2");
            row("YBINNING", "2");
            row("XPIXSZ", sim ? "9" : "10.4");
            row("YPIXSZ", sim ? "9" : "10.4");
            row("CCD-TEMP", sim ? "-15" : "number");
            row("GAIN", sim ? "120" : "number");
            row("OFFSET", sim ? "30" : "number");
            row("INSTRUME", sim ? "Tandexa Simulator" : "CCD Simulator");
            row("OBJECT", sim ? "M42-001R.fit" : "M42-001G.fit");
            if (sim)   // the INDI simulator has no cooler set point to report
                row("SET-TEMP", "-15");
            else       // the driver's own keywords stay
                row("ROWORDER", "TOP-DOWN");
        }
    }
    void everyFileCarriesTheKeywords()
    {
        QFETCH(QString, camera);
        QFETCH(QString, keyword);
        QFETCH(QString, expected);
        const FitsImage image = FitsImageReader::Read(saved.value(camera));
        QVERIFY2(image.Keys.contains(keyword), qPrintable(keyword + " is missing"));
        const QString value = image.Key(keyword);
        if (expected == "/date/")
            QVERIFY2(kDateObs.match(value).hasMatch(), qPrintable(value));
        else if (expected == "number") {
            bool ok = false;
            value.toDouble(&ok);
            QVERIFY2(ok, qPrintable(value));
        } else if (bool numeric = false; expected.toDouble(&numeric), numeric)
            QCOMPARE(value.toDouble(), expected.toDouble());
        else
            QCOMPARE(value, expected);
    }

    void everyFilePassesTheVerifier_data()
    {
        QTest::addColumn<QString>("camera");
        QTest::newRow("simulator") << "simulator";
        QTest::newRow("INDI") << "INDI";
    }
    void everyFilePassesTheVerifier()
    {
        QFETCH(QString, camera);
        if (QStandardPaths::findExecutable("fitsverify").isEmpty())
            QFAIL("fitsverify is missing: scripts/install-deps.sh installs it");
        const QString report = fitsverify(saved.value(camera));
        QVERIFY2(report.isEmpty(), qPrintable(report));
    }

    void theDriversDateObsGetsThreeDecimals_data()
    {
        QTest::addColumn<QString>("driver");
        QTest::addColumn<QString>("written");
        QTest::newRow("three already") << "2026-12-08T03:12:45.120" << "2026-12-08T03:12:45.120";
        QTest::newRow("six") << "2026-12-08T03:12:45.123456" << "2026-12-08T03:12:45.123";
        QTest::newRow("none") << "2026-12-08T03:12:45" << "2026-12-08T03:12:45.000";
        QTest::newRow("one, with Z") << "2026-12-08T03:12:45.1Z" << "2026-12-08T03:12:45.100";
        QTest::newRow("not a date: kept") << "yesterday" << "yesterday";
    }
    void theDriversDateObsGetsThreeDecimals()
    {
        QFETCH(QString, driver);
        QFETCH(QString, written);
        const QString sent = dir.filePath("sent.fits");
        FitsImageWriter::Write(sent, 4, 2, std::vector<uint16_t>(8, 100), {{"DATE-OBS", driver, ""}});
        QFile f(sent);
        QVERIFY(f.open(QIODevice::ReadOnly));
        IndiDocument document(f.readAll(), ".fits", {{"DATE-OBS", QString("2000-01-01T00:00:00.000"), ""}});
        const QString path = dir.filePath("dated.fit");
        document.SaveImage(path);
        QCOMPARE(FitsImageReader::Read(path).Key("DATE-OBS"), written);
    }
};

QTEST_GUILESS_MAIN(TestHeaders)
#include "tst_headers.moc"
