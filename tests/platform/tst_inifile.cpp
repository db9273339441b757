// The INI component must read files written by the Windows program and write
// files it reads back the same; and a failed write must never damage a file.
#include "RawFiles.h"

#include "platform/Error.h"
#include "platform/IniFile.h"
#include "platform/IniText.h"
#include "platform/LocaleInfo.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>

class TestIniFile : public QObject {
    Q_OBJECT

    QTemporaryDir m_dir;

    QString writeRaw(const QByteArray& bytes, const QString& name = QStringLiteral("t.ini"))
    {
        return WriteRawFile(m_dir, bytes, name);
    }
    QByteArray readRaw(const QString& path) { return ReadRawFile(path); }

private slots:
    void missingFileSectionOrKeyGiveDefaults()
    {
        IniFile missing(m_dir.filePath(QStringLiteral("nothing.ini")));
        QCOMPARE(missing.ReadString("S", "k", "def"), QString("def"));
        QCOMPARE(missing.ReadInteger("S", "k", 42), 42);
        QCOMPARE(missing.ReadBool("S", "k", true), true);
        QVERIFY(!QFile::exists(missing.fileName()));   // reading creates nothing

        IniFile ini(writeRaw("[Other]\r\nk=1\r\n[S]\r\nj=2\r\n"));
        QCOMPARE(ini.ReadInteger("S", "k", 7), 7);
        QCOMPARE(ini.ReadInteger("Missing", "j", 8), 8);
    }

    void readingFollowsTheProfileRules_data()
    {
        QTest::addColumn<QByteArray>("line");
        QTest::addColumn<QString>("expected");
        QTest::newRow("blanks trimmed") << QByteArray("  k  =   v  w   ") << QString("v  w");
        QTest::newRow("split at first =") << QByteArray("k = = x") << QString("= x");
        QTest::newRow("quotes removed") << QByteArray("k=\"  a  \"") << QString("  a  ");
        QTest::newRow("single quotes removed") << QByteArray("k='b'") << QString("b");
        QTest::newRow("unmatched quotes stay") << QByteArray("k=\"a\" b") << QString("\"a\" b");
        QTest::newRow("no inline comment") << QByteArray("k=v ; x") << QString("v ; x");
        QTest::newRow("empty value") << QByteArray("k=") << QString("");
        QTest::newRow("bracket in value") << QByteArray("k=[x]") << QString("[x]");
        QTest::newRow("non-ASCII") << QByteArray("k=Ångström") << QString::fromUtf8("Ångström");
        QTest::newRow("case-insensitive key") << QByteArray("K=up") << QString("up");
        QTest::newRow("no-break spaces kept at both ends, as Windows keeps them")
            << QByteArray("k=\xC2\xA0v\xC2\xA0 ") << QString::fromUtf8("\u00A0v\u00A0");
        QTest::newRow("tabs trimmed") << QByteArray("k=\tv\t") << QString("v");
    }
    void readingFollowsTheProfileRules()
    {
        QFETCH(QByteArray, line);
        QFETCH(QString, expected);
        IniFile ini(writeRaw("[s]\r\n" + line + "\r\n"));
        QCOMPARE(ini.ReadString("S", "k", "def"), expected);
    }

    void commentsDuplicatesAndLinesWithoutEquals()
    {
        IniFile ini(writeRaw("[S]\n;k=comment\nk\nk=first\nk=second\n[S]\nj=in second copy\n"));
        QCOMPARE(ini.ReadString("S", "k", "def"), QString("first"));
        QCOMPARE(ini.ReadString("S", "j", "def"), QString("def"));   // only the first [S] is searched
    }

    void oneReadOfASectionAgreesWithTheIniRules()
    {
        const QByteArray text = "; comment\r\n[Other]\r\nItem0=wrong\n[ SEQUENCE ]\rItem0 = 1 2 3 4 a- \r\n"
                                "item0=duplicate\r\nITEM1=\"  5 6 7 8 b-  \"\r\n;Item2=commented\r\n"
                                "Item3='x\r\nnoequals\r\nItem4= = 9\r\n[sequence]\r\nItem5=second section\r\n"
                                "[Next]\r\nItem6=elsewhere";
        const IniText reference = IniText::parse(text);
        const QHash<QString, QString> section = reference.sectionValues("Sequence");
        const auto values = [&section](const QString& key) {
            const QString k = key.toLower();
            return section.contains(k) ? std::optional<QString>(section.value(k)) : std::nullopt;
        };
        for (const char* key : {"Item0", "item1", "Item2", "Item3", "Item4", "Item5", "Item6", "noequals", "x"})
            QCOMPARE(values(key), reference.value("Sequence", key));
        QCOMPARE(values("Item1"), std::optional<QString>("  5 6 7 8 b-  "));
    }

    void everyLineEndReadsTheSame()
    {
        for (const QByteArray& eol : {QByteArray("\r\n"), QByteArray("\n"), QByteArray("\r")}) {
            IniFile ini(writeRaw("[S]" + eol + "a=1" + eol + "b=2"));   // no final line end
            QCOMPARE(ini.ReadInteger("S", "a", 0), 1);
            QCOMPARE(ini.ReadInteger("S", "b", 0), 2);
        }
    }

    void longValuesAreCutAt2047()
    {
        IniFile ini(writeRaw("[S]\r\nk=" + QByteArray(3000, 'x') + "\r\n"));
        QCOMPARE(ini.ReadString("S", "k", "").size(), 2047);
        ini.WriteString("S", "w", QString(2500, 'y'));
        QCOMPARE(ini.ReadString("S", "w", "").size(), 2047);
        QVERIFY(readRaw(ini.fileName()).contains(QByteArray(2500, 'y')));   // the file keeps it whole
    }

    void integersAndBooleans_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("integer");
        QTest::addColumn<bool>("boolean");
        // default integer 99, default boolean true
        QTest::newRow("decimal") << "12" << 12 << true;
        QTest::newRow("negative") << "-5" << -5 << true;
        QTest::newRow("hex lower") << "0x1f" << 31 << true;
        QTest::newRow("hex upper") << "0X1F" << 31 << true;
        QTest::newRow("one") << "1" << 1 << true;
        QTest::newRow("zero") << "0" << 0 << false;
        QTest::newRow("seven") << "7" << 7 << true;
        QTest::newRow("letter") << "x" << 99 << true;
        QTest::newRow("trailing junk") << "12abc" << 99 << true;
        QTest::newRow("overflow") << "4294967296" << 99 << true;
        QTest::newRow("empty") << "" << 99 << true;
        QTest::newRow("bare hex prefix") << "0x" << 99 << true;
    }
    void integersAndBooleans()
    {
        QFETCH(QString, text);
        QFETCH(int, integer);
        QFETCH(bool, boolean);
        IniFile ini(writeRaw("[S]\r\nv=" + text.toUtf8() + "\r\n"));
        QCOMPARE(ini.ReadInteger("S", "v", 99), integer);
        QCOMPARE(ini.ReadBool("S", "v", true), boolean);
    }

    void newFileIsWrittenWithCrLf()
    {
        IniFile ini(m_dir.filePath(QStringLiteral("new.ini")));
        ini.WriteString("Setup", "Ip2Address", "10.0.0.2");
        ini.WriteInteger("Setup", "IpPort", 2000);
        ini.WriteBool("Setup", "MainCCD", false);
        ini.WriteString("Setup", "Empty", "");
        QCOMPARE(readRaw(ini.fileName()),
                 QByteArray("[Setup]\r\nIp2Address=10.0.0.2\r\nIpPort=2000\r\nMainCCD=0\r\nEmpty=\r\n"));
    }

    void writesKeepEverythingElseByteForByte()
    {
        const QByteArray before = "; my comment\n[First]\nA=1\n\n[Second]\nkey = old\nB=2\n\n[Third]\nC=3";
        IniFile ini(writeRaw(before));
        ini.WriteString("SECOND", "KEY", "new");    // key spelling and line end in the file are kept
        ini.WriteString("second", "D", "4");        // a new key goes to the end of its section
        ini.WriteString("Fourth", "E", "5");        // a new section goes to the end
        QCOMPARE(readRaw(ini.fileName()),
                 QByteArray("; my comment\n[First]\nA=1\n\n[Second]\nkey=new\nB=2\nD=4\r\n\n[Third]\nC=3\r\n"
                            "[Fourth]\r\nE=5\r\n"));
        QCOMPARE(ini.ReadString("Second", "key", ""), QString("new"));
        QCOMPARE(ini.ReadInteger("First", "a", 0), 1);
    }

    void awkwardValuesRoundTrip_data()
    {
        QTest::addColumn<QString>("value");
        QTest::newRow("equals") << QString("a=b");
        QTest::newRow("bracket") << QString("[x]");
        QTest::newRow("inner blanks") << QString("a  b");
        QTest::newRow("non-ASCII") << QString::fromUtf8("Filtre ß é 星");
        QTest::newRow("semicolon") << QString("v ; c");
        QTest::newRow("no-break spaces at the ends") << QString::fromUtf8("\u00A0Ha\u00A0");
    }
    void awkwardValuesRoundTrip()
    {
        QFETCH(QString, value);
        IniFile ini(m_dir.filePath(QStringLiteral("rt.ini")));
        ini.WriteString("S", "k", value);
        QCOMPARE(ini.ReadString("S", "k", "def"), value);
    }

    void floatsFollowTheDecimalSeparator()
    {
        IniFile ini(m_dir.filePath(QStringLiteral("f.ini")));
        SetDecimalSeparator(',');
        ini.WriteFloat("S", "f", 2.5);
        QCOMPARE(ini.ReadString("S", "f", ""), QString("2,5"));
        QCOMPARE(ini.ReadFloat("S", "f", 0), 2.5);
        SetDecimalSeparator('.');
        ini.WriteString("S", "bad", "2.5x");
        QCOMPARE(ini.ReadFloat("S", "bad", -1), -1.0);
    }

    void failedWriteRaisesAndLeavesTheFileUntouched()
    {
        const QByteArray before = "[S]\r\nk=keep\r\n";
        const QString path = writeRaw(before, QStringLiteral("ro.ini"));
        QFile::setPermissions(path, QFile::ReadOwner | QFile::ReadUser);
        IniFile ini(path);
        try {
            ini.WriteString("S", "k", "lost?");
            QFAIL("a write to a read-only file succeeded");
        } catch (const Error& e) {
            QCOMPARE(e.message(), QString("Unable to write to %1").arg(path));
        }
        QCOMPARE(readRaw(path), before);

        IniFile nowhere(m_dir.filePath(QStringLiteral("no/such/dir/x.ini")));
        QVERIFY_THROWS_EXCEPTION(Error, nowhere.WriteInteger("S", "k", 1));
    }
};

QTEST_GUILESS_MAIN(TestIniFile)
#include "tst_inifile.moc"
