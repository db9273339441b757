// Files from elsewhere and hostile files: INI files written on Windows keep
// every untouched byte, values read back exactly, a value cannot inject lines,
// endless or huge files are refused, and a replaced file keeps its owner and
// mode.
#include "RawFiles.h"

#include "platform/AtomicFile.h"
#include "platform/Error.h"
#include "platform/IniFile.h"
#include "platform/IniText.h"
#include "platform/SmallFile.h"
#include "platform/TextCodec.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <sys/stat.h>
#include <unistd.h>

namespace {
// "März" and "über" in the encodings a file may come in.
QByteArray encoded(const QString& text, TextCodec::Encoding encoding)
{
    return TextCodec::Encode(text, encoding).value();
}
}

class TestFileHardening : public QObject {
    Q_OBJECT

    QTemporaryDir m_dir;

    QString writeRaw(const QByteArray& bytes, const QString& name = QStringLiteral("t.ini"))
    {
        return WriteRawFile(m_dir, bytes, name);
    }
    static QByteArray readRaw(const QString& path) { return ReadRawFile(path); }
    // Runs a write that must fail, and returns its message.
    template <typename F> static QString failureOf(F&& write)
    {
        try {
            write();
        } catch (const Error& e) {
            return e.message();
        }
        return QString();
    }

private slots:
    void untouchedLinesKeepTheirBytes_data()
    {
        QTest::addColumn<QByteArray>("bom");
        QTest::addColumn<int>("encoding");
        QTest::newRow("Windows-1252") << QByteArray() << int(TextCodec::Windows1252);
        QTest::newRow("UTF-8") << QByteArray() << int(TextCodec::Utf8);
        QTest::newRow("UTF-8 with byte-order mark") << TextCodec::Utf8Bom.toByteArray() << int(TextCodec::Utf8);
    }
    void untouchedLinesKeepTheirBytes()
    {
        QFETCH(QByteArray, bom);
        QFETCH(int, encoding);
        const auto e = TextCodec::Encoding(encoding);
        const QByteArray paths = "[Paths]\r\nDestDir=C:\\Bilder\\" + encoded(QString::fromUtf8("März"), e)
                                 + "\\\r\n; " + encoded(QString::fromUtf8("Kommentar über € und “Zitat”"), e) + "\r\n";
        const QString path = writeRaw(bom + paths + "[Setup]\r\nIpPort=1\r\n");
        IniFile ini(path);
        QCOMPARE(ini.ReadString("Paths", "DestDir", ""), QString::fromUtf8("C:\\Bilder\\März\\"));

        ini.WriteInteger("Setup", "IpPort", 2);
        ini.WriteString("Setup", "Ort", QString::fromUtf8("Köln"));
        QCOMPARE(readRaw(path), bom + paths + "[Setup]\r\nIpPort=2\r\nOrt=" + encoded(QString::fromUtf8("Köln"), e) + "\r\n");
        QCOMPARE(ini.ReadString("Setup", "Ort", ""), QString::fromUtf8("Köln"));
        QCOMPARE(ini.ReadString("Paths", "DestDir", ""), QString::fromUtf8("C:\\Bilder\\März\\"));
    }

    void aCharacterTheEncodingCannotHoldIsRefused()
    {
        const QByteArray before("[S]\r\nDir=M\xE4rz\r\n");
        const QString path = writeRaw(before);
        IniFile ini(path);
        const QString message = failureOf([&] { ini.WriteString("S", "Name", QString::fromUtf8("Ωmega")); });
        QVERIFY2(message.startsWith("Unable to write to " + path), qPrintable(message));
        QVERIFY2(message.contains(QString::fromUtf8("Ω")) && message.contains("U+03A9"), qPrintable(message));
        QCOMPARE(readRaw(path), before);

        // A new file is UTF-8 and holds any character.
        IniFile fresh(m_dir.filePath("fresh.ini"));
        fresh.WriteString("S", "Name", QString::fromUtf8("Ωmega März"));
        QCOMPARE(readRaw(fresh.fileName()), QByteArray("[S]\r\nName=\xCE\xA9mega M\xC3\xA4rz\r\n"));
    }

    void codecRoundTripsEveryByte()
    {
        // Windows-1252 maps all 256 bytes, the undefined ones included, so a
        // line decoded and encoded again is the same bytes.
        QByteArray all(256, Qt::Uninitialized);
        for (int i = 0; i < 256; ++i)
            all[i] = char(i);
        QVERIFY(!TextCodec::IsValidUtf8(all));
        QCOMPARE(TextCodec::Encode(TextCodec::Decode(all, TextCodec::Windows1252), TextCodec::Windows1252).value(), all);
        QCOMPARE(TextCodec::Decode("\x80\x9F", TextCodec::Windows1252), QString::fromUtf8("€Ÿ"));
        // Forms that are not UTF-8.
        for (const QByteArray& bad : {QByteArray("\xC0\x80"), QByteArray("\xED\xA0\x80"), QByteArray("\xF4\x90\x80\x80"),
                                      QByteArray("a\xC3"), QByteArray("\xE4")})
            QVERIFY2(!TextCodec::IsValidUtf8(bad), bad.toHex().constData());
        QVERIFY(TextCodec::IsValidUtf8("M\xC3\xA4rz \xF0\x9F\x94\xAD"));
    }

    void aLineBreakInAValueIsRefused_data()
    {
        QTest::addColumn<QString>("key");
        QTest::addColumn<QString>("value");
        QTest::newRow("new section") << "name" << "a\r\n[Setup]\r\nPort=1";
        QTest::newRow("LF") << "name" << "a\nb=c";
        QTest::newRow("CR") << "name" << "a\rb=c";
        QTest::newRow("in the key") << "na\nme" << "a";
    }
    void aLineBreakInAValueIsRefused()
    {
        QFETCH(QString, key);
        QFETCH(QString, value);
        const QByteArray before("[S]\r\nname=old\r\n");
        const QString path = writeRaw(before);
        IniFile ini(path);
        const QString message = failureOf([&] { ini.WriteString("S", key, value); });
        QVERIFY2(message.startsWith("Unable to write to " + path), qPrintable(message));
        QCOMPARE(readRaw(path), before);
        QVERIFY(!ini.SectionExists("Setup"));
    }

    void valuesReadBackExactly_data()
    {
        QTest::addColumn<QString>("value");
        QTest::addColumn<QByteArray>("line");
        QTest::newRow("plain") << "M42" << QByteArray("k=M42");
        QTest::newRow("leading blank") << " M42" << QByteArray("k=\" M42\"");
        QTest::newRow("blanks around") << " /data/ " << QByteArray("k=\" /data/ \"");
        QTest::newRow("single quotes") << "'M42'" << QByteArray("k=\"'M42'\"");
        QTest::newRow("double quotes") << "\"M42\"" << QByteArray("k=\"\"M42\"\"");
        QTest::newRow("one quote") << "\"M42" << QByteArray("k=\"M42");
        QTest::newRow("inner quotes") << "a \"b\" c" << QByteArray("k=a \"b\" c");
        QTest::newRow("tab at end") << "x\t" << QByteArray("k=\"x\t\"");
        QTest::newRow("only blanks") << "   " << QByteArray("k=\"   \"");
        QTest::newRow("empty") << "" << QByteArray("k=");
    }
    void valuesReadBackExactly()
    {
        QFETCH(QString, value);
        QFETCH(QByteArray, line);
        IniFile ini(m_dir.filePath("values.ini"));
        QFile::remove(ini.fileName());
        ini.WriteString("S", "k", value);
        QCOMPARE(readRaw(ini.fileName()), "[S]\r\n" + line + "\r\n");
        QCOMPARE(ini.ReadString("S", "k", "default"), value);
        // The same when an existing line is rewritten.
        ini.WriteString("S", "k", "other");
        ini.WriteString("S", "k", value);
        QCOMPARE(ini.ReadString("S", "k", "default"), value);
    }

    void endlessOrHugeFilesAreRefused_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::newRow("link to /dev/zero") << "zero";
        QTest::newRow("17 MiB") << "huge";
    }
    void endlessOrHugeFilesAreRefused()
    {
        QFETCH(QString, kind);
        const QString path = m_dir.filePath(kind + ".ini");
        QFile::remove(path);
        if (kind == "zero") {
            QVERIFY(QFile::link("/dev/zero", path));
        } else {
            QFile f(path);
            QVERIFY(f.open(QIODevice::WriteOnly));
            QVERIFY(f.resize(17 << 20));   // sparse: costs no disk
        }
        IniFile ini(path);
        const QString read = failureOf([&] { ini.ReadString("S", "k", "d"); });
        QVERIFY2(read.contains(path), qPrintable(read));
        if (kind == "huge")
            QVERIFY2(read.contains(QString::number(17 << 20)), qPrintable(read));
        const QString write = failureOf([&] { ini.WriteString("S", "k", "v"); });
        QCOMPARE(write, read);
        QCOMPARE(QFileInfo(path).size(), kind == "huge" ? qint64(17 << 20) : qint64(0));
    }

    void replacingAFileKeepsItsOwnerAndMode()
    {
        const QString path = writeRaw("[S]\r\nk=1\r\n", "owned.ini");
        const QByteArray native = QFile::encodeName(path);
        QCOMPARE(::chmod(native.constData(), 0640), 0);
        // Root may give the file to another user (nobody), as a file of the
        // user's own looks after a run under sudo.
        const bool root = ::geteuid() == 0;
        const uid_t owner = root ? 65534 : ::geteuid();
        const gid_t group = root ? 65534 : ::getegid();
        if (root)
            QCOMPARE(::chown(native.constData(), owner, group), 0);

        IniFile(path).WriteInteger("S", "k", 2);
        struct stat after {};
        QCOMPARE(::stat(native.constData(), &after), 0);
        QCOMPARE(after.st_mode & 07777, mode_t(0640));
        QCOMPARE(after.st_uid, owner);
        QCOMPARE(after.st_gid, group);
        QCOMPARE(IniFile(path).ReadInteger("S", "k", 0), 2);
        if (!root)
            QSKIP("the owner part needs root; the mode was checked");
    }
};

QTEST_GUILESS_MAIN(TestFileHardening)
#include "tst_filehardening.moc"
