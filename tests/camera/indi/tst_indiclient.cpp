// IndiClient's requests against a scripted server on loopback: how a
// driver's answers become success, refusal, time-out or a lost connection,
// large BLOBs read in slices, and the rule that nothing waits inside the
// socket's read handler.
#include "camera/AutomationError.h"
#include "camera/indi/IndiClient.h"

#include <QTcpServer>
#include <QTcpSocket>
#include <QtTest>

namespace {
const QByteArray kDefinition = R"(<defNumberVector device="D" name="P" state="Idle" perm="rw"><defNumber name="X" min="1" max="4">1</defNumber></defNumberVector>)";

QByteArray set(const char* state, int x) {
    return QByteArray("<setNumberVector device=\"D\" name=\"P\" state=\"") + state + "\"><oneNumber name=\"X\">"
        + QByteArray::number(x) + "</oneNumber></setNumberVector>\n";
}

// Answers getProperties with the definition and every newNumberVector with
// the scripted bytes (sent in steps 20 ms apart); "CLOSE" drops the client.
class ScriptedServer : public QObject {
public:
    QList<QByteArray> answer;
    QByteArray received;

    ScriptedServer()
    {
        server.listen(QHostAddress::LocalHost, 0);
        connect(&server, &QTcpServer::newConnection, this, [this] {
            client = server.nextPendingConnection();
            connect(client, &QTcpSocket::readyRead, this, [this] { onRead(); });
        });
    }
    int port() const { return server.serverPort(); }
    void send(const QByteArray& bytes) { client->write(bytes); }

private:
    void onRead()
    {
        const QByteArray in = client->readAll();
        received += in;
        if (in.contains("getProperties"))
            client->write(kDefinition);
        if (!in.contains("newNumberVector"))
            return;
        int delay = 0;
        for (const QByteArray& step : answer) {
            QTimer::singleShot(delay += 20, client, [c = client, step] {
                if (step == "CLOSE")
                    c->close();
                else
                    c->write(step);
            });
        }
    }

    QTcpServer server;
    QTcpSocket* client = nullptr;
};

bool xIs(const IndiProperty& p, int want) { return p.number("X").value_or(0) == want; }
}

class IndiClientTest : public QObject {
    Q_OBJECT

private slots:
    void verdicts_data()
    {
        QTest::addColumn<QList<QByteArray>>("answer");
        QTest::addColumn<QString>("error");   // empty: accepted
        QTest::newRow("Busy with the old value, then Ok") << QList<QByteArray> {set("Busy", 1), set("Ok", 3)} << "";
        QTest::newRow("stale Alert with the new value, then Ok") << QList<QByteArray> {set("Alert", 3), set("Ok", 3)} << "";
        QTest::newRow("stale Idle with the new value") << QList<QByteArray> {set("Idle", 3)} << "";
        QTest::newRow("refused with the driver's message")
            << QList<QByteArray> {"<message device=\"D\" message=\"[ERROR] 3 is not supported.\"/>", set("Alert", 1)}
            << "\"D\" refused setting X to 3: [ERROR] 3 is not supported.";
        QTest::newRow("Alert kept with the new value") << QList<QByteArray> {set("Alert", 3)} << "\"D\" refused setting X to 3";
        QTest::newRow("no answer") << QList<QByteArray> {} << "No answer from \"D\" within 0.5 s while setting X to 3";
        QTest::newRow("only Busy") << QList<QByteArray> {set("Busy", 1)} << "No answer from \"D\" within 0.5 s while setting X to 3";
        QTest::newRow("server goes away") << QList<QByteArray> {set("Busy", 1), "CLOSE"}
                                          << "Lost the INDI server at 127.0.0.1:%1 while setting X to 3: the server closed the connection";
        QTest::newRow("property withdrawn")
            << QList<QByteArray> {"<delProperty device=\"D\" name=\"P\"/>"} << "\"D\" withdrew its property P while setting X to 3";
    }

    void verdicts()
    {
        QFETCH(QList<QByteArray>, answer);
        QFETCH(QString, error);
        ScriptedServer server;
        server.answer = answer;
        IndiClient client(QStringLiteral("127.0.0.1"), server.port());
        client.connectToServer(2000);
        QVERIFY(client.waitUntil([&] { return client.cache().find("D", "P") != nullptr; }, 2000));
        QString got;
        QElapsedTimer t;
        t.start();
        try {
            client.request(IndiKind::Number, "D", "P", {{"X", "3"}}, [](const IndiProperty& p) { return xIs(p, 3); },
                           500, QStringLiteral("setting X to 3"));
        } catch (const AutomationError& e) {
            got = e.message();
        }
        QCOMPARE(got, QString(error).replace(QStringLiteral("%1"), QString::number(server.port())));
        QVERIFY(t.elapsed() < 2000);
        QVERIFY(server.received.contains(R"(<newNumberVector device="D" name="P"><oneNumber name="X">3</oneNumber></newNumberVector>)"));
    }

    void sendingEscapesText()
    {
        ScriptedServer server;
        IndiClient client(QStringLiteral("127.0.0.1"), server.port());
        client.connectToServer(2000);
        client.sendNew(IndiKind::Text, "A&B", "T", {{"E", "<x> & 'y'"}});
        QTRY_VERIFY(server.received.contains(R"(<newTextVector device="A&amp;B" name="T"><oneText name="E">&lt;x&gt; &amp; 'y'</oneText></newTextVector>)"));
    }

    void largeBlobArrivesWhole()
    {
        ScriptedServer server;
        IndiClient client(QStringLiteral("127.0.0.1"), server.port());
        client.connectToServer(2000);
        QVERIFY(client.waitUntil([&] { return client.cache().find("D", "P") != nullptr; }, 2000));
        server.send(R"(<defBLOBVector device="D" name="CCD1" state="Idle" perm="ro"><defBLOB name="CCD1"/></defBLOBVector>)");
        client.expectBlob("D", "CCD1", 8 * 1024 * 1024);
        QByteArray image(6 * 1024 * 1024 + 7, Qt::Uninitialized);
        for (qsizetype i = 0; i < image.size(); ++i)
            image[i] = char((i * 131) >> 3);
        server.send("<setBLOBVector device=\"D\" name=\"CCD1\" state=\"Ok\"><oneBLOB name=\"CCD1\" size=\"1\" format=\".fits\" len=\""
                    + QByteArray::number(image.size()) + "\">\n" + image.toBase64() + "\n</oneBLOB></setBLOBVector>");
        QVERIFY(client.waitUntil([&] { return client.blob("D", "CCD1").Serial > 0; }, 10000));
        QCOMPARE(client.blob("D", "CCD1").Format, QStringLiteral(".fits"));
        QVERIFY(client.blob("D", "CCD1").Data == image);
    }

    void noWaitingInsideTheReadHandler()
    {
        ScriptedServer server;
        IndiClient client(QStringLiteral("127.0.0.1"), server.port());
        QStringList refusals;
        connect(&client, &IndiClient::changed, this, [&] {
            try {
                client.waitUntil([] { return false; }, 1000);
            } catch (const AutomationError& e) {
                refusals << e.message();
            }
        });
        client.connectToServer(2000);
        QTRY_VERIFY(!refusals.isEmpty());
        QVERIFY(refusals.first().contains("inside the socket's read handler"));
    }

    void connectFailureNamesTheServer()
    {
        QTcpServer probe;
        QVERIFY(probe.listen(QHostAddress::LocalHost, 0));
        const int port = probe.serverPort();
        probe.close();
        IndiClient client(QStringLiteral("127.0.0.1"), port);
        QString got;
        try {
            client.connectToServer(2000);
        } catch (const AutomationError& e) {
            got = e.message();
        }
        QCOMPARE(got, QStringLiteral("Cannot connect to the INDI server at 127.0.0.1:%1 (host 127.0.0.1, port %1): Connection refused").arg(port));
        QVERIFY(!client.isConnected());
    }
};

QTEST_GUILESS_MAIN(IndiClientTest)
#include "tst_indiclient.moc"
