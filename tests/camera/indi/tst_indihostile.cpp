// The INDI camera against a fake server that misbehaves: damaged images are
// reported and never saved under a frame's name, a BLOB's len is only a
// claim, oversized and unwanted BLOBs are skipped undecoded, Stop ends every
// wait within a poll, a broken stream is named for what was wrong with it,
// and a flood neither grows memory nor holds the event loop.
#include "FakeIndiCamera.h"

#include "camera/BadImageError.h"
#include "camera/ICamera.h"
#include "camera/IDocument.h"
#include "camera/IMaxImApplication.h"
#include "camera/StopRequest.h"
#include "camera/indi/IndiApplication.h"
#include "camera/indi/IndiClient.h"
#include "devices/DeviceFactory.h"

#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>
#include <fitsio.h>

namespace {
struct Linked {
    QTemporaryDir dir;
    std::unique_ptr<IMaxImApplication> app;
    std::unique_ptr<ICamera> camera;
    IndiClient& client() { return dynamic_cast<IndiApplication&>(*app).Client(); }
};

std::unique_ptr<Linked> link(FakeIndiCamera& server)
{
    auto l = std::make_unique<Linked>();
    QFile ini(l->dir.filePath("Tandexa.ini"));
    ini.open(QIODevice::WriteOnly);
    ini.write(server.SettingsText().toUtf8());
    ini.close();
    l->app = CreateMaxImApplication(ini.fileName());
    l->camera = l->app->CCDCamera();
    l->camera->SetLinkEnabled(true);
    return l;
}

// Exposes and polls ImageReady every 20 ms; the failure's text, or "" once
// the image is there.
QString expose(ICamera& camera, int ms = 10000)
{
    try {
        camera.Expose(1, -1);
    } catch (const AutomationError& e) {
        return e.message();
    }
    QElapsedTimer t;
    t.start();
    while (t.elapsed() < ms) {
        try {
            if (camera.ImageReady())
                return QString();
        } catch (const BadImageError& e) {
            return "bad: " + e.message();
        } catch (const AutomationError& e) {
            return e.message();
        }
        QTest::qWait(20);
    }
    return "no image";
}

qint64 residentKb()
{
    QFile status("/proc/self/status");
    status.open(QIODevice::ReadOnly);
    for (const QByteArray& line : status.readAll().split('\n'))
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').first().toLongLong();
    return 0;
}

// While `busy` holds: the largest resident-size growth and the longest gap
// between the ticks of a 1 ms timer (the event loop held).
struct Watch {
    qint64 growthKb = 0, longestGapMs = 0;
};
Watch watchWhile(const std::function<bool()>& busy, int limitMs)
{
    Watch w;
    const qint64 before = residentKb();
    QElapsedTimer total, gap;
    total.start();
    gap.start();
    QTimer tick;
    QObject::connect(&tick, &QTimer::timeout, [&] {
        w.longestGapMs = std::max(w.longestGapMs, gap.restart());
        w.growthKb = std::max(w.growthKb, residentKb() - before);
    });
    tick.start(1);
    while (busy() && total.elapsed() < limitMs)
        QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents);
    return w;
}

QString stopFlagError(const std::function<void()>& request)
{
    try {
        request();
    } catch (const StopRequestedError& e) {
        return "stopped: " + e.message();
    } catch (const AutomationError& e) {
        return e.message();
    }
    return QString();
}
}

class IndiHostileTest : public QObject {
    Q_OBJECT

private slots:
    void damagedImagesAreNeverSaved_data()
    {
        const QByteArray valid = FakeIndiCamera::ValidFits();
        const QByteArray cut = valid.left(valid.size() - 2880);
        QTest::addColumn<QByteArray>("image");
        QTest::addColumn<qint64>("len");
        QTest::addColumn<QString>("error");   // empty: saved, a file cfitsio reads
        QTest::newRow("data shorter than its header says")
            << cut << qint64(-1) << "bad: \"Fake CCD\" sent an image that is not a valid FITS file: its data is 384 bytes short of the 6144 its header declares";
        QTest::newRow("transfer cut short of its len")
            << cut << qint64(valid.size()) << "bad: \"Fake CCD\" sent an image that is not a valid FITS file: its data is 384 bytes short of the 6144 its header declares (8640 of the 11520 bytes announced arrived)";
        QTest::newRow("header without END")
            << (QByteArray("SIMPLE  =                    T").leftJustified(80) + QByteArray("BITPIX  =                   16").leftJustified(80)
                + QByteArray("NAXIS   =                    0").leftJustified(5600)) << qint64(-1) << "bad: \"Fake CCD\" sent an image that is not a valid FITS file: its header has no END card";
        QTest::newRow("not FITS at all") << QByteArray("PK\x03\x04 a zip file") << qint64(-1) << "bad: \"Fake CCD\" sent an image that is not a valid FITS file: it is not a FITS file";
        QTest::newRow("a valid image with len 999999999999 is a valid image") << valid << qint64(999999999999) << "";
    }

    void damagedImagesAreNeverSaved()
    {
        QFETCH(QByteArray, image);
        QFETCH(qint64, len);
        QFETCH(QString, error);
        FakeIndiCamera server;
        auto l = link(server);
        server.Image = image;
        server.LenAttribute = len;
        QCOMPARE(expose(*l->camera), error);
        const QString path = l->dir.filePath("Img-001R.fit");
        if (error.isEmpty()) {
            l->camera->Document()->SetDisplayName("Img-001R.fit");
            l->camera->SaveImage(path, SaveMode::CreateNew);
            fitsfile* f = nullptr;
            int status = 0;
            fits_open_diskfile(&f, QFile::encodeName(path).constData(), READONLY, &status);
            long axes[2] = {0, 0};
            fits_get_img_size(f, 2, axes, &status);
            fits_close_file(f, &status);
            QCOMPARE(status, 0);
            QCOMPARE(axes[0] * axes[1], long(FakeIndiCamera::Width * FakeIndiCamera::Height));
        } else {
            QVERIFY(!QFile::exists(path));
        }
        // The client is whole: the next image comes and is good.
        server.Image = FakeIndiCamera::ValidFits();
        server.LenAttribute = -1;
        QCOMPARE(expose(*l->camera), QString());
    }

    void oversizedAndUnwantedBlobsAreSkipped_data()
    {
        QTest::addColumn<bool>("wanted");   // an exposure waits for it
        QTest::addColumn<qint64>("megabytes");
        QTest::newRow("100 MB for a 64 x 48 sensor") << true << qint64(100);
        QTest::newRow("60 MB nobody waits for") << false << qint64(60);
    }

    void oversizedAndUnwantedBlobsAreSkipped()
    {
        QFETCH(bool, wanted);
        QFETCH(qint64, megabytes);
        FakeIndiCamera server;
        auto l = link(server);
        server.ExposeMs = 60000;   // the flood below comes instead
        if (wanted) {
            l->camera->Expose(1, -1);
            QTest::qWait(200);   // the server's answer first, so that it does not land inside the BLOB
        }
        const QByteArray head = "<setBLOBVector device=\"Fake CCD\" name=\"CCD1\" state=\"Ok\"><oneBLOB name=\"CCD1\" size=\"9\" format=\".fits\" len=\"9\">";
        const QByteArray tail = "</oneBLOB></setBLOBVector>\n";
        const QByteArray line = QByteArray(76 * 1000, 'A');   // base64 of zeros
        const qint64 lines = megabytes * 1024 * 1024 / line.size();
        const qint64 total = head.size() + lines * line.size() + tail.size();
        server.Stream(total, [&](qint64 i) { return i == 0 ? head : i <= lines ? line : tail; });
        QString error;
        const Watch w = watchWhile([&] {
            if (wanted && error.isEmpty()) {
                try {
                    l->camera->ImageReady();
                } catch (const AutomationError& e) {
                    error = e.message();
                }
            }
            return server.Streamed() < total || l->client().cache().find("Fake CCD", "CCD1")->State != IndiState::Ok;
        }, 60000);
        QVERIFY2(server.Streamed() >= total, qPrintable(QString("%1 of %2 sent; %3").arg(server.Streamed()).arg(total).arg(l->client().lostReason())));
        if (wanted)
            QCOMPARE(error, QStringLiteral("\"Fake CCD\" sent a damaged image: it sent more than the 16.0 MB the camera can send"));
        else
            QCOMPARE(l->client().blob("Fake CCD", "CCD1").Serial, quint64(0));
        qInfo("%lld MB: %lld kB more resident at most, longest read pass %lld ms, event loop held %lld ms at most",
              megabytes, w.growthKb, l->client().longestReadPassMs(), w.longestGapMs);
        QVERIFY2(w.growthKb < 48 * 1024, qPrintable(QString::number(w.growthKb) + " kB more resident"));
        QVERIFY2(l->client().longestReadPassMs() < 50, qPrintable(QString::number(l->client().longestReadPassMs())));
        QVERIFY2(l->client().isConnected(), qPrintable(l->client().lostReason()));
        server.ExposeMs = 50;
        QCOMPARE(expose(*l->camera), QString());
    }

    void stopEndsEveryWait_data()
    {
        QTest::addColumn<QString>("silent");   // the request the server never answers
        QTest::addColumn<QString>("error");
        QTest::newRow("filter wheel stuck Busy") << "FILTER_SLOT" << "stopped: Stopped while moving to filter slot 3";
        QTest::newRow("binning unanswered") << "CCD_BINNING" << "stopped: Stopped while setting the binning to 2 x 1";
        QTest::newRow("frame unanswered") << "CCD_FRAME" << "stopped: Stopped while setting the full frame";
        QTest::newRow("abort unanswered: sent, not awaited") << "CCD_ABORT_EXPOSURE" << "";
    }

    void stopEndsEveryWait()
    {
        QFETCH(QString, silent);
        QFETCH(QString, error);
        FakeIndiCamera server;
        auto l = link(server);
        server.Silent.insert(silent);
        bool stop = false;
        StopRequest::Install([&stop] { return stop; });
        QTimer::singleShot(300, [&stop] { stop = true; });
        QElapsedTimer t;
        t.start();
        QString got;
        if (silent == "FILTER_SLOT")
            got = stopFlagError([&] { l->camera->SetFilter(2); });
        else if (silent == "CCD_BINNING")
            got = stopFlagError([&] { l->camera->SetBinX(2); });
        else if (silent == "CCD_FRAME")
            got = stopFlagError([&] { l->camera->SetFullFrame(); });
        else {
            server.ExposeMs = 60000;
            l->camera->Expose(5, -1);
            QTest::qWait(350);
            got = stopFlagError([&] { l->camera->AbortExposure(); });
        }
        const qint64 elapsed = t.elapsed();
        StopRequest::Install({});
        QCOMPARE(got, error);
        // The server's time-outs are 30 s and more: only the stop ends these.
        QVERIFY2(elapsed < 300 + StopRequest::PollMs + 600, qPrintable(QString::number(elapsed)));
    }

    void brokenStreamsSayWhatWasWrong_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("reason");
        QTest::newRow("malformed XML") << QByteArray("<setNumberVector device=\"Fake CCD\" name=\"CCD_FRAME\"><oneNumber name=\"X\">1</oneText>")
                                       << "the server sent malformed XML (Opening and ending tag mismatch.)";
        QTest::newRow("a DTD") << QByteArray("<!DOCTYPE indi [<!ENTITY a \"aaaa\">]>")
                               << "the server sent a document type declaration (DTD), which INDI does not use";
        QTest::newRow("bad base64") << QByteArray("<setBLOBVector device=\"Fake CCD\" name=\"CCD1\"><oneBLOB name=\"CCD1\" format=\".fits\">QU*J</oneBLOB></setBLOBVector>")
                                    << "the server sent a BLOB that is not valid base64";
    }

    void brokenStreamsSayWhatWasWrong()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(QString, reason);
        FakeIndiCamera server;
        auto l = link(server);
        server.ExposeMs = 60000;
        l->camera->Expose(1, -1);   // the BLOB row's payload is wanted
        QTest::qWait(200);
        server.Send(bytes);
        QTRY_VERIFY(!l->client().isConnected());
        QCOMPARE(l->client().lostReason(), reason);
        QCOMPARE(expose(*l->camera), QStringLiteral("Lost the INDI server at 127.0.0.1:%1: %2").arg(server.Port()).arg(reason));
    }

    void floodsAreBounded_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::newRow("80 MB of number updates") << "updates";
        QTest::newRow("properties defined without end") << "definitions";
    }

    void floodsAreBounded()
    {
        QFETCH(QString, kind);
        FakeIndiCamera server;
        auto l = link(server);
        const bool updates = kind == "updates";
        const qint64 total = updates ? 80LL * 1024 * 1024 : 30LL * 1024 * 1024;
        server.Stream(total, [updates](qint64 i) {
            QByteArray batch;
            for (int k = 0; k < 500; ++k, ++i)
                batch += updates ? "<setNumberVector device=\"Fake CCD\" name=\"CCD_FRAME\" state=\"Ok\"><oneNumber name=\"X\">"
                                       + QByteArray::number(i % 7) + "</oneNumber></setNumberVector>\n"
                                 : "<defNumberVector device=\"Fake CCD\" name=\"P" + QByteArray::number(i * 500 + k)
                                       + "\" state=\"Idle\" perm=\"ro\"><defNumber name=\"V\">1</defNumber></defNumberVector>\n";
            return batch;
        });
        const Watch w = watchWhile([&] { return server.Streamed() < total && l->client().isConnected(); }, 90000);
        qInfo("%s: %lld kB more resident at most, longest read pass %lld ms, event loop held %lld ms at most",
              qPrintable(kind), w.growthKb, l->client().longestReadPassMs(), w.longestGapMs);
        QVERIFY2(w.growthKb < 64 * 1024, qPrintable(QString::number(w.growthKb) + " kB more resident"));
        QVERIFY2(l->client().longestReadPassMs() < 50, qPrintable(QString::number(l->client().longestReadPassMs())));
        if (updates) {
            QVERIFY(l->client().isConnected());
            QCOMPARE(expose(*l->camera), QString());
        } else {
            QTRY_VERIFY(!l->client().isConnected());
            QCOMPARE(l->client().lostReason(), QStringLiteral("the server defined more than 20000 properties"));
        }
    }
};

QTEST_GUILESS_MAIN(IndiHostileTest)
#include "tst_indihostile.moc"
