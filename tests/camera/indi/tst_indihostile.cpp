// The INDI camera against a fake server that misbehaves: damaged images are
// reported and never saved under a frame's name, a BLOB's len is only a
// claim, oversized and unwanted BLOBs are skipped undecoded, Stop ends every
// wait within a poll, a broken stream is named for what was wrong with it,
// and floods neither grow memory nor hold the read handler.
#include "FakeIndiCamera.h"
#include "StallBound.h"

#include "camera/BadImageError.h"
#include "camera/ICamera.h"
#include "camera/IDocument.h"
#include "camera/StopRequest.h"
#include "camera/indi/IndiApplication.h"
#include "camera/indi/IndiClient.h"
#include "devices/DeviceFactory.h"

#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

namespace {
struct Linked {
    FakeIndiCamera server;
    QTemporaryDir dir;
    std::unique_ptr<IMaxImApplication> app;
    std::unique_ptr<ICamera> camera;
    IndiClient& client() { return dynamic_cast<IndiApplication&>(*app).Client(); }

    Linked()
    {
        QFile ini(dir.filePath("Tandexa.ini"));
        ini.open(QIODevice::WriteOnly);
        ini.write(server.SettingsText().toUtf8());
        ini.close();
        app = CreateMaxImApplication(ini.fileName());
        camera = app->CCDCamera();
        camera->SetLinkEnabled(true);
    }
    // Starts an exposure and gives the server's answer time to come first.
    void startExposure(int imageMs)
    {
        server.ExposeMs = imageMs;
        camera->Expose(1, -1);
        QTest::qWait(200);
    }
};

QString errorOf(const std::function<void()>& f)
{
    try {
        f();
    } catch (const BadImageError& e) {
        return "bad: " + e.message();
    } catch (const StopRequestedError& e) {
        return "stopped: " + e.message();
    } catch (const AutomationError& e) {
        return e.message();
    }
    return QString();
}

// Exposes and polls ImageReady every 20 ms: the failure, or "" once the image is there.
QString expose(ICamera& camera)
{
    QString error = errorOf([&] { camera.Expose(1, -1); });
    for (int i = 0; i < 500 && error.isEmpty(); ++i, QTest::qWait(20))
        if (bool ready = false; (error = errorOf([&] { ready = camera.ImageReady(); })).isEmpty() && ready)
            return QString();
    return error.isEmpty() ? "no image" : error;
}

qint64 residentKb()
{
    QFile status("/proc/self/status");
    status.open(QIODevice::ReadOnly);
    const QByteArray text = status.readAll();
    return text.mid(text.indexOf("VmRSS:") + 6).trimmed().split(' ').first().toLongLong();
}

// Runs the event loop while `busy` holds; the largest growth of the resident memory meanwhile.
qint64 growthWhile(const std::function<bool()>& busy)
{
    const qint64 before = residentKb();
    qint64 growth = 0;
    QElapsedTimer t;
    t.start();
    while (busy() && t.elapsed() < 60000) {
        QTest::qWait(5);
        growth = std::max(growth, residentKb() - before);
    }
    return growth;
}
}

class IndiHostileTest : public QObject {
    Q_OBJECT

private slots:
    void damagedImagesAreNeverSaved_data()
    {
        const QByteArray valid = FakeIndiCamera::ValidFits(), cut = valid.left(valid.size() - 2880);
        const QString invalid = "bad: \"Fake CCD\" sent an image that is not a valid FITS file: ";
        QTest::addColumn<QByteArray>("image");
        QTest::addColumn<qint64>("len");
        QTest::addColumn<QString>("error");   // empty: saved, a file that reads back whole
        QTest::newRow("data shorter than its header says") << cut << qint64(-1) << invalid + "its data is 384 bytes short of the 6144 its header declares";
        QTest::newRow("transfer cut short of its len") << cut << qint64(valid.size())
            << invalid + "its data is 384 bytes short of the 6144 its header declares (8640 of the 11520 bytes announced arrived)";
        QTest::newRow("not FITS at all") << QByteArray("PK\x03\x04 a zip file") << qint64(-1) << invalid + "it is not a FITS file";
        QTest::newRow("a valid image with len 999999999999") << valid << qint64(999999999999) << "";
    }

    void damagedImagesAreNeverSaved()
    {
        QFETCH(QByteArray, image);
        QFETCH(qint64, len);
        QFETCH(QString, error);
        Linked l;
        l.server.Image = image;
        l.server.LenAttribute = len;
        QCOMPARE(expose(*l.camera), error);
        const QString path = l.dir.filePath("Img-001R.fit");
        if (error.isEmpty())
            l.camera->SaveImage(path, SaveMode::CreateNew);
        QCOMPARE(QFile(path).size(), error.isEmpty() ? qint64(image.size()) : 0);
        // The client is whole: the next image comes and is good.
        l.server.Image = FakeIndiCamera::ValidFits();
        l.server.LenAttribute = -1;
        QCOMPARE(expose(*l.camera), QString());
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
        Linked l;
        if (wanted)
            l.startExposure(60000);   // the flood below comes instead of the image
        const QByteArray head = "<setBLOBVector device=\"Fake CCD\" name=\"CCD1\" state=\"Ok\"><oneBLOB name=\"CCD1\" format=\".fits\" len=\"9\">";
        const QByteArray line(76000, 'A'), tail = "</oneBLOB></setBLOBVector>\n";
        const qint64 lines = megabytes * 1024 * 1024 / line.size();
        const qint64 total = head.size() + lines * line.size() + tail.size();
        l.server.Stream(total, [&](qint64 i) { return i == 0 ? head : i <= lines ? line : tail; });
        QString error;
        const qint64 growth = growthWhile([&] {
            if (wanted && error.isEmpty())
                error = errorOf([&] { l.camera->ImageReady(); });
            return l.client().cache().find("Fake CCD", "CCD1")->State != IndiState::Ok;
        });
        qInfo("%lld MB: %lld kB more resident at most, longest read pass %lld ms", megabytes, growth, l.client().longestReadPassMs());
        QCOMPARE(error, wanted ? QString("bad: \"Fake CCD\" sent a damaged image: it sent more than the 16.0 MB the camera can send") : QString());
        QCOMPARE(l.client().blob("Fake CCD", "CCD1").Serial, quint64(wanted ? 1 : 0));
        QVERIFY2(growth < 48 * 1024 && l.client().longestReadPassMs() < kStallBoundMs, "unbounded");
        l.server.ExposeMs = 50;
        QCOMPARE(expose(*l.camera), QString());
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
        Linked l;
        l.server.Silent.insert(silent);
        if (silent == "CCD_ABORT_EXPOSURE")
            l.startExposure(60000);
        bool stop = false;
        StopRequest::Install([&stop] { return stop; });
        QTimer::singleShot(300, [&stop] { stop = true; });
        QElapsedTimer t;
        t.start();
        const QMap<QString, std::function<void()>> requests {{"FILTER_SLOT", [&] { l.camera->SetFilter(2); }},
                                                             {"CCD_BINNING", [&] { l.camera->SetBinX(2); }},
                                                             {"CCD_FRAME", [&] { l.camera->SetFullFrame(); }},
                                                             {"CCD_ABORT_EXPOSURE", [&] { QTest::qWait(350); l.camera->AbortExposure(); }}};
        const QString got = errorOf(requests.value(silent));
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
        Linked l;
        l.startExposure(60000);   // the BLOB row's payload is wanted
        l.server.Send(bytes);
        QTRY_VERIFY(!l.client().isConnected());
        QCOMPARE(l.client().lostReason(), reason);
        QCOMPARE(expose(*l.camera), QStringLiteral("Lost the INDI server at 127.0.0.1:%1: %2").arg(l.server.Port()).arg(reason));
    }

    void floodsAreBounded_data()
    {
        QTest::addColumn<bool>("updates");   // else: properties defined without end
        QTest::newRow("80 MB of number updates") << true;
        QTest::newRow("properties defined without end") << false;
    }

    void floodsAreBounded()
    {
        QFETCH(bool, updates);
        Linked l;
        const qint64 total = (updates ? 80LL : 30LL) * 1024 * 1024;
        l.server.Stream(total, [updates](qint64 i) {
            QByteArray batch;
            for (int k = 0; k < 500; ++k)
                batch += updates ? "<setNumberVector device=\"Fake CCD\" name=\"CCD_FRAME\" state=\"Ok\"><oneNumber name=\"X\">"
                                       + QByteArray::number(k % 7) + "</oneNumber></setNumberVector>\n"
                                 : "<defNumberVector device=\"Fake CCD\" name=\"P" + QByteArray::number(i * 500 + k)
                                       + "\" state=\"Idle\" perm=\"ro\"><defNumber name=\"V\">1</defNumber></defNumberVector>\n";
            return batch;
        });
        const qint64 growth = growthWhile([&] { return l.server.Streamed() < total && l.client().isConnected(); });
        qInfo("%lld kB more resident at most, longest read pass %lld ms", growth, l.client().longestReadPassMs());
        QVERIFY2(growth < 64 * 1024 && l.client().longestReadPassMs() < kStallBoundMs, "unbounded");
        if (updates)
            QCOMPARE(expose(*l.camera), QString());
        else
            QTRY_COMPARE(l.client().lostReason(), QStringLiteral("the server defined more than 20000 properties"));
    }
};

QTEST_GUILESS_MAIN(IndiHostileTest)
#include "tst_indihostile.moc"
