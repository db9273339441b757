// The command reader and the "Expose" number, without sockets.
#include "link/CommandReader.h"
#include "link/ExposeNumber.h"

#include <QElapsedTimer>
#include <QTest>

class CommandReaderTest : public QObject {
    Q_OBJECT
private slots:
    void exposeNumberConvertsLikeTheWindowsProgram_data();
    void exposeNumberConvertsLikeTheWindowsProgram();
    void singleCommandsSetTheFlags_data();
    void singleCommandsSetTheFlags();
    void exposeNumberIsLimitedTo255Characters();
    void coalescedCommandsAreEachHandled();
    void everySplitOfAStreamGivesTheSameFlags();
    void splitCommandsWaitForTheRest();
    void brokenNumberTakesWhatArrivedFirst();
    void garbageNeverGrowsTheHeldBytes();
    void anySplitGivesTheOneReadCommands_data();
    void anySplitGivesTheOneReadCommands();
    void keywordFloodsTakeLinearTime_data();
    void keywordFloodsTakeLinearTime();
};

namespace {
QString describe(const RunState& s)
{
    return QString("received %1, seconds %2, stop %3").arg(s.ExposeReceived).arg(s.ExposeSeconds).arg(s.StopRequested);
}
bool same(const RunState& a, const RunState& b)
{
    return a.ExposeReceived == b.ExposeReceived && a.ExposeSeconds == b.ExposeSeconds
           && a.StopRequested == b.StopRequested;
}
} // namespace

void CommandReaderTest::anySplitGivesTheOneReadCommands_data()
{
    QTest::addColumn<QByteArray>("stream");
    QTest::addColumn<bool>("received");
    QTest::addColumn<int>("seconds");
    QTest::addColumn<bool>("stop");
    const QByteArray zeros(255, '0');
    // An "Expose" whose number window is full, then a keyword cut anywhere:
    // the keyword must not be taken as part of the number and dropped.
    QTest::newRow("full window, Abort") << "Expose " + zeros + "Abort" << false << 0 << true;
    QTest::newRow("full window, End") << "Expose " + zeros + "End" << false << 0 << false;
    QTest::newRow("window less one, End") << "Expose " + QByteArray(254, '0') + "End" << false << 0 << false;
    QTest::newRow("full hex window, Abort") << "Expose $" + QByteArray(252, '0') + "Abort" << false << 0 << true;
    QTest::newRow("hex window, End") << "Expose $" + QByteArray(253, '0') + "1End" << false << 1 << false;
    QTest::newRow("window past full, Abort") << "Expose 7" + zeros + "AbortExpose 5" << true << 5 << true;
    QTest::newRow("hex digits then End") << QByteArray("Expose $1End") << false << 1 << false;
    QTest::newRow("hex digits then Abort") << QByteArray("Expose $1AbortExpose $Ab") << true << 0xAB << true;
    QTest::newRow("number grows") << QByteArray("Expose 3Expose 40") << true << 40 << false;
    QTest::newRow("overflowing number") << "Expose " + QByteArray(300, '9') + "Abort" << false << 0 << true;
    QTest::newRow("keyword starts in junk") << QByteArray("EnAbExpExpose 12EEAAbort") << false << 0 << true;
}

void CommandReaderTest::anySplitGivesTheOneReadCommands()
{
    QFETCH(QByteArray, stream);
    QFETCH(bool, received);
    QFETCH(int, seconds);
    QFETCH(bool, stop);
    RunState whole;
    CommandReader(whole).Feed(stream);
    QCOMPARE(whole.ExposeReceived, received);
    QCOMPARE(whole.ExposeSeconds, seconds);
    QCOMPARE(whole.StopRequested, stop);

    for (qsizetype first = 0; first <= stream.size(); ++first) {
        RunState state;
        CommandReader reader(state);
        reader.Feed(stream.first(first));
        QVERIFY(reader.HeldBytes() <= CommandReader::MaxHeldBytes);
        reader.Feed(stream.sliced(first));
        QVERIFY2(same(state, whole), qPrintable(QString("cut at %1: %2").arg(first).arg(describe(state))));
    }
    // Every pair of cuts near the end of the number window, and one byte per
    // read.
    const qsizetype from = std::max<qsizetype>(0, stream.size() - 24);
    for (qsizetype first = from; first <= stream.size(); ++first) {
        for (qsizetype second = first; second <= stream.size(); ++second) {
            RunState state;
            CommandReader reader(state);
            reader.Feed(stream.first(first));
            reader.Feed(stream.sliced(first, second - first));
            reader.Feed(stream.sliced(second));
            QVERIFY2(same(state, whole), qPrintable(QString("cut at %1 and %2").arg(first).arg(second)));
        }
    }
    RunState state;
    CommandReader reader(state);
    for (char c : stream)
        reader.Feed(QByteArray(1, c));
    QVERIFY2(same(state, whole), qPrintable("byte by byte: " + describe(state)));
}

void CommandReaderTest::keywordFloodsTakeLinearTime_data()
{
    QTest::addColumn<QByteArray>("unit");
    QTest::newRow("End") << QByteArray("End");
    QTest::newRow("Abort") << QByteArray("Abort");
    QTest::newRow("Expose 1") << QByteArray("Expose 1");
    QTest::newRow("Ab") << QByteArray("Ab");
}

void CommandReaderTest::keywordFloodsTakeLinearTime()
{
    // 4 MiB in reads of 64 KiB (the largest read). A search per piece to the
    // end of the read took over a second for each read; linear work takes a
    // few milliseconds for all of them, even in a sanitizer build.
    QFETCH(QByteArray, unit);
    QByteArray read;
    while (read.size() + unit.size() <= 64 * 1024)
        read += unit;
    RunState state;
    CommandReader reader(state);
    QElapsedTimer timer;
    timer.start();
    for (int i = 0; i < 64; ++i)
        reader.Feed(read);
    const qint64 ms = timer.elapsed();
    QVERIFY2(ms < 2000, qPrintable(QString("%1 ms for 64 reads").arg(ms)));
    QVERIFY(reader.HeldBytes() <= CommandReader::MaxHeldBytes);
    if (unit == "Abort")
        QVERIFY(state.StopRequested);
    if (unit == "Expose 1")
        QVERIFY(state.ExposeReceived);
}

void CommandReaderTest::exposeNumberConvertsLikeTheWindowsProgram_data()
{
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<bool>("ok");
    QTest::addColumn<int>("value");
    QTest::newRow("plain") << QByteArray("30") << true << 30;
    QTest::newRow("negative") << QByteArray("-5") << true << -5;
    QTest::newRow("plus") << QByteArray("+7") << true << 7;
    QTest::newRow("leading blanks") << QByteArray("   42") << true << 42;
    QTest::newRow("leading zeros") << QByteArray("0007") << true << 7;
    QTest::newRow("dollar hex") << QByteArray("$1F") << true << 31;
    QTest::newRow("x hex") << QByteArray("x10") << true << 16;
    QTest::newRow("X hex") << QByteArray("Xff") << true << 255;
    QTest::newRow("0x hex") << QByteArray("0x10") << true << 16;
    QTest::newRow("0X hex") << QByteArray("0XA") << true << 10;
    QTest::newRow("negative hex") << QByteArray("-$10") << true << -16;
    QTest::newRow("32-bit hex wraps") << QByteArray("$FFFFFFFF") << true << -1;
    QTest::newRow("max") << QByteArray("2147483647") << true << 2147483647;
    QTest::newRow("min") << QByteArray("-2147483648") << true << int(-2147483647 - 1);
    QTest::newRow("overflow") << QByteArray("2147483648") << false << 0;
    QTest::newRow("hex overflow") << QByteArray("$100000000") << false << 0;
    QTest::newRow("long overflow") << QByteArray("99999999999999999999999") << false << 0;
    QTest::newRow("empty") << QByteArray() << false << 0;
    QTest::newRow("blanks only") << QByteArray("  ") << false << 0;
    QTest::newRow("sign only") << QByteArray("-") << false << 0;
    QTest::newRow("hex prefix only") << QByteArray("0x") << false << 0;
    QTest::newRow("trailing blank") << QByteArray("30 ") << false << 0;
    QTest::newRow("trailing CR LF") << QByteArray("30\r\n") << false << 0;
    QTest::newRow("two signs") << QByteArray("--3") << false << 0;
    QTest::newRow("blank after sign") << QByteArray("- 3") << false << 0;
    QTest::newRow("decimal point") << QByteArray("1.5") << false << 0;
    QTest::newRow("tab is no blank") << QByteArray("\t3") << false << 0;
    QTest::newRow("hex digit in decimal") << QByteArray("1F") << false << 0;
}

void CommandReaderTest::exposeNumberConvertsLikeTheWindowsProgram()
{
    QFETCH(QByteArray, text);
    QFETCH(bool, ok);
    QFETCH(int, value);
    const std::optional<int> parsed = ParseExposeNumber(text);
    QCOMPARE(parsed.has_value(), ok);
    if (ok)
        QCOMPARE(*parsed, value);
}

void CommandReaderTest::singleCommandsSetTheFlags_data()
{
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<bool>("exposeReceived");
    QTest::addColumn<int>("exposeSeconds");
    QTest::addColumn<bool>("stopRequested");
    // Start state: ExposeReceived true, ExposeSeconds 99, no stop.
    QTest::newRow("Expose 30") << QByteArray("Expose 30") << true << 30 << false;
    QTest::newRow("Expose -5") << QByteArray("Expose -5") << true << -5 << false;
    QTest::newRow("two blanks") << QByteArray("Expose  30") << true << 30 << false;
    QTest::newRow("Expose alone") << QByteArray("Expose") << true << 0 << false;
    QTest::newRow("no separator skips a digit") << QByteArray("Expose30") << true << 0 << false;
    QTest::newRow("any separator") << QByteArray("Expose_12") << true << 12 << false;
    QTest::newRow("bad number") << QByteArray("Expose 3s") << true << 0 << false;
    QTest::newRow("End") << QByteArray("End") << false << 99 << false;
    QTest::newRow("Abort") << QByteArray("Abort") << false << 99 << true;
    QTest::newRow("lower expose") << QByteArray("expose 30") << true << 99 << false;
    QTest::newRow("upper EXPOSE") << QByteArray("EXPOSE 30") << true << 99 << false;
    QTest::newRow("lower end") << QByteArray("end") << true << 99 << false;
    QTest::newRow("upper ABORT") << QByteArray("ABORT") << true << 99 << false;
    QTest::newRow("End CR LF") << QByteArray("End\r\n") << true << 99 << false;
    QTest::newRow("Abort blank") << QByteArray("Abort ") << true << 99 << false;
    QTest::newRow("stray text") << QByteArray("hello") << true << 99 << false;
    QTest::newRow("text before keyword") << QByteArray("xxEnd") << false << 99 << false;
}

void CommandReaderTest::singleCommandsSetTheFlags()
{
    QFETCH(QByteArray, text);
    QFETCH(bool, exposeReceived);
    QFETCH(int, exposeSeconds);
    QFETCH(bool, stopRequested);
    RunState state;
    state.ExposeReceived = true;
    state.ExposeSeconds = 99;
    CommandReader reader(state);
    reader.Feed(text);
    QCOMPARE(state.ExposeReceived, exposeReceived);
    QCOMPARE(state.ExposeSeconds, exposeSeconds);
    QCOMPARE(state.StopRequested, stopRequested);
}

void CommandReaderTest::exposeNumberIsLimitedTo255Characters()
{
    RunState state;
    CommandReader reader(state);
    // 254 blanks and "12": the 255-character limit keeps only "1".
    reader.Feed(QByteArray("Expose ") + QByteArray(254, ' ') + "12");
    QCOMPARE(state.ExposeSeconds, 1);
    reader.Feed(QByteArray("Expose ") + QByteArray(253, ' ') + "12");
    QCOMPARE(state.ExposeSeconds, 12);
    // Cut over two reads, the window is the same.
    reader.Feed(QByteArray("Expose ") + QByteArray(254, ' '));
    reader.Feed("12");
    QCOMPARE(state.ExposeSeconds, 1);
}

void CommandReaderTest::coalescedCommandsAreEachHandled()
{
    RunState state;
    CommandReader reader(state);
    reader.Feed("Expose 30End");
    QCOMPARE(state.ExposeSeconds, 30);
    QVERIFY(!state.ExposeReceived);

    reader.Feed("EndExpose 12");
    QVERIFY(state.ExposeReceived);
    QCOMPARE(state.ExposeSeconds, 12);

    reader.Feed("Expose 5Abort");
    QCOMPARE(state.ExposeSeconds, 5);
    QVERIFY(!state.ExposeReceived);
    QVERIFY(state.StopRequested);

    state.StopRequested = false;
    reader.Feed("Expose 1Expose 2Expose 3");
    QVERIFY(state.ExposeReceived);
    QCOMPARE(state.ExposeSeconds, 3);

    // A malformed piece does not hide the commands around it.
    reader.Feed("End\r\nExpose 8");
    QVERIFY(state.ExposeReceived);
    QCOMPARE(state.ExposeSeconds, 8);
}

void CommandReaderTest::everySplitOfAStreamGivesTheSameFlags()
{
    // Feeds a stream whole, then cut at every pair of positions into three reads, then
    // one byte per read: the flags after the last byte must always agree.
    const QByteArray stream("junkExpose 30EndExpose -7AbortEnd\r\nExpose 0x1FAbort");
    RunState whole;
    CommandReader(whole).Feed(stream);
    QVERIFY(whole.StopRequested);
    QCOMPARE(whole.ExposeSeconds, 31);

    for (qsizetype first = 0; first <= stream.size(); ++first) {
        for (qsizetype second = first; second <= stream.size(); ++second) {
            RunState state;
            CommandReader reader(state);
            reader.Feed(stream.first(first));
            reader.Feed(stream.sliced(first, second - first));
            reader.Feed(stream.sliced(second));
            QVERIFY2(state.ExposeReceived == whole.ExposeReceived && state.ExposeSeconds == whole.ExposeSeconds
                         && state.StopRequested == whole.StopRequested,
                     qPrintable(QString("cut at %1 and %2").arg(first).arg(second)));
        }
    }

    // One byte at a time: each command takes effect as soon as its last byte
    // is in, and a number grows with its digits.
    RunState state;
    CommandReader reader(state);
    const QByteArray bytes("Expose 42EndExpose 9");
    QList<bool> received;
    QList<int> seconds;
    for (char c : bytes) {
        reader.Feed(QByteArray(1, c));
        received.append(state.ExposeReceived);
        seconds.append(state.ExposeSeconds);
        QVERIFY(reader.HeldBytes() <= CommandReader::MaxHeldBytes);
    }
    QCOMPARE(received.indexOf(true), 5); // "Expose" alone is a command
    QCOMPARE(seconds[7], 4);
    QCOMPARE(seconds[8], 42);
    QCOMPARE(received.indexOf(false, 6), 11); // after "End"
    QVERIFY(state.ExposeReceived);
    QCOMPARE(state.ExposeSeconds, 9);
}

void CommandReaderTest::splitCommandsWaitForTheRest()
{
    RunState state;
    CommandReader reader(state);
    reader.Feed("Exp");
    QVERIFY(!state.ExposeReceived);
    QCOMPARE(reader.HeldBytes(), 3);
    reader.Feed("ose 30");
    QVERIFY(state.ExposeReceived);
    QCOMPARE(state.ExposeSeconds, 30);

    reader.Feed("Expose 30Ab");
    QCOMPARE(state.ExposeSeconds, 30);
    QVERIFY(state.ExposeReceived);
    reader.Feed("ort");
    QVERIFY(state.StopRequested);
    QVERIFY(!state.ExposeReceived);

    // A hex number ending in a keyword's first letter is a number, not a
    // held keyword start.
    reader.Feed("Expose $1E");
    QCOMPARE(state.ExposeSeconds, 30);

    // Reset starts a new stream: a held prefix is forgotten.
    state.ExposeReceived = false;
    reader.Feed("Ex");
    reader.Reset();
    reader.Feed("pose 4");
    QVERIFY(!state.ExposeReceived);
}

void CommandReaderTest::brokenNumberTakesWhatArrivedFirst()
{
    // A complete "Expose n" piece is acted on at once; a continuation only
    // corrects the number and does not raise the flag a second time.
    RunState state;
    CommandReader reader(state);
    reader.Feed("Expose 3");
    QVERIFY(state.ExposeReceived);
    QCOMPARE(state.ExposeSeconds, 3);
    state.ExposeReceived = false; // consumed by the run
    reader.Feed("0");
    QVERIFY(!state.ExposeReceived);
    QCOMPARE(state.ExposeSeconds, 30);
    // A hex number cut short by a keyword is converted again.
    reader.Feed("Expose $1E");
    QCOMPARE(state.ExposeSeconds, 30);
    reader.Feed("n"); // could still become "End": the number is not spoilt
    QCOMPARE(state.ExposeSeconds, 1);
    reader.Feed("d");
    QCOMPARE(state.ExposeSeconds, 1);
    QVERIFY(!state.ExposeReceived);
    // Stray text after the number spoils it, as it would in one read.
    reader.Feed("Expose 5");
    reader.Feed(" ");
    QCOMPARE(state.ExposeSeconds, 0);
}

void CommandReaderTest::garbageNeverGrowsTheHeldBytes()
{
    RunState state;
    CommandReader reader(state);
    QByteArray chunk;
    for (int i = 0; i < 4096; ++i)
        chunk.append(char("EAxbnortdpse\r\n"[i % 14]));
    for (int round = 0; round < 200; ++round) {
        reader.Feed(chunk);
        reader.Feed("Ab");
        QVERIFY(reader.HeldBytes() <= 5);
        // An open "Expose" fed garbage stays within its number window.
        reader.Feed("Expose 1");
        reader.Feed(chunk);
        QVERIFY(reader.HeldBytes() <= CommandReader::MaxHeldBytes);
    }
    QCOMPARE(state.ExposeSeconds, 0);
    QVERIFY(!state.StopRequested);
    reader.Feed("Ab");
    reader.Feed("ort");
    QVERIFY(state.StopRequested);
}

QTEST_GUILESS_MAIN(CommandReaderTest)
#include "tst_commandreader.moc"
