// The sequence file: every key, its defaults, the item lines, and saving that
// never loses the old file.
#include "sequence/TSequence.h"


#include "platform/Error.h"
#include "platform/LocaleInfo.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QScopeGuard>
#include <QTemporaryDir>
#include <QtTest>

namespace {
QByteArray readAll(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

void writeAll(const QString& path, const QByteArray& bytes)
{
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    f.write(bytes);
}

// Makes path unwritable even for root (whose writes ignore permission bits)
// by adding the immutable attribute; false when neither works here.
bool makeReadOnly(const QString& path)
{
    QFile::setPermissions(path, QFile::ReadOwner | QFile::ReadUser);
    if (!QFileInfo(path).isWritable())
        return true;
    return QProcess::execute("chattr", {"+i", path}) == 0 && !QFileInfo(path).isWritable();
}

void makeWritable(const QString& path)
{
    if (QFileInfo(path).exists() && !QFileInfo(path).isWritable())
        QProcess::execute("chattr", {"-i", path});
    QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner);
}

QString dataFile(const QString& name)
{
    return qEnvironmentVariable("TANDEXA_TEST_DATA") + "/sequence/" + name;
}
}

class TestSequenceFile : public QObject {
    Q_OBJECT
private:
    QTemporaryDir m_dir;
    QString path(const QString& name) const { return m_dir.filePath(name); }

private slots:
    void init() { SetDecimalSeparator(QChar('.')); }

    void exampleFileRoundTripsByteForByte()
    {
        const QString source = dataFile("Example.seq");
        const QByteArray original = readAll(source);
        QVERIFY(!original.isEmpty());
        TSequence seq;
        seq.Load(source);
        QCOMPARE(seq.FileName, source);
        QCOMPARE(seq.ImgFileName, QString("M42"));
        QCOMPARE(seq.DestDir, QString("D:\\Images\\"));
        QCOMPARE(seq.Iterations, 3);
        QCOMPARE(seq.StartIteration, 1);
        QCOMPARE(seq.DelayFrame, 0);
        QCOMPARE(seq.PixelDither.Count(), qint64(25000));
        QCOMPARE(seq.WhileGuideError.Count(), qint64(5000));
        QCOMPARE(seq.AllowList, false);
        QCOMPARE(seq.Items.size(), 2);
        QVERIFY(seq.Items[0] == (TSequenceItem{0, 300, 1, 2, "L"}));
        QVERIFY(seq.Items[1] == (TSequenceItem{2, 600, 2, 1, ""}));
        QVERIFY(seq.MalformedItems.isEmpty());

        seq.FileName = path("copy.seq");
        seq.Save();
        QCOMPARE(readAll(seq.FileName), original);
    }

    void everyFieldSurvivesSaveAndLoad()
    {
        TSequence seq(path("all.seq"));
        seq.ImgFileName = "NGC 7000";
        seq.DestDir = "/data/images/";
        seq.Iterations = 12;
        seq.StartIteration = 4;
        seq.DelayFrame = 37;
        seq.PixelDither = Decimal4::FromCount(1);
        seq.WhileGuideError = Decimal4::FromCount(-12345);
        seq.AllowList = true;
        seq.Items = {{0, 1, 1, 100, "Lum"}, {3, 32000, 3, 0, ""}, {-1, 5, 2, 7, "12345678"}};
        seq.Save();

        TSequence back;
        back.Load(seq.FileName);
        QCOMPARE(back.ImgFileName, seq.ImgFileName);
        QCOMPARE(back.DestDir, seq.DestDir);
        QCOMPARE(back.Iterations, 12);
        QCOMPARE(back.StartIteration, 4);
        QCOMPARE(back.DelayFrame, 37);
        QCOMPARE(back.PixelDither.Count(), qint64(1));
        QCOMPARE(back.WhileGuideError.Count(), qint64(-12345));
        QCOMPARE(back.AllowList, true);
        QVERIFY(back.Items == seq.Items);
        QVERIFY(readAll(seq.FileName).contains("Item1=3 32000 3 0 -\r\n"));
    }

    void textFieldsReadBackExactly_data()
    {
        QTest::addColumn<QString>("text");
        QTest::newRow("leading blank") << " M42";
        QTest::newRow("blanks around") << " /data/ ";
        QTest::newRow("single quotes") << "'M42'";
        QTest::newRow("double quotes") << "\"M42\"";
        QTest::newRow("quote at one end") << "M42\"";
        QTest::newRow("non-ASCII") << QString::fromUtf8("Mädchen ⅓ Ω");
        QTest::newRow("2047 characters") << QString(2047, QChar('x'));
    }
    void textFieldsReadBackExactly()
    {
        QFETCH(QString, text);
        TSequence seq(path("text.seq"));
        QFile::remove(seq.FileName);
        seq.ImgFileName = text;
        seq.DestDir = text;
        seq.Save();
        TSequence back;
        back.Load(seq.FileName);
        QCOMPARE(back.ImgFileName, text);
        QCOMPARE(back.DestDir, text);
    }

    void aWindowsFileKeepsItsEncodingAndBytes()
    {
        // Written on Windows in Western Europe: Windows-1252 bytes, quotes and
        // blanks. Loading and saving unchanged gives the same bytes back.
        const QByteArray windows = "[Sequence]\r\nImgFileName=\" M\xE4rz \"\r\nDestDir=C:\\Bilder\\M\xE4rz\\\r\n"
                                   "Iterations=3\r\nStartIteration=1\r\nDelayFrame=0\r\nPixelDither=2.5\r\n"
                                   "WhileGuideError=0.5\r\nAllowList=0\r\nItems=1\r\nItem0=0 300 1 2 \xC4-\r\n";
        writeAll(path("win.seq"), windows);
        TSequence seq;
        seq.Load(path("win.seq"));
        QCOMPARE(seq.ImgFileName, QString::fromUtf8(" März "));
        QCOMPARE(seq.DestDir, QString::fromUtf8("C:\\Bilder\\März\\"));
        QCOMPARE(seq.Items.value(0).Suffix, QString::fromUtf8("Ä"));
        seq.Save();
        QCOMPARE(readAll(seq.FileName), windows);

        // A change is written in the file's encoding; a character it cannot
        // hold is refused and nothing is written.
        seq.DestDir = QString::fromUtf8("D:\\Köln\\");
        seq.Save();
        QVERIFY(readAll(seq.FileName).contains("DestDir=D:\\K\xF6ln\\\r\n"));
        const QByteArray before = readAll(seq.FileName);
        seq.DestDir = QString::fromUtf8("D:\\Ωmega");
        try {
            seq.Save();
            QFAIL("saved a character Windows-1252 cannot hold");
        } catch (const Error& e) {
            QVERIFY2(e.message().startsWith("Unable to write to " + seq.FileName), qPrintable(e.message()));
            QVERIFY2(e.message().contains("U+03A9"), qPrintable(e.message()));
        }
        QCOMPARE(readAll(seq.FileName), before);

        // A UTF-8 file, with its byte-order mark, stays UTF-8.
        writeAll(path("utf8.seq"), "\xEF\xBB\xBF[Sequence]\r\nDestDir=/d/M\xC3\xA4rz/\r\n");
        TSequence utf8;
        utf8.Load(path("utf8.seq"));
        QCOMPARE(utf8.DestDir, QString::fromUtf8("/d/März/"));
        utf8.Save();
        QVERIFY(readAll(utf8.FileName).startsWith("\xEF\xBB\xBF[Sequence]\r\n"));
        QVERIFY(readAll(utf8.FileName).contains("DestDir=/d/M\xC3\xA4rz/\r\n"));
    }

    void aLineBreakInATextIsRefused_data()
    {
        QTest::addColumn<QString>("field");
        QTest::newRow("image prefix") << "ImgFileName";
        QTest::newRow("destination") << "DestDir";
        QTest::newRow("suffix") << "Suffix";
    }
    void aLineBreakInATextIsRefused()
    {
        QFETCH(QString, field);
        TSequence seq(path("break.seq"));
        seq.Items = {{0, 1, 1, 1, "L"}};
        seq.Save();
        const QByteArray before = readAll(seq.FileName);
        const QString injected = "x\r\nIterations=99";
        if (field == "ImgFileName")
            seq.ImgFileName = injected;
        else if (field == "DestDir")
            seq.DestDir = injected;
        else
            seq.Items[0].Suffix = injected;
        QVERIFY_THROWS_EXCEPTION(Error, seq.Save());
        QCOMPARE(readAll(seq.FileName), before);
    }

    void aHugeFileIsRefusedBeforeAnythingChanges()
    {
        const QString huge = path("huge.seq");
        QFile f(huge);
        QVERIFY(f.open(QIODevice::WriteOnly));
        QVERIFY(f.resize(20 << 20));
        f.close();
        TSequence seq(path("kept.seq"));
        seq.ImgFileName = "kept";
        try {
            seq.Load(huge);
            QFAIL("a 20 MiB file was read");
        } catch (const Error& e) {
            QVERIFY2(e.message().contains(huge) && e.message().contains(QString::number(20 << 20)),
                     qPrintable(e.message()));
        }
        QCOMPARE(seq.FileName, path("kept.seq"));
        QCOMPARE(seq.ImgFileName, QString("kept"));
    }

    void commaLocaleWritesAndReadsItsSeparator()
    {
        SetDecimalSeparator(QChar(','));
        TSequence seq(path("comma.seq"));
        seq.PixelDither = Decimal4::FromCount(25000);
        seq.Save();
        QVERIFY(readAll(seq.FileName).contains("PixelDither=2,5\r\n"));
        TSequence back;
        back.Load(seq.FileName);
        QCOMPARE(back.PixelDither.Count(), qint64(25000));
    }

    void suffixWithABlankKeepsOnlyThePartBeforeItLessOneCharacter()
    {
        TSequence seq(path("blank.seq"));
        seq.Items = {{0, 1, 1, 1, "a b"}, {0, 1, 1, 1, "Ha x"}};
        seq.Save();
        TSequence back;
        back.Load(seq.FileName);
        QCOMPARE(back.Items.size(), 2);
        QCOMPARE(back.Items[0].Suffix, QString());
        QCOMPARE(back.Items[1].Suffix, QString("H"));
    }

    void savingFewerItemsLeavesNoStaleKeys()
    {
        TSequence seq(path("shrink.seq"));
        for (int i = 0; i < 5; ++i)
            seq.Items.append({i, 10 * (i + 1), 1, 1, QString("s%1").arg(i)});
        seq.Save();
        QVERIFY(readAll(seq.FileName).contains("Item4="));
        seq.Items.resize(2);
        seq.Save();
        const QByteArray text = readAll(seq.FileName);
        QVERIFY(text.contains("Items=2\r\nItem0=0 10 1 1 s0-\r\nItem1=1 20 1 1 s1-\r\n"));
        QVERIFY(!text.contains("Item2="));
        QVERIFY(!text.contains("Item4="));
        // Keys of other tools in the old file are not carried over either.
        writeAll(seq.FileName, text + "[Other]\r\nx=1\r\n");
        seq.Save();
        QVERIFY(!readAll(seq.FileName).contains("[Other]"));
    }

    void itemCountIsTruncatedTowardZero_data()
    {
        QTest::addColumn<QByteArray>("items");
        QTest::addColumn<int>("count");
        QTest::newRow("2.9") << QByteArray("2.9") << 2;
        QTest::newRow("-1") << QByteArray("-1") << 0;
        QTest::newRow("0") << QByteArray("0") << 0;
        QTest::newRow("junk") << QByteArray("two") << 0;
        QTest::newRow("3") << QByteArray("3") << 3;
        QTest::newRow("huge") << QByteArray("1e12") << TSequence::MaxItems;
    }
    void itemCountIsTruncatedTowardZero()
    {
        QFETCH(QByteArray, items);
        QFETCH(int, count);
        writeAll(path("count.seq"), "[Sequence]\r\nItems=" + items
                     + "\r\nItem0=1 2 3 4 a-\r\nItem1=5 6 7 8 b-\r\nItem2=9 10 1 1 c-\r\n");
        TSequence seq;
        seq.Load(path("count.seq"));
        QCOMPARE(seq.Items.size(), count);
        if (count >= 2) {
            QVERIFY(seq.Items[1] == (TSequenceItem{5, 6, 7, 8, "b"}));
            // Keys beyond Item2 are absent: those items are reported.
            QCOMPARE(seq.MalformedItems.size(), count - 3 < 0 ? 0 : count - 3);
        }
    }

    void dither0_00004ReadsAsZeroAnd0_00006AsOneCount()
    {
        writeAll(path("d.seq"), "[Sequence]\r\nPixelDither=0.00004\r\nWhileGuideError=0.00006\r\n");
        TSequence seq;
        seq.Load(path("d.seq"));
        QCOMPARE(seq.PixelDither.Count(), qint64(0));
        QCOMPARE(seq.WhileGuideError.Count(), qint64(1));
        seq.FileName = path("d2.seq");
        seq.Save();
        QVERIFY(readAll(seq.FileName).contains("PixelDither=0\r\nWhileGuideError=0.0001\r\n"));
    }

    void absentOrBadKeysReadAsTheirDefaults()
    {
        writeAll(path("sparse.seq"), "[sequence]\r\nIterations=lots\r\nDelayFrame=\r\nPixelDither=x\r\n");
        TSequence seq("initial");
        QCOMPARE(seq.DelayFrame, 0);   // a new model holds 0, a file without the key 10
        seq.Load(path("sparse.seq"));
        QCOMPARE(seq.ImgFileName, QString("Img"));
        QVERIFY(seq.DestDir.endsWith(QDir::separator() == '\\' ? "C:\\" : "/"));
        QCOMPARE(seq.Iterations, 1);
        QCOMPARE(seq.StartIteration, 1);
        QCOMPARE(seq.DelayFrame, 10);
        QCOMPARE(seq.PixelDither.Count(), qint64(10000));
        QCOMPARE(seq.WhileGuideError.Count(), qint64(10000));
        QCOMPARE(seq.AllowList, false);
        QVERIFY(seq.Items.isEmpty());

        seq.Items = {{1, 1, 1, 1, ""}};
        seq.Load(path("missing.seq"));
        QCOMPARE(seq.FileName, path("missing.seq"));
        QVERIFY(seq.Items.isEmpty());
        QCOMPARE(seq.DelayFrame, 10);
    }

    void malformedItemLinesAreKeptAndReported()
    {
        writeAll(path("bad.seq"),
                 "[Sequence]\r\nItems=4\r\nItem0=0 300 1 2 L-\r\nItem1=1 2 3\r\nItem3=2 60 1 5 R-\r\n");
        TSequence seq;
        seq.Load(path("bad.seq"));
        QCOMPARE(seq.Items.size(), 4);
        QVERIFY(seq.Items[1] == (TSequenceItem{1, 2, 3, 0, ""}));
        QVERIFY(seq.Items[2] == TSequenceItem{});   // absent key
        QVERIFY(seq.Items[3] == (TSequenceItem{2, 60, 1, 5, "R"}));
        QCOMPARE(seq.MalformedItems, (QList<int>{1, 2}));
        // A later good load forgets the earlier report.
        seq.Load(dataFile("Example.seq"));
        QVERIFY(seq.MalformedItems.isEmpty());
    }

    void thousandsOfItemsLoadInLinearTime()
    {
        TSequence seq(path("long.seq"));
        for (int i = 0; i < 20000; ++i)
            seq.Items.append({i % 5, i + 1, 1, 2, "s"});
        seq.Save();
        QElapsedTimer timer;
        timer.start();
        TSequence back;
        back.Load(seq.FileName);
        QVERIFY(back.Items == seq.Items);
        // One lookup per item through the whole file took minutes here.
        QVERIFY2(timer.elapsed() < 5000, qPrintable(QString::number(timer.elapsed())));
    }

    void failedSaveKeepsTheOldFileAndRaisesAnError()
    {
        const QString target = path("locked.seq");
        TSequence seq(target);
        seq.ImgFileName = "Old";
        seq.Save();
        const QByteArray before = readAll(target);
        if (!makeReadOnly(target))
            QSKIP("this file system cannot make a file read-only for this user");
        auto restore = qScopeGuard([&] { makeWritable(target); });
        seq.ImgFileName = "New";
        try {
            seq.Save();
            QFAIL("saving over a read-only file must fail");
        } catch (const Error& e) {
            QCOMPARE(e.message(), "Unable to write to " + target);
        }
        QCOMPARE(readAll(target), before);
        restore.dismiss();
        makeWritable(target);

        // A directory that does not exist: nothing is created, an error is raised.
        seq.FileName = path("no/such/dir/x.seq");
        QVERIFY_THROWS_EXCEPTION(Error, seq.Save());
        QVERIFY(!QFile::exists(seq.FileName));
    }
};

QTEST_GUILESS_MAIN(TestSequenceFile)
#include "tst_sequencefile.moc"
