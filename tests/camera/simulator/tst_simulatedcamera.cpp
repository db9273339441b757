// The simulated camera: FITS files read back with cfitsio, exposure timing
// and abort, refusals, failing saves, the guider, and the driver factory.
#include "camera/AutomationError.h"
#include "camera/FileExistsError.h"
#include "camera/ICamera.h"
#include "camera/IDocument.h"
#include "camera/ImageSave.h"
#include "camera/ManualCameraClock.h"
#include "devices/DeviceFactory.h"
#include "camera/IMaxImApplication.h"
#include "camera/simulator/SimulatedApplication.h"
#include "camera/simulator/SimulatedCamera.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>
#include <algorithm>
#include <fitsio.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {
struct FitsContent {
    int bitpix = 0;
    long width = 0, height = 0;
    QMap<QString, QString> keys;   // values as cfitsio gives them (strings unquoted)
    std::vector<unsigned short> pixels;
};

FitsContent readFits(const QString& path)
{
    FitsContent c;
    fitsfile* f = nullptr;
    int status = 0;
    if (fits_open_diskfile(&f, QFile::encodeName(path).constData(), READONLY, &status))
        return c;
    int naxis = 0;
    long axes[2] = {0, 0};
    fits_get_img_param(f, 2, &c.bitpix, &naxis, axes, &status);
    c.width = axes[0];
    c.height = axes[1];
    for (const char* name : {"EXPTIME", "FILTER", "XBINNING", "YBINNING", "DATE-OBS", "IMAGETYP", "INSTRUME",
                             "OBJECT", "BZERO"}) {
        char value[FLEN_VALUE] = {};
        int s = 0;
        if (fits_read_key(f, TSTRING, name, value, nullptr, &s) == 0)
            c.keys[name] = QString::fromLatin1(value);
    }
    c.pixels.resize(size_t(c.width * c.height));
    int anynul = 0;
    fits_read_img(f, TUSHORT, 1, LONGLONG(c.pixels.size()), nullptr, c.pixels.data(), &anynul, &status);
    fits_close_file(f, &status);
    if (status)
        c.bitpix = -1;
    return c;
}

SimulatorSettings smallSensor()
{
    SimulatorSettings s;
    s.SensorWidth = 300;
    s.SensorHeight = 200;
    s.StarCount = 40;
    return s;
}

// Exposes on a manual clock and lets the exposure run out.
void takeImage(SimulatedCamera& camera, ManualCameraClock& clock, int seconds)
{
    camera.Expose(seconds, -1);
    clock.Advance(seconds + 0.01);
    QVERIFY(camera.ImageReady());
}
}

class SimulatedCameraTest : public QObject {
    Q_OBJECT

private slots:
    void savedFitsMatchesTheExposure_data()
    {
        QTest::addColumn<int>("binX");
        QTest::addColumn<int>("binY");
        QTest::newRow("1x1") << 1 << 1;
        QTest::newRow("2x2") << 2 << 2;
        QTest::newRow("3x3") << 3 << 3;
        QTest::newRow("1x3") << 1 << 3;
    }
    void savedFitsMatchesTheExposure()
    {
        QFETCH(int, binX);
        QFETCH(int, binY);
        auto clock = std::make_shared<ManualCameraClock>();
        SimulatedCamera camera(smallSensor(), clock);
        camera.SetLinkEnabled(true);
        camera.SetFilter(1);
        camera.SetBinX(binX);
        camera.SetBinY(binY);
        camera.SetFullFrame();
        const QDateTime before = QDateTime::currentDateTimeUtc().addSecs(-1);
        takeImage(camera, *clock, 30);
        camera.Document()->SetDisplayName("M42-001Ha.fit");
        QTemporaryDir dir;
        const QString path = dir.filePath("M42-001Ha.fit");

        camera.SaveImage(path);

        const FitsContent c = readFits(path);
        QCOMPARE(c.bitpix, 16);
        QCOMPARE(c.width, long(300 / binX));
        QCOMPARE(c.height, long(200 / binY));
        QCOMPARE(c.keys.value("BZERO").toDouble(), 32768.0);
        QCOMPARE(c.keys.value("EXPTIME").toDouble(), 30.0);
        QCOMPARE(c.keys.value("FILTER"), QStringLiteral("Red"));
        QCOMPARE(c.keys.value("XBINNING").toInt(), binX);
        QCOMPARE(c.keys.value("YBINNING").toInt(), binY);
        QCOMPARE(c.keys.value("OBJECT"), QStringLiteral("M42-001Ha.fit"));
        QCOMPARE(c.keys.value("IMAGETYP"), QStringLiteral("Light Frame"));
        QCOMPARE(c.keys.value("INSTRUME"), QStringLiteral("Tandexa Simulator"));
        QDateTime start = QDateTime::fromString(c.keys.value("DATE-OBS"), Qt::ISODateWithMs);
        QVERIFY2(start.isValid(), qPrintable(c.keys.value("DATE-OBS")));
        start.setTimeSpec(Qt::UTC);
        QVERIFY(start >= before.addSecs(-1) && start <= QDateTime::currentDateTimeUtc().addSecs(1));

        // A sky with noise and stars: the median sits near bias + sky and the
        // brightest pixels stand far above it.
        std::vector<unsigned short> sorted = c.pixels;
        std::sort(sorted.begin(), sorted.end());
        const int median = sorted[sorted.size() / 2];
        const int p10 = sorted[sorted.size() / 10], p90 = sorted[sorted.size() * 9 / 10];
        // Sky: 40 ADU/s per unbinned pixel at most (a red filter passes less).
        const int skyMax = 40 * 30 * binX * binY;
        QVERIFY2(median > 1000 + skyMax / 10 && median < 1000 + skyMax, qPrintable(QString::number(median)));
        QVERIFY2(p90 - p10 > 10, "background has no noise");
        QVERIFY2(sorted.back() > median + 500, "no stars in the frame");
    }

    void framesDifferInNoiseButShowTheSameStars()
    {
        auto clock = std::make_shared<ManualCameraClock>();
        SimulatedCamera camera(smallSensor(), clock);
        camera.SetLinkEnabled(true);
        QTemporaryDir dir;
        takeImage(camera, *clock, 10);
        camera.SaveImage(dir.filePath("a.fit"));
        takeImage(camera, *clock, 10);
        camera.SaveImage(dir.filePath("b.fit"));
        const FitsContent a = readFits(dir.filePath("a.fit")), b = readFits(dir.filePath("b.fit"));
        QCOMPARE(a.pixels.size(), b.pixels.size());
        QVERIFY(a.pixels != b.pixels);
        const auto brightest = [](const FitsContent& c) {
            return std::max_element(c.pixels.begin(), c.pixels.end()) - c.pixels.begin();
        };
        const long pa = brightest(a), pb = brightest(b);
        QVERIFY(std::abs(pa % a.width - pb % b.width) <= 2);
        QVERIFY(std::abs(pa / a.width - pb / b.width) <= 2);
    }

    void exposureTakesItsScaledTimeAndCanBeAborted()
    {
        auto clock = std::make_shared<ManualCameraClock>();
        SimulatorSettings settings = smallSensor();
        settings.TimeScale = 0.5;
        SimulatedCamera camera(settings, clock);
        QVERIFY_THROWS_EXCEPTION(AutomationError, camera.Expose(1, -1)); // not linked
        camera.SetLinkEnabled(true);
        QVERIFY(!camera.ImageReady());
        QVERIFY_THROWS_EXCEPTION(AutomationError, camera.Document());

        camera.Expose(10, -1);
        clock->Advance(4.9);
        QVERIFY(!camera.ImageReady());
        QVERIFY_THROWS_EXCEPTION(AutomationError, camera.Expose(1, -1));
        QVERIFY_THROWS_EXCEPTION(AutomationError, camera.SetBinX(2));
        QVERIFY_THROWS_EXCEPTION(AutomationError, camera.SetFilter(2));
        clock->Advance(0.1);
        QVERIFY(camera.ImageReady());
        const auto first = camera.Document();

        camera.Expose(10, -1);
        QVERIFY(!camera.ImageReady());
        clock->Advance(2);
        camera.AbortExposure();
        QVERIFY(!camera.IsExposing());
        clock->Advance(100);
        QVERIFY(!camera.ImageReady());
        QCOMPARE(camera.Document(), first); // the aborted frame never became a document
        camera.SetBinX(2); // the camera is free again
        camera.Expose(0, -1);
        QVERIFY(camera.ImageReady());
        QVERIFY(camera.Document() != first);
    }

    void refusesWhatTheCameraCannotDo()
    {
        auto clock = std::make_shared<ManualCameraClock>();
        SimulatedCamera camera(smallSensor(), clock);
        camera.SetLinkEnabled(true);
        for (int bad : {0, 4, -1}) {
            QVERIFY_THROWS_EXCEPTION(AutomationError, camera.SetBinX(bad));
            QVERIFY_THROWS_EXCEPTION(AutomationError, camera.SetBinY(bad));
        }
        QCOMPARE(camera.BinX(), 1);
        camera.SetBinY(3);
        QCOMPARE(camera.BinY(), 3);
        QCOMPARE(camera.FilterNames(7), QStringLiteral("Clear"));
        QCOMPARE(camera.FilterNames(8), QStringLiteral("Filter 9"));
        QCOMPARE(camera.FilterNames(9), QStringLiteral("Filter 10"));
        QVERIFY_THROWS_EXCEPTION(AutomationError, camera.FilterNames(-1));
        QVERIFY_THROWS_EXCEPTION(AutomationError, camera.SetFilter(8));
        QVERIFY_THROWS_EXCEPTION(AutomationError, camera.Expose(-5, -1));
        QVERIFY_THROWS_EXCEPTION(AutomationError, camera.Expose(5, 8));
        try {
            camera.SetBinX(4);
        } catch (const AutomationError& e) {
            QVERIFY2(e.message().contains("4"), qPrintable(e.message()));
        }
    }

    void failedSavesSayWhyAndLeaveNothingBehind()
    {
        auto clock = std::make_shared<ManualCameraClock>();
        SimulatedCamera camera(smallSensor(), clock);
        camera.SetLinkEnabled(true);
        takeImage(camera, *clock, 1);
        QTemporaryDir dir;
        QFile plain(dir.filePath("notes.txt"));
        QVERIFY(plain.open(QIODevice::WriteOnly));
        plain.write("x");
        plain.close();
        QDir().mkdir(dir.filePath("taken.fit"));

        const QList<QPair<QString, QString>> cases {
            {dir.filePath("missing/a.fit"), "does not exist"},
            {dir.filePath("notes.txt/a.fit"), "is not a folder"},
            {dir.filePath("taken.fit"), "folder of that name"},
            {QString(), "no file name"},
        };
        for (const auto& [path, reason] : cases) {
            try {
                camera.SaveImage(path);
                QFAIL(qPrintable("saved into " + path));
            } catch (const AutomationError& e) {
                QVERIFY2(e.message().contains(reason), qPrintable(e.message()));
                QVERIFY2(e.message().startsWith("Unable to save image"), qPrintable(e.message()));
            }
        }
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList {"notes.txt"});
    }

    void saveIntoReadOnlyFolderFails()
    {
        if (geteuid() == 0)
            QSKIP("running as root: permission bits do not stop root writing "
                  "(the unwritable-path cases are covered by failedSavesSayWhyAndLeaveNothingBehind)");
        auto clock = std::make_shared<ManualCameraClock>();
        SimulatedCamera camera(smallSensor(), clock);
        camera.SetLinkEnabled(true);
        takeImage(camera, *clock, 1);
        QTemporaryDir dir;
        const QString locked = dir.filePath("locked");
        QDir().mkdir(locked);
        QFile::setPermissions(locked, QFile::ReadOwner | QFile::ExeOwner);
        QVERIFY_THROWS_EXCEPTION(AutomationError, camera.SaveImage(locked + "/a.fit"));
        QFile::setPermissions(locked, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        QVERIFY(QDir(locked).isEmpty(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot));
    }

    void saveReplacesAnOldFileWhole()
    {
        auto clock = std::make_shared<ManualCameraClock>();
        SimulatedCamera camera(smallSensor(), clock);
        camera.SetLinkEnabled(true);
        takeImage(camera, *clock, 1);
        QTemporaryDir dir;
        // A name cfitsio would read as an extension selector, and one that
        // already holds another file.
        const QString path = dir.filePath("M31[1]!.fit");
        QFile old(path);
        QVERIFY(old.open(QIODevice::WriteOnly));
        old.write(QByteArray(100000, 'x'));
        old.close();

        camera.SaveImage(path);

        const FitsContent c = readFits(path);
        QCOMPARE(c.bitpix, 16);
        QCOMPARE(c.width, 300L);
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList {"M31[1]!.fit"});
    }

    void savesKeepWhatIsThere_data()
    {
        QTest::addColumn<QString>("situation");
        QTest::addColumn<QString>("error");   // start of the error; empty: saved
        QTest::addColumn<bool>("worker");     // through StartSaveImage, as the runs save
        QTest::newRow("replace keeps another user's 0640 file 0640 and theirs") << "owned" << "" << false;
        QTest::newRow("create-new refuses a file that is there") << "create-new" << "exists Unable to save image %1: a file of that name appeared" << false;
        QTest::newRow("a full disk says so") << "full" << "Unable to save image %1: no space left on the device" << false;
        QTest::newRow("on the worker: replace keeps mode and owner") << "owned" << "" << true;
        QTest::newRow("on the worker: create-new still says the file exists") << "create-new" << "exists Unable to save image %1: a file of that name appeared" << true;
    }

    void savesKeepWhatIsThere()
    {
        QFETCH(QString, situation);
        QFETCH(QString, error);
        QFETCH(bool, worker);
        auto clock = std::make_shared<ManualCameraClock>();
        SimulatedCamera camera(smallSensor(), clock);
        camera.SetLinkEnabled(true);
        takeImage(camera, *clock, 1);
        QTemporaryDir dir;
        const QString folder = dir.filePath("images"), path = folder + "/Img-001R.fit";
        QDir().mkdir(folder);
        if (situation == "full" && QProcess::execute("mount", {"-t", "tmpfs", "-o", "size=64k", "tmpfs", folder}) != 0)
            QSKIP("a small file system to fill needs mount(8) and root");
        QFile old(path);
        QVERIFY(old.open(QIODevice::WriteOnly) && old.write("old") == 3);
        old.close();
        const QByteArray name = QFile::encodeName(path);
        ::chmod(name.constData(), 0640);
        const bool chowned = situation == "owned" && ::chown(name.constData(), 4321, 4321) == 0;
        QString got;
        try {
            const SaveMode mode = situation == "create-new" ? SaveMode::CreateNew : SaveMode::Replace;
            if (worker) {
                const std::shared_ptr<ImageSave> save = camera.StartSaveImage(path, mode);
                QTRY_VERIFY_WITH_TIMEOUT(save->IsFinished(), 10000);
                save->Result();
            } else {
                camera.SaveImage(path, mode);
            }
        } catch (const FileExistsError& e) {
            got = "exists " + e.message();
        } catch (const AutomationError& e) {
            got = e.message();
        }
        struct stat st {};
        ::stat(name.constData(), &st);
        QFile back(path);
        back.open(QIODevice::ReadOnly);
        const QByteArray head = back.read(9);
        if (situation == "full")
            QProcess::execute("umount", {folder});
        QCOMPARE(got, error.isEmpty() ? QString() : error.arg(path));
        QCOMPARE(head, error.isEmpty() ? QByteArray("SIMPLE  =") : QByteArray("old"));
        QCOMPARE(int(st.st_mode & 07777), 0640);
        QVERIFY(!chowned || (st.st_uid == 4321 && st.st_gid == 4321));
    }

    void guiderErrorJumpsByTheMoveAndSettles()
    {
        auto clock = std::make_shared<ManualCameraClock>();
        SimulatorSettings settings = smallSensor();
        settings.GuiderSettle = 3.0;
        settings.GuiderNoise = 0.02;
        SimulatedCamera camera(settings, clock);
        const float x = camera.GuiderXStarPosition(), y = camera.GuiderYStarPosition();
        QVERIFY(std::abs(camera.GuiderXError()) < 0.2f);

        camera.GuiderMoveStar(x + 2.5f, y - 1.5f);

        QVERIFY(std::abs(camera.GuiderXError() - -2.5f) < 0.2f);
        QVERIFY(std::abs(camera.GuiderYError() - 1.5f) < 0.2f);
        clock->Advance(1.0);
        const float halfway = camera.GuiderXError();
        QVERIFY2(halfway < -0.1f && halfway > -2.0f, qPrintable(QString::number(halfway)));
        clock->Advance(2.0);
        QVERIFY(std::abs(camera.GuiderXError()) < 0.2f);
        QVERIFY(std::abs(camera.GuiderYError()) < 0.2f);
        QVERIFY(std::abs(camera.GuiderXStarPosition() - (x + 2.5f)) < 0.2f);
        QVERIFY(std::abs(camera.GuiderYStarPosition() - (y - 1.5f)) < 0.2f);
    }

    void factoryFollowsTheSettingsFile()
    {
        QTemporaryDir dir;
        const QString ini = dir.filePath("Tandexa.ini");
        {
            // No file: the default simulated camera.
            auto app = CreateMaxImApplication(ini);
            auto camera = app->CCDCamera();
            QCOMPARE(camera->FilterNames(0), QStringLiteral("Luminance"));
        }
        QFile f(ini);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write("[Camera]\r\nDriver=simulator\r\nFilters= L , Ha ,,OIII\r\nSensorWidth=120\r\nTimeScale=0\r\n");
        f.close();
        {
            auto app = CreateMaxImApplication(ini);
            auto camera = app->CCDCamera();
            QCOMPARE(camera->FilterNames(1), QStringLiteral("Ha"));
            QCOMPARE(camera->FilterNames(2), QStringLiteral("OIII"));
            QCOMPARE(camera->FilterNames(3), QStringLiteral("Filter 4"));
            camera->SetLinkEnabled(true);
            camera->Expose(3600, -1); // TimeScale 0: at once
            QVERIFY(camera->ImageReady());
            camera->SaveImage(dir.filePath("x.fit"));
            QCOMPARE(readFits(dir.filePath("x.fit")).width, 120L);
            // A second reference reaches the same camera; a released one refuses.
            auto again = app->CCDCamera();
            QVERIFY(again->ImageReady());
            again->Release();
            QVERIFY_THROWS_EXCEPTION(AutomationError, again->BinX());
            QCOMPARE(camera->BinX(), 1);
        }
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write("[Camera]\r\nDriver=Bogus\r\n");
        f.close();
        try {
            CreateMaxImApplication(ini);
            QFAIL("an unknown driver was accepted");
        } catch (const AutomationError& e) {
            QVERIFY2(e.message().contains("\"Bogus\""), qPrintable(e.message()));
        }
    }
};

QTEST_GUILESS_MAIN(SimulatedCameraTest)
#include "tst_simulatedcamera.moc"
