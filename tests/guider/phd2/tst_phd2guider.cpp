// The PHD2 guider against a PHD2 stand-in on loopback: the stand-in's own
// protocol, the mapping of the guider operations, a dither's guider calls in
// virtual time, PHD2 going away, a lost star, and messages cut and joined.
#include "Phd2StandIn.h"
#include "StallBound.h"
#include "camera/AutomationError.h"
#include "camera/StopRequest.h"
#include "guider/GuidedApplication.h"
#include "camera/ICamera.h"
#include "camera/IMaxImApplication.h"
#include "guider/phd2/JsonLineReader.h"
#include "devices/DeviceFactory.h"
#include "guider/phd2/Phd2Client.h"
#include "guider/phd2/Phd2Guider.h"
#include "link/LinkTestSupport.h"

#include <QElapsedTimer>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QtTest>
#include <cmath>
#include <functional>
#include <random>

namespace {
QString errorOf(const std::function<void()>& action)
{
    try {
        action();
    } catch (const AutomationError& e) {
        return e.message();
    }
    return QString();
}

// A camera from the factory with [Guider] Driver=PHD2 pointing at `port`.
struct Phd2Setup {
    QTemporaryDir dir;
    std::unique_ptr<IMaxImApplication> app;
    std::unique_ptr<ICamera> camera;
    Phd2Client* client = nullptr;

    explicit Phd2Setup(quint16 port, double replyTimeout = 2.0)
    {
        QFile ini(dir.filePath("Tandexa.ini"));
        if (ini.open(QIODevice::WriteOnly))
            ini.write(QStringLiteral("[Camera]\r\nDriver=Simulator\r\nTimeScale=0\r\n[Guider]\r\nDriver=PHD2\r\n"
                                     "Phd2Host=127.0.0.1\r\nPhd2Instance=%1\r\nConnectTimeout=2\r\nReplyTimeout=%2\r\n")
                          .arg(int(port) - 4399)
                          .arg(replyTimeout)
                          .toLatin1());
        ini.close();
        app = CreateMaxImApplication(ini.fileName());
        camera = app->CCDCamera();
        client = &dynamic_cast<Phd2Guider&>(dynamic_cast<GuidedApplication&>(*app).Guider()).Client();
    }
};

// Virtual time shared by the stand-in and the guider calls of a run: a wait
// advances the stand-in's clock and lets its messages reach the client.
struct VirtualTime {
    Phd2StandIn& phd2;
    Phd2Client& client;
    qint64 now = 0;
    std::function<void(qint64)> afterAdvance = {};

    void WaitMs(int ms)
    {
        now += ms;
        phd2.AdvanceTo(now);
        if (afterAdvance)
            afterAdvance(now);
        QCoreApplication::processEvents();
        QVERIFY(QTest::qWaitFor(
            [&] { return !client.IsConnected() || client.MessagesReceived() == phd2.MessagesSent(); }, 5000));
    }
};

struct Dither {
    QPointF start, target;
    QList<QPointF> reads;   // errors read, in order
    qint64 endMs = 0;
};

// The guider calls of one dither as the main run makes them: position X then
// Y, a random offset of whole tenths below N tenths with a random sign, the
// move, nine 500 ms settle waits, then every 100 ms the X and Y error until
// both are within the threshold.
Dither dither(ICamera& camera, VirtualTime& time, int n, float threshold, std::mt19937& random)
{
    Dither d;
    const float x = camera.GuiderXStarPosition();
    const float y = camera.GuiderYStarPosition();
    const unsigned r1 = random(), r2 = random(), r3 = random(), r4 = random();
    float dx = float(r1 % unsigned(n)) * 0.1f, dy = float(r3 % unsigned(n)) * 0.1f;
    if (r2 % 2 == 0)
        dx = -dx;
    if (r4 % 2 == 0)
        dy = -dy;
    d.start = {x, y};
    d.target = {x + dx, y + dy};
    camera.GuiderMoveStar(x + dx, y + dy);
    for (int i = 0; i < 9; ++i)
        time.WaitMs(500);
    float ex, ey;
    do {
        time.WaitMs(100);
        ex = camera.GuiderXError();
        ey = camera.GuiderYError();
        d.reads.append({ex, ey});
        if (d.reads.size() > 3000) {
            QTest::qFail("the guide-error wait never ended", __FILE__, __LINE__);
            break;
        }
    } while (std::fabs(ex) > threshold || std::fabs(ey) > threshold);
    d.endMs = time.now;
    return d;
}

// First read time at or after `ms` on the wait's 100 ms grid from `begin`.
qint64 readAfter(qint64 begin, qint64 ms)
{
    const qint64 first = begin + 100;
    return ms <= first ? first : first + (ms - first + 99) / 100 * 100;
}
}

class Phd2GuiderTest : public QObject {
    Q_OBJECT
private slots:
    void lineReaderCutsAtEveryPoint();
    void standInAnswersAsPhd2_data();
    void standInAnswersAsPhd2();
    void guiderOperationsMapToPhd2_data();
    void guiderOperationsMapToPhd2();
    void failuresNamePhd2_data();
    void failuresNamePhd2();
    void ditherSettlesAtTheThreshold_data();
    void ditherSettlesAtTheThreshold();
    void phd2GoingAwayEndsTheDither_data();
    void phd2GoingAwayEndsTheDither();
    void lostStarKeepsTheWaitGoing_data();
    void lostStarKeepsTheWaitGoing();
    void messagesSplitAndJoined_data();
    void messagesSplitAndJoined();
    void oddInputIsSurvived();
    void requestsFromInsideTheSocketHandlersAreRefused();
    void stopEndsAWaitingRequest();
    void staleGuideStepIsPassedOver();
    void statusFollowsPhd2_data();
    void statusFollowsPhd2();
    void floodIsBounded();
};

void Phd2GuiderTest::lineReaderCutsAtEveryPoint()
{
    const QByteArray stream = "{\"a\":1}\r\n\r\n{\"b\":2}\n{\"c\":\"x\\r\"}\r\n{\"d\"";
    const QList<QByteArray> expected{"{\"a\":1}", "{\"b\":2}", "{\"c\":\"x\\r\"}"};
    for (qsizetype cut = 0; cut <= stream.size(); ++cut) {
        for (qsizetype cut2 = cut; cut2 <= stream.size(); ++cut2) {
            JsonLineReader reader;
            QList<QByteArray> lines = reader.Append(stream.left(cut));
            lines += reader.Append(stream.mid(cut, cut2 - cut));
            lines += reader.Append(stream.mid(cut2));
            QCOMPARE(lines, expected);
            QCOMPARE(reader.Pending(), 4);
        }
    }
    JsonLineReader small(8);
    bool overflow = false;
    QCOMPARE(small.Append("0123456789abc", &overflow), QList<QByteArray>());
    QVERIFY(overflow);
    QCOMPARE(small.Pending(), 0);
    QCOMPARE(small.Append("ok\n", &overflow), QList<QByteArray>{"ok"});
    QVERIFY(!overflow);
}

void Phd2GuiderTest::standInAnswersAsPhd2_data()
{
    QTest::addColumn<QByteArray>("request");
    QTest::addColumn<QByteArray>("reply");   // compact, keys sorted; empty: no reply
    QTest::newRow("state") << QByteArray(R"({"method":"get_app_state","id":7})")
                           << QByteArray(R"({"id":7,"jsonrpc":"2.0","result":"Guiding"})");
    QTest::newRow("lock") << QByteArray(R"({"method":"get_lock_position","id":"a"})")
                          << QByteArray(R"({"id":"a","jsonrpc":"2.0","result":[320,240]})");
    QTest::newRow("set by name") << QByteArray(R"({"method":"set_lock_position","params":{"x":1,"y":2,"exact":true},"id":3})")
                                 << QByteArray(R"({"id":3,"jsonrpc":"2.0","result":0})");
    QTest::newRow("bad params") << QByteArray(R"({"method":"set_lock_position","params":["a",2],"id":4})")
                                << QByteArray(R"({"error":{"code":-32602,"message":"Invalid params"},"id":4,"jsonrpc":"2.0"})");
    QTest::newRow("unknown method") << QByteArray(R"({"method":"warp_drive","id":5})")
                                    << QByteArray(R"({"error":{"code":-32601,"message":"method not found"},"id":5,"jsonrpc":"2.0"})");
    QTest::newRow("not JSON") << QByteArray("{method")
                              << QByteArray(R"({"error":{"code":-32700,"message":"Parse error"},"id":null,"jsonrpc":"2.0"})");
    QTest::newRow("no id") << QByteArray(R"({"method":"get_app_state"})") << QByteArray();
    QTest::newRow("over 1 KB") << R"({"method":"get_app_state","id":8,"pad":")" + QByteArray(1024, 'x') + "\"}"
                               << QByteArray();
}

void Phd2GuiderTest::standInAnswersAsPhd2()
{
    QFETCH(QByteArray, request);
    QFETCH(QByteArray, reply);
    Phd2StandIn phd2;
    QVERIFY(phd2.Listen());
    QTcpSocket socket;
    socket.connectToHost(QHostAddress::LocalHost, phd2.Port());
    QVERIFY(socket.waitForConnected(2000));
    // A marker request after the one under test: its reply proves the first
    // one was answered (or not) before it.
    socket.write(request + "\r\n" + R"({"method":"get_app_state","id":99})" + "\r\n");
    QByteArray received;
    QVERIFY(QTest::qWaitFor([&] { received += socket.readAll(); return received.contains("\"id\":99"); }, 3000));
    QVERIFY(received.endsWith("\r\n") && received.count('\n') == received.count("\r\n"));
    QList<QByteArray> messages;
    for (const QByteArray& line : received.trimmed().split('\n'))
        messages << QJsonDocument::fromJson(line).toJson(QJsonDocument::Compact);
    QVERIFY(messages.takeFirst().contains(R"("Event":"Version","Host":"standin","Inst":1,)"));
    QVERIFY(messages.takeFirst().contains(R"("Event":"AppState","Host":"standin","Inst":1,"State":"Guiding","Timestamp":)"));
    messages.removeIf([](const QByteArray& m) { return m.contains("\"Event\""); });
    QCOMPARE(messages.takeLast(), QByteArray(R"({"id":99,"jsonrpc":"2.0","result":"Guiding"})"));
    QCOMPARE(messages, reply.isEmpty() ? QList<QByteArray>() : QList<QByteArray>{reply});
}

void Phd2GuiderTest::guiderOperationsMapToPhd2_data()
{
    QTest::addColumn<QString>("state");
    QTest::addColumn<bool>("hasLock");
    QTest::addColumn<QString>("error");   // expected end of the message; empty: success
    QTest::newRow("guiding") << "Guiding" << true << "";
    QTest::newRow("stopped") << "Stopped" << true << ": not guiding, so there is no guide star position (PHD2 state: Stopped)";
    QTest::newRow("looping") << "Looping" << true << "(PHD2 state: Looping)";
    QTest::newRow("star lost: the lock position stays") << "LostLock" << true << "";
    QTest::newRow("calibrating") << "Calibrating" << false << "(PHD2 state: Calibrating)";
    QTest::newRow("no lock") << "Guiding" << false << ": no lock position is set (PHD2 state: Guiding)";
}

void Phd2GuiderTest::guiderOperationsMapToPhd2()
{
    QFETCH(QString, state);
    QFETCH(bool, hasLock);
    QFETCH(QString, error);
    Phd2StandIn phd2;
    QVERIFY(phd2.Listen());
    phd2.SetState(state);
    phd2.SetLock(hasLock ? std::optional<QPointF>(QPointF(100.5, 200.25)) : std::nullopt);
    phd2.SetStar({100.5, 200.25});
    Phd2Setup setup(phd2.Port());
    ICamera& camera = *setup.camera;
    VirtualTime time{phd2, *setup.client};
    for (auto read : {&ICamera::GuiderXStarPosition, &ICamera::GuiderYStarPosition}) {
        const QString message = errorOf([&] { (camera.*read)(); });
        QVERIFY2(error.isEmpty() ? message.isEmpty() : message.startsWith("PHD2 at 127.0.0.1:") && message.endsWith(error),
                 qPrintable(message));
    }
    if (!error.isEmpty())
        return;
    QCOMPARE(camera.GuiderXStarPosition(), 100.5f);
    QCOMPARE(camera.GuiderYStarPosition(), 200.25f);
    if (state != "Guiding")
        return;   // no guide frames to read
    time.WaitMs(1000);   // a frame guided on the old lock position
    QCOMPARE(camera.GuiderXError(), 0.0f);
    camera.GuiderMoveStar(101.3f, 199.75f);
    const Phd2StandIn::Request move = phd2.Requests().last();
    QCOMPARE(move.method, QStringLiteral("set_lock_position"));
    QCOMPARE(move.params.toArray().size(), 3);
    QCOMPARE(float(move.params[0].toDouble()), 101.3f);
    QCOMPARE(float(move.params[1].toDouble()), 199.75f);
    QCOMPARE(move.params[2], QJsonValue(true));
    // Before a frame begun after the move is guided there is no error to
    // trust: the first frame reported after it began before it.
    QCOMPARE(camera.GuiderXError(), Phd2Guider::NotSettledError);
    QCOMPARE(camera.GuiderYError(), Phd2Guider::NotSettledError);
    time.WaitMs(1000);
    QCOMPARE(camera.GuiderXError(), Phd2Guider::NotSettledError);
    time.WaitMs(1000);
    QCOMPARE(camera.GuiderXError(), float(phd2.Steps().last().dx));
    QCOMPARE(camera.GuiderYError(), float(phd2.Steps().last().dy));
    QVERIFY(camera.GuiderXError() < -0.1f && camera.GuiderYError() > 0.1f);   // star still short of the new lock
    QCOMPARE(camera.GuiderXStarPosition(), 101.3f);
}

void Phd2GuiderTest::failuresNamePhd2_data()
{
    QTest::addColumn<QString>("failure");
    QTest::addColumn<QString>("expected");   // after "PHD2 at 127.0.0.1:<port>: "
    QTest::newRow("refused") << "refused" << "connection refused";
    QTest::newRow("error reply") << "error reply" << "could not set lock position";
    QTest::newRow("no answer") << "no answer" << "no answer to set_lock_position within 0.3 s";
}

void Phd2GuiderTest::failuresNamePhd2()
{
    QFETCH(QString, failure);
    QFETCH(QString, expected);
    Phd2StandIn phd2;
    const quint16 port = failure == "refused" ? quint16(FreePort()) : (phd2.Listen(), phd2.Port());
    Phd2Setup setup(port, 0.3);
    if (failure == "error reply")
        phd2.FailNext("set_lock_position", 1, "could not set lock position");
    if (failure == "no answer")
        phd2.SetAnswering(false);
    QElapsedTimer clock;
    clock.start();
    const QString message = errorOf([&] { setup.camera->GuiderMoveStar(1.0f, 2.0f); });
    QCOMPARE(message, QStringLiteral("PHD2 at 127.0.0.1:%1: %2").arg(port).arg(expected));
    if (failure == "no answer")
        QVERIFY(clock.elapsed() >= 300);
    QCOMPARE(setup.client->StatusText().contains(expected == "connection refused" ? "refused" : "PHD2: "), true);
}

void Phd2GuiderTest::ditherSettlesAtTheThreshold_data()
{
    QTest::addColumn<int>("n");
    QTest::addColumn<float>("threshold");
    QTest::addColumn<int>("frameMs");
    QTest::addColumn<double>("gain");
    QTest::newRow("1 px, 0.5") << 10 << 0.5f << 2000 << 0.2;
    QTest::newRow("0.15 px: no offset") << 1 << 0.5f << 2000 << 0.2;
    QTest::newRow("2.5 px, 0.1, slow guider") << 25 << 0.1f << 3000 << 0.3;
    QTest::newRow("threshold 0, first frame late") << 10 << 0.0f << 8000 << 1.0;
}

void Phd2GuiderTest::ditherSettlesAtTheThreshold()
{
    QFETCH(int, n);
    QFETCH(float, threshold);
    QFETCH(int, frameMs);
    QFETCH(double, gain);
    Phd2StandIn phd2;
    QVERIFY(phd2.Listen());
    phd2.SetFrameMs(frameMs);
    phd2.SetGain(gain);
    Phd2Setup setup(phd2.Port());
    VirtualTime time{phd2, *setup.client};
    std::mt19937 random(12345);
    QSet<int> offsets;
    for (int i = 0; i < 6; ++i) {
        const qint64 begin = time.now + 4500;
        const int stepsBefore = int(phd2.Steps().size());
        const Dither d = dither(*setup.camera, time, n, threshold, random);
        QVERIFY(!QTest::currentTestFailed());
        QCOMPARE(phd2.LockPositionsReceived().last(), QPointF(d.target.x(), d.target.y()));
        for (double offset : {d.target.x() - d.start.x(), d.target.y() - d.start.y()}) {
            const double tenths = std::round(offset * 10.0);
            QVERIFY(std::fabs(tenths) <= n - 1 && std::fabs(offset * 10.0 - tenths) < 1e-3);
            offsets.insert(int(tenths));
        }
        // The wait ends at the first read after the stand-in's first frame
        // within the threshold, and not before; the first frame after the
        // move began before it and does not count.
        qint64 settledAt = -1;
        for (int s = stepsBefore + 1; s < phd2.Steps().size() && settledAt < 0; ++s) {
            const auto& step = phd2.Steps().at(s);
            if (std::fabs(float(step.dx)) <= threshold && std::fabs(float(step.dy)) <= threshold)
                settledAt = step.timeMs;
        }
        QVERIFY(settledAt >= 0);
        QCOMPARE(d.endMs, readAfter(begin, settledAt));
        for (int r = 0; r + 1 < d.reads.size(); ++r)
            QVERIFY(std::fabs(d.reads[r].x()) > threshold || std::fabs(d.reads[r].y()) > threshold);
    }
    if (n > 1)
        QVERIFY(offsets.size() > 2);
    else
        QCOMPARE(offsets, QSet<int>{0});
}

void Phd2GuiderTest::phd2GoingAwayEndsTheDither_data()
{
    QTest::addColumn<qint64>("dropAt");   // virtual ms into the dither
    QTest::newRow("while settling") << qint64(2000);
    QTest::newRow("while waiting for the error") << qint64(5200);
}

void Phd2GuiderTest::phd2GoingAwayEndsTheDither()
{
    QFETCH(qint64, dropAt);
    Phd2StandIn phd2;
    QVERIFY(phd2.Listen());
    phd2.SetFrameMs(2000);
    phd2.SetGain(0.05);   // never settles within the test
    Phd2Setup setup(phd2.Port());
    VirtualTime time{phd2, *setup.client};
    time.afterAdvance = [&](qint64 now) {
        if (now == dropAt) {
            phd2.DropClients();
            QVERIFY(QTest::qWaitFor([&] { return !setup.client->IsConnected(); }, 3000));
        }
    };
    std::mt19937 random(7);
    const QString where = QStringLiteral("PHD2 at 127.0.0.1:%1: ").arg(phd2.Port());
    QCOMPARE(errorOf([&] { dither(*setup.camera, time, 20, 0.01f, random); }),
             where + "the connection was closed by PHD2");
    QCOMPARE(setup.client->StatusText(), where + "the connection was closed by PHD2");
    // PHD2 back: the next dither connects again and completes.
    time.afterAdvance = nullptr;
    phd2.SetGain(1.0);
    QCOMPARE(errorOf([&] { dither(*setup.camera, time, 20, 0.01f, random); }), QString());
    QCOMPARE(setup.client->StatusText(), QStringLiteral("PHD2: Guiding"));
    phd2.Close();
    QVERIFY(QTest::qWaitFor([&] { return !setup.client->IsConnected(); }, 3000));
    QCOMPARE(errorOf([&] { dither(*setup.camera, time, 20, 0.01f, random); }), where + "connection refused");
}

void Phd2GuiderTest::lostStarKeepsTheWaitGoing_data()
{
    QTest::addColumn<QString>("trouble");
    QTest::newRow("star lost") << "StarLost";
    QTest::newRow("guiding stopped") << "GuidingStopped";
    QTest::newRow("paused") << "Paused";
    QTest::newRow("lock position lost") << "LockPositionLost";
}

void Phd2GuiderTest::lostStarKeepsTheWaitGoing()
{
    QFETCH(QString, trouble);
    Phd2StandIn phd2;
    QVERIFY(phd2.Listen());
    phd2.SetFrameMs(2000);
    phd2.SetGain(0.2);
    Phd2Setup setup(phd2.Port());
    VirtualTime time{phd2, *setup.client};
    ICamera& camera = *setup.camera;
    const QPointF target(320.9, 240.0);
    camera.GuiderMoveStar(float(target.x()), float(target.y()));
    // Errors -0.72, -0.576, then -0.46 at 6000: within 0.5, but the trouble
    // comes with that frame, before the run reads it.
    time.afterAdvance = [&](qint64 now) {
        if (now == 6000) {
            if (trouble == "StarLost") {
                phd2.LoseStar();
                phd2.Frame();
            } else if (trouble == "GuidingStopped") {
                phd2.StopGuiding();
            } else if (trouble == "Paused") {
                phd2.PauseGuiding();
            } else {
                phd2.ClearLock();
            }
        }
        if (now == 9000) {
            phd2.SetState("Guiding");
            phd2.RecoverStar();
            phd2.SetLock(target);
        }
    };
    for (int i = 0; i < 9; ++i)
        time.WaitMs(500);
    QList<float> reads;
    float ex, ey;
    do {
        time.WaitMs(100);
        ex = camera.GuiderXError();
        ey = camera.GuiderYError();
        reads.append(ex);
        QVERIFY(reads.size() < 200);
    } while (std::fabs(ex) > 0.5f || std::fabs(ey) > 0.5f);
    QCOMPARE(time.now, qint64(10000));   // the first frame after recovery
    QCOMPARE(reads.count(Phd2Guider::NotSettledError), 40);   // reads at 6000 .. 9900
    QCOMPARE(reads.first(), float(-0.576));
    QCOMPARE(ex, float(phd2.Steps().last().dx));
}

void Phd2GuiderTest::messagesSplitAndJoined_data()
{
    QTest::addColumn<int>("chunk");   // 0: held and sent in one write
    QTest::newRow("one byte a read") << 1;
    QTest::newRow("seven bytes a read") << 7;
    QTest::newRow("joined in one read") << 0;
}

void Phd2GuiderTest::messagesSplitAndJoined()
{
    QFETCH(int, chunk);
    Phd2StandIn phd2;
    QVERIFY(phd2.Listen());
    phd2.SetChunkBytes(chunk);
    Phd2Setup setup(phd2.Port());
    ICamera& camera = *setup.camera;
    QCOMPARE(camera.GuiderXStarPosition(), 320.0f);
    if (chunk == 0) {
        // Frames on the old lock, the move's reply, frames on the new lock:
        // all in one read, where only the last frames count.
        phd2.HoldOutput(true);
        phd2.Frame();
        QTimer::singleShot(50, &phd2, [&] {
            phd2.Frame();
            phd2.Frame();
            phd2.HoldOutput(false);
        });
    }
    camera.GuiderMoveStar(321.0f, 239.0f);
    if (chunk != 0) {
        phd2.Frame();
        phd2.Frame();
    }
    // The reply comes after the frames in the stream: once it is in, so are they.
    QCOMPARE(camera.GuiderYStarPosition(), 239.0f);
    QCOMPARE(setup.client->MessagesReceived(), phd2.MessagesSent());
    QCOMPARE(camera.GuiderXError(), -0.25f);
    QCOMPARE(camera.GuiderYError(), 0.25f);
}

void Phd2GuiderTest::oddInputIsSurvived()
{
    Phd2StandIn phd2;
    QVERIFY(phd2.Listen());
    Phd2Setup setup(phd2.Port());
    ICamera& camera = *setup.camera;
    QCOMPARE(camera.GuiderXStarPosition(), 320.0f);
    phd2.SendRaw("not json\r\n[1,2]\r\n\r\n{\"Event\":\"GuideStep\",\"dx\":\"0.1\",\"dy\":0}\r\n"
                 "{\"jsonrpc\":\"2.0\",\"id\":12345,\"result\":0}\n{\"Event\":\"GuideStep\",\"dx\":0.125,\"dy\":-2}\n");
    QVERIFY(QTest::qWaitFor([&] { return camera.GuiderXError() == 0.125f; }, 3000));
    QCOMPARE(camera.GuiderYError(), -2.0f);
    // A line that never ends is not waited for: the connection is dropped.
    phd2.SendRaw(QByteArray(2 * 1024 * 1024, 'x'));
    QVERIFY(QTest::qWaitFor([&] { return !setup.client->IsConnected(); }, 5000));
    QVERIFY(errorOf([&] { camera.GuiderXError(); }).endsWith("PHD2 sent a message too long to be one of its own"));
    QCOMPARE(camera.GuiderXStarPosition(), 320.0f);   // connects again
}

void Phd2GuiderTest::requestsFromInsideTheSocketHandlersAreRefused()
{
    Phd2StandIn phd2;
    QVERIFY(phd2.Listen());
    auto client = Phd2Client::Create("127.0.0.1", phd2.Port(), 2000, 2000);
    client->EnsureConnected();
    QStringList refusals;
    const auto watch = connect(client.get(), &Phd2Client::statusChanged, this, [&] {
        refusals << errorOf([&] { client->Call("get_app_state"); });
    });
    QTRY_COMPARE(client->AppState(), QStringLiteral("Guiding"));   // status changed in the read handler
    phd2.StopGuiding();
    QTRY_COMPARE(client->AppState(), QStringLiteral("Stopped"));
    phd2.DropClients();
    QTRY_VERIFY(!client->IsConnected());                            // and in the disconnect handler
    QCOMPARE(refusals.size(), 3);
    for (const QString& refusal : refusals)
        QCOMPARE(refusal, QStringLiteral("PHD2 at 127.0.0.1:%1: a request was made while PHD2's messages were "
                                         "being read").arg(phd2.Port()));
    disconnect(watch);
    QCOMPARE(client->Call("get_app_state").toString(), QStringLiteral("Stopped"));   // connects again
}

void Phd2GuiderTest::stopEndsAWaitingRequest()
{
    Phd2StandIn phd2;
    QVERIFY(phd2.Listen());
    Phd2Setup setup(phd2.Port(), 60.0);
    QCOMPARE(setup.camera->GuiderXStarPosition(), 320.0f);
    phd2.SetAnswering(false);
    bool stop = false;
    StopRequest::Install([&stop] { return stop; });
    QTimer::singleShot(300, [&stop] { stop = true; });
    QElapsedTimer clock;
    clock.start();
    QString message;
    try {
        setup.camera->GuiderMoveStar(321.0f, 240.0f);
    } catch (const StopRequestedError& e) {
        message = e.message();
    }
    QVERIFY2(clock.elapsed() < 300 + StopRequest::PollMs + 300, qPrintable(QString::number(clock.elapsed())));
    StopRequest::Install({});
    QCOMPARE(message, QStringLiteral("Stopped while waiting for PHD2 at 127.0.0.1:%1's answer to set_lock_position").arg(phd2.Port()));
    phd2.SetAnswering(true);
    QCOMPARE(setup.camera->GuiderXStarPosition(), 320.0f);   // the connection serves on
}

void Phd2GuiderTest::staleGuideStepIsPassedOver()
{
    // As PHD2 does it: a frame measured at 2000 ms is reported when its
    // 500 ms pulse ends; a lock position set during the pulse is answered
    // first, and the step that follows says nothing about the new lock.
    Phd2StandIn phd2;
    QVERIFY(phd2.Listen());
    phd2.SetFrameMs(2000);
    phd2.SetPulseMs(500);
    Phd2Setup setup(phd2.Port());
    VirtualTime time{phd2, *setup.client};
    time.WaitMs(2200);
    setup.camera->GuiderMoveStar(325.0f, 240.0f);
    time.WaitMs(300);
    QVERIFY(phd2.Steps().size() == 1 && std::fabs(phd2.Steps().last().dx) < 0.01);   // against the old lock
    QCOMPARE(setup.camera->GuiderXError(), Phd2Guider::NotSettledError);
    time.WaitMs(2000);
    QCOMPARE(setup.camera->GuiderXError(), float(phd2.Steps().last().dx));
    QVERIFY(setup.camera->GuiderXError() < -2.0f);   // the move shows
}

void Phd2GuiderTest::statusFollowsPhd2_data()
{
    QTest::addColumn<QStringList>("steps");
    QTest::addColumn<QString>("status");
    QTest::addColumn<int>("interruptions");
    QTest::newRow("a star selected while looping") << QStringList {"loop", "frame", "select", "frame"} << "PHD2: Selected" << 1;
    QTest::newRow("resumed after a pause") << QStringList {"pause", "resume"} << "PHD2: Guiding" << 1;
    QTest::newRow("star lost, twice in a row") << QStringList {"lose", "frame", "frame"} << "PHD2: LostLock" << 1;
    QTest::newRow("lock position lost while looping") << QStringList {"loop", "select", "clear"} << "PHD2: Looping" << 1;
    QTest::newRow("PHD2 gone while guiding") << QStringList {"frame", "drop"} << "PHD2 at 127.0.0.1:%1: the connection was closed by PHD2" << 1;
}

void Phd2GuiderTest::statusFollowsPhd2()
{
    QFETCH(QStringList, steps);
    QFETCH(QString, status);
    QFETCH(int, interruptions);
    Phd2StandIn phd2;
    QVERIFY(phd2.Listen());
    Phd2Setup setup(phd2.Port());
    QCOMPARE(setup.camera->GuiderXStarPosition(), 320.0f);   // connected, guiding
    const QMap<QString, std::function<void()>> act {
        {"loop", [&] { phd2.StartLooping(); }}, {"frame", [&] { phd2.Frame(); }}, {"select", [&] { phd2.SelectStar(); }},
        {"pause", [&] { phd2.PauseGuiding(); }}, {"resume", [&] { phd2.ResumeGuiding(); }}, {"lose", [&] { phd2.LoseStar(); }},
        {"clear", [&] { phd2.StartLooping(); phd2.ClearLock(); }}, {"drop", [&] { phd2.DropClients(); }}};
    for (const QString& step : steps)
        act.value(step)();
    // Events, then the answers to the state requests some of them make.
    for (int i = 0; i < 2; ++i)
        QTRY_VERIFY(!setup.client->IsConnected() || (QTest::qWait(50), setup.client->MessagesReceived() == phd2.MessagesSent()));
    QCOMPARE(setup.client->StatusText(), status.contains("%1") ? status.arg(phd2.Port()) : status);
    QCOMPARE(setup.camera->GuidingInterruptions(), quint64(interruptions));
}

void Phd2GuiderTest::floodIsBounded()
{
    Phd2StandIn phd2;
    QVERIFY(phd2.Listen());
    Phd2Setup setup(phd2.Port());
    QCOMPARE(setup.camera->GuiderXStarPosition(), 320.0f);
    QElapsedTimer gap, total;
    qint64 longestGap = 0;
    QTimer tick;
    connect(&tick, &QTimer::timeout, [&] { longestGap = std::max(longestGap, gap.restart()); });
    phd2.Flood(60LL * 1024 * 1024);
    gap.start();
    total.start();
    tick.start(1);
    while ((phd2.FloodLeft() > 0 || setup.client->MessagesReceived() < phd2.MessagesSent()) && total.elapsed() < 60000)
        QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents);
    qInfo("60 MB of events in %lld ms, event loop held %lld ms at most", total.elapsed(), longestGap);
    QVERIFY(phd2.FloodLeft() <= 0 && setup.client->IsConnected());
    QVERIFY2(longestGap < kStallBoundMs, qPrintable(QString::number(longestGap)));
    QCOMPARE(setup.camera->GuiderXStarPosition(), 320.0f);   // still answers
}

QTEST_GUILESS_MAIN(Phd2GuiderTest)
#include "tst_phd2guider.moc"
