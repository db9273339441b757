// The INDI stream parser, the property cache, the base64 decoder and the
// OBJECT header stamp, without a server: server output recorded from the
// Debian simulators, fed whole, split at every byte and byte by byte.
#include "camera/AutomationError.h"
#include "image/FitsObjectHeader.h"
#include "image/ImageError.h"
#include "camera/indi/IndiBase64Decoder.h"
#include "camera/indi/IndiPropertyCache.h"
#include "camera/indi/IndiSettings.h"
#include "camera/indi/IndiStreamParser.h"
#include "platform/IniFile.h"

#include <QTemporaryDir>
#include <QtTest>

namespace {
QString dump(const IndiEvent& e)
{
    static const char* kinds[] = {"def", "set", "del", "message"};
    QString s = QStringLiteral("%1 %2.%3").arg(QLatin1String(kinds[int(e.Kind)]), e.Property.Device, e.Property.Name);
    if (e.HasState)
        s += QLatin1Char(' ') + IndiProperty::stateName(e.Property.State);
    for (const IndiElement& el : e.Property.Elements) {
        s += QStringLiteral(" %1=%2").arg(el.Name, el.Value);
        if (el.Min || el.Max)
            s += QStringLiteral("[%1..%2]").arg(el.Min.value_or(-1)).arg(el.Max.value_or(-1));
    }
    if (!e.Message.isEmpty())
        s += QStringLiteral(" msg=\"%1\"").arg(e.Message);
    if (!e.BlobFormat.isEmpty() || !e.Blob.isEmpty())
        s += QStringLiteral(" blob%1=%2").arg(e.BlobFormat, QString::fromLatin1(e.Blob.toHex()));
    return s;
}

struct Run {
    QStringList events;
    bool ok = true;
    QString error;
};

// Feeds `pieces` in order and collects what the parser reports.
Run parse(const QList<QByteArray>& pieces)
{
    Run r;
    IndiStreamParser parser([&](IndiEvent&& e) { r.events << dump(e); });
    for (const QByteArray& p : pieces)
        r.ok = parser.feed(p) && r.ok;
    r.error = parser.errorString();
    return r;
}

const QByteArray kBlobBytes = QByteArrayLiteral("SIMPLE  =                    T\x00\x01\xfe\xff");
}

class IndiProtocolTest : public QObject {
    Q_OBJECT

private slots:
    void recordedMessagesSplitAnywhere_data()
    {
        QTest::addColumn<QByteArray>("stream");
        QTest::addColumn<QStringList>("expected");

        QTest::newRow("definition with padded values")
            << QByteArray(R"(<defSwitchVector device="CCD Simulator" name="CONNECTION" label="Connection" group="Main Control" state="Idle" perm="rw" rule="OneOfMany" timeout="60" timestamp="2026-12-08T01:05:12">
    <defSwitch name="CONNECT" label="Connect">
Off
    </defSwitch>
    <defSwitch name="DISCONNECT" label="Disconnect">
On
    </defSwitch>
</defSwitchVector>
)") << QStringList {"def CCD Simulator.CONNECTION Idle CONNECT=Off DISCONNECT=On"};

        QTest::newRow("number definition with limits")
            << QByteArray(R"(<defNumberVector device="CCD Simulator" name="CCD_BINNING" label="Binning" group="Image Settings" state="Idle" perm="rw" timeout="60" timestamp="2026-12-08T01:05:21">
    <defNumber name="HOR_BIN" label="X" format="%2.0f" min="1" max="4" step="1">
1
    </defNumber>
    <defNumber name="VER_BIN" label="Y" format="%2.0f" min="1" max="4" step="1">
1
    </defNumber>
</defNumberVector>
)") << QStringList {"def CCD Simulator.CCD_BINNING Idle HOR_BIN=1[1..4] VER_BIN=1[1..4]"};

        QTest::newRow("refusal: message, then Alert")
            << QByteArray(R"(<message device="CCD Simulator" timestamp="2026-12-08T01:05:36" message="[ERROR] 3x3 binning is not supported."/>
<setNumberVector device="CCD Simulator" name="CCD_BINNING" state="Alert" timeout="60" timestamp="2026-12-08T01:05:36">
    <oneNumber name="HOR_BIN">
1
    </oneNumber>
    <oneNumber name="VER_BIN">
1
    </oneNumber>
</setNumberVector>
)") << QStringList {"message CCD Simulator. msg=\"[ERROR] 3x3 binning is not supported.\"",
                    "set CCD Simulator.CCD_BINNING Alert HOR_BIN=1 VER_BIN=1"};

        QTest::newRow("set carrying new limits")
            << QByteArray(R"(<setNumberVector device="CCD Simulator" name="CCD_FRAME" state="Idle" timeout="60" timestamp="2026-12-08T01:05:21">
    <oneNumber name="X" min="0" max="1279" step="0">
0
    </oneNumber>
    <oneNumber name="WIDTH" min="1" max="1280" step="0">
0
    </oneNumber>
</setNumberVector>
)") << QStringList {"set CCD Simulator.CCD_FRAME Idle X=0[0..1279] WIDTH=0[1..1280]"};

        QTest::newRow("filter move: Busy with the old slot, then Ok, with a message attribute")
            << QByteArray(R"(<setNumberVector device="Filter Simulator" name="FILTER_SLOT" state="Busy" timeout="60" timestamp="2026-12-08T01:05:34" message="[INFO] Setting current filter to slot 3">
    <oneNumber name="FILTER_SLOT_VALUE">
1
    </oneNumber>
</setNumberVector>
<setNumberVector device="Filter Simulator" name="FILTER_SLOT" state="Ok" timeout="60" timestamp="2026-12-08T01:05:35">
    <oneNumber name="FILTER_SLOT_VALUE">
3
    </oneNumber>
</setNumberVector>
)") << QStringList {"set Filter Simulator.FILTER_SLOT Busy FILTER_SLOT_VALUE=1 msg=\"[INFO] Setting current filter to slot 3\"",
                    "set Filter Simulator.FILTER_SLOT Ok FILTER_SLOT_VALUE=3"};

        QTest::newRow("image BLOB")
            << QByteArray("<setBLOBVector device=\"CCD Simulator\" name=\"CCD1\" state=\"Ok\" timeout=\"60\" timestamp=\"2026-12-08T01:05:38\">\n"
                          "    <oneBLOB name=\"CCD1\" size=\"34\" format=\".fits\" len=\"34\">\n")
                   + kBlobBytes.toBase64().insert(20, "\r\n") + QByteArray("\n    </oneBLOB>\n</setBLOBVector>\n")
            << QStringList {"set CCD Simulator.CCD1 Ok CCD1=34 blob.fits=" + QString::fromLatin1(kBlobBytes.toHex())};

        QTest::newRow("empty BLOB, closed in its tag, then a message")
            << QByteArray(R"(<setBLOBVector device="CCD Simulator" name="CCD1" state="Ok"><oneBLOB name="CCD1" size="0" format=".fits" len="0"/></setBLOBVector><message device="CCD Simulator" message="a &amp; b &lt;c&gt;"/>)")
            << QStringList {"set CCD Simulator.CCD1 Ok CCD1=0 blob.fits=", "message CCD Simulator. msg=\"a & b <c>\""};

        QTest::newRow("property and device deleted")
            << QByteArray(R"(<delProperty device="Filter Simulator" name="FILTER_SLOT" timestamp="2026-12-08T01:05:40"/>
<delProperty device="CCD Simulator" timestamp="2026-12-08T01:05:40" message="bye"/>
)") << QStringList {"del Filter Simulator.FILTER_SLOT", "del CCD Simulator. msg=\"bye\""};

        QTest::newRow("a snooped request is not for us")
            << QByteArray(R"(<newNumberVector device="Filter Simulator" name="FILTER_SLOT"><oneNumber name="FILTER_SLOT_VALUE">2</oneNumber></newNumberVector><message device="Filter Simulator" message="after"/>)")
            << QStringList {"message Filter Simulator. msg=\"after\""};
    }

    void recordedMessagesSplitAnywhere()
    {
        QFETCH(QByteArray, stream);
        QFETCH(QStringList, expected);
        const Run whole = parse({stream});
        QVERIFY2(whole.ok, qPrintable(whole.error));
        QCOMPARE(whole.events, expected);
        for (qsizetype at = 1; at < stream.size(); ++at) {
            const Run split = parse({stream.left(at), stream.mid(at)});
            if (!split.ok || split.events != expected)
                QFAIL(qPrintable(QStringLiteral("split at byte %1: %2 / %3").arg(at).arg(split.error, split.events.join(" | "))));
        }
        QList<QByteArray> bytes;
        for (char c : stream)
            bytes << QByteArray(1, c);
        QCOMPARE(parse(bytes).events, expected);
    }

    void badStreamsAreReported_data()
    {
        QTest::addColumn<QByteArray>("stream");
        QTest::addColumn<QString>("error");
        QTest::addColumn<int>("eventsBefore");
        QTest::newRow("mismatched tag") << QByteArray("<message device='a' message='x'/><setTextVector device='a' name='b'><oneText name='c'>1</oneNumber></setTextVector>")
                                        << "malformed XML" << 1;
        QTest::newRow("stray closing tag") << QByteArray("</indi><message device='a'/>") << "stray closing tag" << 0;
        QTest::newRow("bad base64") << QByteArray("<setBLOBVector device='a' name='b'><oneBLOB name='b' format='.fits' len='3'>QU*J</oneBLOB></setBLOBVector>")
                                    << "not valid base64" << 0;
        QTest::newRow("base64 cut short") << QByteArray("<setBLOBVector device='a' name='b'><oneBLOB name='b' format='.fits' len='3'>QUJ</oneBLOB></setBLOBVector>")
                                          << "not valid base64" << 0;
    }

    void badStreamsAreReported()
    {
        QFETCH(QByteArray, stream);
        QFETCH(QString, error);
        QFETCH(int, eventsBefore);
        Run r = parse({stream, QByteArray("<message device='z' message='later'/>")});
        QVERIFY(!r.ok);
        QVERIFY2(r.error.contains(error), qPrintable(r.error));
        QCOMPARE(r.events.size(), eventsBefore);   // nothing after the fault is believed
    }

    void blobPolicyDecidesWhatIsDecoded_data()
    {
        QTest::addColumn<qint64>("limit");      // the policy's answer; -1: not wanted
        QTest::addColumn<bool>("abandon");      // the waiter gives up in the middle
        QTest::addColumn<QString>("outcome");
        QTest::newRow("wanted, within the bound") << qint64(1000) << false << "300 bytes";
        QTest::newRow("past the bound: skipped") << qint64(100) << false << "problem: it sent more than the 0.0 MB the camera can send";
        QTest::newRow("not wanted: skipped undecoded") << qint64(-1) << false << "skipped";
        QTest::newRow("given up halfway: the rest skipped") << qint64(1000) << true << "skipped";
    }

    void blobPolicyDecidesWhatIsDecoded()
    {
        QFETCH(qint64, limit);
        QFETCH(bool, abandon);
        QFETCH(QString, outcome);
        QString got;
        IndiStreamParser parser([&](IndiEvent&& e) {
            got = e.BlobSkipped ? "skipped" : !e.BlobProblem.isEmpty() ? "problem: " + e.BlobProblem
                                                                       : QString::number(e.Blob.size()) + " bytes";
        });
        parser.setBlobPolicy([limit](const QString& device, const QString& name) {
            return device == "a" && name == "b" ? limit : -1;
        });
        const QByteArray payload = QByteArray(300, '\x11').toBase64();
        QVERIFY(parser.feed("<setBLOBVector device='a' name='b'><oneBLOB name='b' format='.fits' len='999999999999'>" + payload.left(200)));
        if (abandon) {
            parser.abandonBlob("a", "b");
            QCOMPARE(parser.pendingBlobBytes(), qsizetype(0));
        }
        QVERIFY(parser.feed(payload.mid(200) + "</oneBLOB></setBLOBVector>"));
        QCOMPARE(got, outcome);
    }

    void cacheFollowsTheServer()
    {
        IndiPropertyCache cache;
        IndiStreamParser parser([&](IndiEvent&& e) { cache.apply(e); });
        QVERIFY(parser.feed(R"(<defNumberVector device="W" name="FILTER_SLOT" state="Idle" perm="rw"><defNumber name="FILTER_SLOT_VALUE" min="1" max="5">1</defNumber></defNumberVector>)"));
        // A second definition replaces the first.
        QVERIFY(parser.feed(R"(<defNumberVector device="W" name="FILTER_SLOT" state="Ok" perm="rw"><defNumber name="FILTER_SLOT_VALUE" min="1" max="8">2</defNumber></defNumberVector>)"));
        const IndiProperty* slot = cache.find("W", "FILTER_SLOT");
        QVERIFY(slot);
        QCOMPARE(slot->Elements.size(), 1);
        QCOMPARE(slot->element("FILTER_SLOT_VALUE")->Max.value_or(0), 8.0);
        QCOMPARE(slot->State, IndiState::Ok);

        const quint64 before = cache.serial();
        cache.markBusy("W", "FILTER_SLOT");
        QCOMPARE(cache.find("W", "FILTER_SLOT")->State, IndiState::Busy);
        // A set without a state keeps the state; one for an unknown element or property changes nothing else.
        QVERIFY(parser.feed(R"(<setNumberVector device="W" name="FILTER_SLOT"><oneNumber name="FILTER_SLOT_VALUE">4</oneNumber><oneNumber name="NOPE">9</oneNumber></setNumberVector>)"));
        QVERIFY(parser.feed(R"(<setNumberVector device="W" name="UNKNOWN" state="Ok"><oneNumber name="A">1</oneNumber></setNumberVector>)"));
        QCOMPARE(cache.find("W", "FILTER_SLOT")->State, IndiState::Busy);
        QCOMPARE(cache.find("W", "FILTER_SLOT")->number("FILTER_SLOT_VALUE").value_or(0), 4.0);
        QVERIFY(!cache.find("W", "FILTER_SLOT")->element("NOPE"));
        QVERIFY(!cache.find("W", "UNKNOWN"));

        QCOMPARE(cache.messageSince("W", before), QString());
        QVERIFY(parser.feed(R"(<message device="W" message="[ERROR] stuck"/>)"));
        QCOMPARE(cache.messageSince("W", before), QStringLiteral("[ERROR] stuck"));
        QCOMPARE(cache.messageSince("W", cache.serial()), QString());
        QCOMPARE(cache.messageSince("Other", before), QString());

        QVERIFY(parser.feed(R"(<defTextVector device="V" name="T"><defText name="a">x</defText></defTextVector>)"));
        QCOMPARE(cache.devices(), (QStringList {"V", "W"}));
        QVERIFY(parser.feed(R"(<delProperty device="W"/>)"));
        QVERIFY(!cache.hasDevice("W"));
        QVERIFY(cache.hasDevice("V"));
    }

    void base64DecodesInAnyPieces_data()
    {
        QTest::addColumn<QByteArray>("data");
        QTest::addColumn<int>("lineLength");   // 0: one line
        QTest::newRow("empty") << QByteArray() << 0;
        QTest::newRow("one byte, padded twice") << QByteArray("\xff", 1) << 0;
        QTest::newRow("two bytes, padded once") << QByteArray("\x00\x80", 2) << 0;
        QTest::newRow("three bytes") << QByteArray("abc") << 0;
        QTest::newRow("lines of 76") << QByteArray(300, '\x5a') << 76;
        QTest::newRow("lines of 3: breaks inside groups") << QByteArray("every byte value follows") << 3;
        QByteArray all;
        for (int i = 0; i < 3 * 256; ++i)
            all.append(char(i * 7));
        QTest::newRow("every byte value, one long line") << all << 0;
        QTest::newRow("every byte value, lines of 33") << all << 33;
    }

    void base64DecodesInAnyPieces()
    {
        QFETCH(QByteArray, data);
        QFETCH(int, lineLength);
        QByteArray text = data.toBase64();
        if (lineLength > 0)
            for (qsizetype at = lineLength; at < text.size(); at += lineLength + 1)
                text.insert(at, '\n');
        text = " \t" + text + "\r\n  ";
        for (qsizetype at = 0; at <= text.size(); ++at) {
            IndiBase64Decoder d;
            d.append(QByteArrayView(text).first(at));
            d.append(QByteArrayView(text).sliced(at));
            QVERIFY(d.finish());
            QCOMPARE(d.takeResult(), data);
        }
        if (data.size() % 3 != 0) {
            IndiBase64Decoder bad;
            bad.append(text + "QQ==");   // data after the padding
            QVERIFY(!bad.finish());
        }
        IndiBase64Decoder stray;
        stray.append(text + "*");
        QVERIFY(!stray.finish());
    }

    void base64RefusesAStrayByteAnywhere()
    {
        // Long runs go 32 characters at a time where the processor allows: a
        // stray byte anywhere in a block still spoils the input, a blank there
        // is still skipped.
        const QByteArray text = QByteArray(96, '\x5b').toBase64();
        const QByteArray alphabet = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
        for (int c = 0; c < 256; ++c) {
            const bool blank = QByteArrayView(" \t\r\n").contains(char(c));
            for (qsizetype at = 0; at < text.size() && !alphabet.contains(char(c)); ++at) {
                IndiBase64Decoder d;
                d.append(blank ? QByteArray(text).insert(at, char(c)) : QByteArray(text).replace(at, 1, QByteArray(1, char(c))));
                // '=' in the last place is padding: a shorter result, still valid.
                QVERIFY2(d.finish() == (blank || (c == '=' && at == text.size() - 1)), qPrintable(QString("%1 at %2").arg(c).arg(at)));
            }
        }
    }

    void objectCardIsStamped_data()
    {
        QTest::addColumn<int>("cardsBefore");   // cards before END, OBJECT not among them unless hasObject
        QTest::addColumn<bool>("hasObject");
        QTest::addColumn<QString>("name");
        QTest::addColumn<QByteArray>("card");
        QTest::addColumn<int>("headerBlocks");
        QTest::newRow("replaces the driver's OBJECT")
            << 10 << true << "Img-001-R" << QByteArray("OBJECT  = 'Img-001-R'          / image title") << 1;
        QTest::newRow("added before END")
            << 10 << false << "M31" << QByteArray("OBJECT  = 'M31     '           / image title") << 1;
        QTest::newRow("a full block grows by one")
            << 35 << false << "M31" << QByteArray("OBJECT  = 'M31     '           / image title") << 2;
        QTest::newRow("quotes doubled, non-ASCII replaced")
            << 3 << false << QString::fromUtf8("O'Neil é") << QByteArray("OBJECT  = 'O''Neil ?'          / image title") << 1;
        QTest::newRow("long name cut to one card")
            << 3 << false << QString(100, 'x') << QByteArray("OBJECT  = '" + QByteArray(68, 'x') + "'") << 1;
    }

    void objectCardIsStamped()
    {
        QFETCH(int, cardsBefore);
        QFETCH(bool, hasObject);
        QFETCH(QString, name);
        QFETCH(QByteArray, card);
        QFETCH(int, headerBlocks);
        QByteArray header = QByteArray("SIMPLE  =                    T").leftJustified(80);
        for (int i = 1; i < cardsBefore; ++i)
            header += (i == 2 && hasObject ? QByteArray("OBJECT  = 'Unknown '") : "KEY" + QByteArray::number(i) + "    =                    " + QByteArray::number(i)).leftJustified(80);
        header += QByteArray("END").leftJustified(80);
        header = header.leftJustified(2880, ' ');
        const QByteArray data(5760, '\x07');
        const FitsObjectHeader h = FitsObjectHeader::Make(header + data, name);
        QCOMPARE(h.DataOffset, qsizetype(2880));
        QCOMPARE(h.Header.size(), qsizetype(2880 * headerBlocks));
        QCOMPARE(h.Header.count("OBJECT  ="), 1);
        const qsizetype at = h.Header.indexOf("OBJECT  =");
        QCOMPARE(at % 80, 0);
        QCOMPARE(h.Header.mid(at, 80), card.leftJustified(80));
        if (hasObject)
            QCOMPARE(at, 160);   // replaced in place
        QVERIFY(h.Header.mid(h.Header.indexOf("END     "), 80).trimmed() == "END");
        QCOMPARE(h.Header.left(80), header.left(80));
    }

    void notFitsIsRefused_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::newRow("not FITS") << QByteArray("PK\x03\x04 zip");
        QTest::newRow("no END") << QByteArray("SIMPLE  =                    T").leftJustified(2880);
        QTest::newRow("header cut short") << (QByteArray("SIMPLE  =                    T").leftJustified(80) + QByteArray("END").leftJustified(80));
    }

    void notFitsIsRefused()
    {
        QFETCH(QByteArray, bytes);
        QVERIFY_THROWS_EXCEPTION(ImageError, FitsObjectHeader::Make(bytes, "x"));
    }

    void settingsFromIni_data()
    {
        QTest::addColumn<QString>("ini");
        QTest::addColumn<QString>("summary");
        QTest::newRow("defaults") << "" << "localhost:7624 CCD Simulator / Filter Simulator 5 10 60 60";
        QTest::newRow("everything set")
            << "IndiHost=obs.local\nIndiPort=7625\nIndiCamera=ZWO CCD\nIndiWheel=ZWO EFW\nIndiConnectTimeout=2\nIndiReplyTimeout=3.5\nIndiFilterTimeout=90\nIndiImageTimeout=120"
            << "obs.local:7625 ZWO CCD / ZWO EFW 2 3.5 90 120";
        QTest::newRow("empty wheel: the camera's own")
            << "IndiWheel=" << "localhost:7624 CCD Simulator / CCD Simulator 5 10 60 60";
        QTest::newRow("unusable values keep the defaults")
            << "IndiHost=\nIndiPort=70000\nIndiCamera= \nIndiReplyTimeout=0\nIndiImageTimeout=x"
            << "localhost:7624 CCD Simulator / Filter Simulator 5 10 60 60";
    }

    void settingsFromIni()
    {
        QFETCH(QString, ini);
        QFETCH(QString, summary);
        QTemporaryDir dir;
        QFile f(dir.filePath("Tandexa.ini"));
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(("[Camera]\n" + ini + "\n").toUtf8());
        f.close();
        const IndiSettings s = IndiSettings::FromIni(IniFile(f.fileName()));
        QCOMPARE(QStringLiteral("%1:%2 %3 / %4 %5 %6 %7 %8")
                     .arg(s.Host)
                     .arg(s.Port)
                     .arg(s.Camera, s.WheelDevice())
                     .arg(s.ConnectTimeout)
                     .arg(s.ReplyTimeout)
                     .arg(s.FilterTimeout)
                     .arg(s.ImageTimeout),
                 summary);
    }
};

QTEST_GUILESS_MAIN(IndiProtocolTest)
#include "tst_indiprotocol.moc"
