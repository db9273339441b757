// The link's extension on the wire: what a peer that never greets and a peer
// that greets receive, byte for byte, from a main PC with the extension on
// and off; the streams of both directions cut into reads every way; and two
// linked programs that report, hold, reconnect and switch the extension off.
#include "FakeLinkHost.h"
#include "LinkTestSupport.h"
#include "link/PeerLink.h"

#include <QTcpSocket>
#include <QTest>

namespace {
const QByteArray kGreeting = "Tandexa sync 1\n";

// `read` gives the state after the stream arrives in the reads given; it must
// be the same one byte at a time and cut anywhere in two.
void EveryCut(const QByteArray& stream, const QByteArray& expected, const std::function<QByteArray(QList<QByteArrayView>)>& read)
{
    QList<QByteArrayView> bytes;
    for (qsizetype i = 0; i < stream.size(); ++i)
        bytes << QByteArrayView(stream).sliced(i, 1);
    QCOMPARE(read(bytes), expected);
    for (qsizetype cut = 0; cut <= stream.size(); ++cut)
        QCOMPARE(read({QByteArrayView(stream).first(cut), QByteArrayView(stream).sliced(cut)}), expected);
}
}

class SyncWireTest : public QObject {
    Q_OBJECT
private slots:
    void eachPeerGetsItsOwnBytes_data()
    {
        // Two raw peers in order of connection; one of them greets.
        QTest::addColumn<bool>("on");
        QTest::addColumn<int>("greeter");
        QTest::addColumn<QByteArray>("first");
        QTest::addColumn<QByteArray>("second");
        const QByteArray framed = kGreeting + "Expose 5 window=-1 pass=0 item=0 frame=0 dithers=0\nEnd\n";
        QTest::newRow("on: old first peer, new second peer") << true << 1 << QByteArray("Expose 5End") << framed;
        QTest::newRow("on: new first peer, old second peer") << true << 0 << framed << QByteArray();
        QTest::newRow("off: the first peer gets the bare bytes though it greets") << false << 0 << QByteArray("Expose 5End") << QByteArray();
    }
    void eachPeerGetsItsOwnBytes()
    {
        QFETCH(bool, on);
        QFETCH(int, greeter);
        FakeLinkHost host;
        RunState state;
        PeerLink link(host, state);
        link.Hub().SetEnabled(on);
        const int port = FreePort();
        link.OpenListener(port);
        QTcpSocket peers[2];
        for (int i = 0; i < 2; ++i) {
            peers[i].connectToHost(QHostAddress::LocalHost, quint16(port));
            QTRY_COMPARE(link.Server().ConnectionCount(), i + 1);
        }
        peers[greeter].write(kGreeting);
        QTRY_VERIFY(link.Hub().Peers()[greeter]->Greeted);
        QVERIFY(link.SendToPeer("Expose 5") && link.SendToPeer("End"));
        QTest::qWait(100);
        link.CloseAll();   // every byte each peer got, up to the main PC closing the link
        for (QTcpSocket& peer : peers)
            QTRY_COMPARE(peer.state(), QAbstractSocket::UnconnectedState);
        QTEST(peers[0].readAll(), "first");
        QTEST(peers[1].readAll(), "second");
    }

    void secondPcReadsAnyCutOfTheStream_data()
    {
        QTest::addColumn<QByteArray>("stream");
        QTest::addColumn<QByteArray>("expected");
        QTest::newRow("bare command, answer, lines")
            << "Expose 3" + kGreeting + "Expose 7 window=5000 pass=2 item=3 frame=1 dithers=4\nFrame window=4000 pass=2 item=3 frame=2 dithers=4\nHold\n"
            << "seconds=7 received=1 stop=0 extended=1 frame=2 wrote=" + kGreeting + "Held\n";
        QTest::newRow("lines, then back to the bare commands")
            << kGreeting + "Expose 7 window=5000\r\nEnd\n" + QByteArray(300, 'x') + "\nTandexa sync 0\nExpose 9"
            << "seconds=9 received=1 stop=0 extended=0 frame=0 wrote=" + kGreeting;
        QTest::newRow("Abort as a line") << kGreeting + "Expose 2\nAbort\n" << "seconds=2 received=0 stop=1 extended=1 frame=0 wrote=" + kGreeting;
    }
    void secondPcReadsAnyCutOfTheStream()
    {
        QFETCH(QByteArray, stream);
        QFETCH(QByteArray, expected);
        EveryCut(stream, expected, [](const QList<QByteArrayView>& reads) {
            RunState s;
            QByteArray wrote;
            SecondSync sync(s, [&](QByteArrayView b) { wrote += b.toByteArray(); });
            sync.Connected();
            for (QByteArrayView r : reads)
                sync.Feed(r);
            return QString("seconds=%1 received=%2 stop=%3 extended=%4 frame=%5 wrote=").arg(s.ExposeSeconds).arg(s.ExposeReceived)
                       .arg(s.StopRequested).arg(sync.Extended()).arg(sync.MainPlace().Frame).toLatin1() + wrote;
        });
    }

    void mainPcReadsAnyCutOfTheReports()
    {
        const QByteArray stream = kGreeting + "Run started\nFrame started 5 5000\nHeld\nnonsense\n" + QByteArray(300, 'x')
                                  + "\nFrame saved\nFrame started 2\n";
        EveryCut(stream, "extended=1 run=1 open=1 end=3000 held=1 wrote=" + kGreeting, [](const QList<QByteArrayView>& reads) {
            QByteArray wrote;
            SyncHub hub([&](quintptr, QByteArrayView b) { wrote += b.toByteArray(); });
            hub.SetClock([] { return 1000; });
            hub.SetEnabled(true);
            hub.Add(1, "10.0.0.1");
            for (QByteArrayView r : reads)
                hub.Received(1, r);
            const SyncHub::Peer& p = *hub.Peers().front();
            return QString("extended=%1 run=%2 open=%3 end=%4 held=%5 wrote=").arg(p.Extended).arg(p.RunActive).arg(p.FrameOpen)
                       .arg(p.FrameEndMs).arg(p.Held).toLatin1() + wrote;
        });
    }

    void linkedProgramsReportHoldAndReconnect()
    {
        FakeLinkHost mainHost, secondHost;
        RunState mainState, secondState;
        PeerLink main(mainHost, mainState), second(secondHost, secondState);
        main.Hub().SetEnabled(true);
        secondHost.port = FreePort();
        main.OpenListener(secondHost.port);
        const auto peer = [&] { return main.Hub().Peers().empty() ? nullptr : main.Hub().Peers().front(); };
        for (int link = 0; link < 2; ++link) {   // linked, then again after "Disconnect from main"
            second.ConnectIpButtonClick();
            QTRY_VERIFY(second.Second().Extended() && peer() && peer()->Extended);
            QCOMPARE(main.Hub().StatusText(), QString("1 second PC linked"));
            main.Hub().SetPlace({60000, 1, 2, 1, link});
            QVERIFY(main.SendToPeer(QString("Expose %1").arg(5 + link)));
            QTRY_COMPARE(secondState.ExposeSeconds, 5 + link);
            QVERIFY(second.Second().WindowHolds(50000) && !second.Second().WindowHolds(70000));
            QCOMPARE(second.Second().MainPlace().Dithers, link);
            // A frame decided on before "Hold": "Held" comes only after its report.
            second.Second().Committing();
            main.Hub().Hold();
            QTest::qWait(50);
            QVERIFY(!peer()->Held && !peer()->FrameOpen);
            second.Second().ReportFrame(SecondSync::Report::Started, 5);
            QTRY_VERIFY(peer()->Held);
            QVERIFY(peer()->FrameOpen && !second.Second().WindowHolds(0));
            second.DisconnectIpButtonClick();
            QTRY_VERIFY(!peer());
        }
        // Switched off: the peer is told, and the bare commands follow.
        second.ConnectIpButtonClick();
        QTRY_VERIFY(second.Second().Extended());
        main.Hub().SetEnabled(false);
        QTRY_VERIFY(!second.Second().Extended());
        QVERIFY(main.SendToPeer("Expose 8"));
        QTRY_COMPARE(secondState.ExposeSeconds, 8);
    }
};

QTEST_GUILESS_MAIN(SyncWireTest)
#include "tst_syncwire.moc"
