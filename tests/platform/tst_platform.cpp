// Program directory rules, integer conversion and the seams' defaults.
#include "platform/Convert.h"
#include "platform/Error.h"
#include "platform/MessageBox.h"
#include "platform/ProgramDir.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>

class TestPlatform : public QObject {
    Q_OBJECT
private slots:
    void directoryOfExecutable_data()
    {
        QTest::addColumn<QString>("exe");
        QTest::addColumn<QString>("dir");
        QTest::newRow("drive root") << "C:\\Tandexa.exe" << "C:";
        QTest::newRow("folder") << "C:\\Tools\\Tandexa.exe" << "C:\\Tools";
        QTest::newRow("folder with blank") << "D:\\My Tools\\Tandexa.exe" << "D:\\My Tools";
        QTest::newRow("drive without separator") << "C:Tandexa.exe" << "C:";
        QTest::newRow("unix") << "/usr/local/bin/tandexa" << "/usr/local/bin";
        QTest::newRow("unix root") << "/tandexa" << "";
        QTest::newRow("bare name") << "tandexa" << "";
    }
    void directoryOfExecutable()
    {
        QFETCH(QString, exe);
        QFETCH(QString, dir);
        QCOMPARE(DirectoryOfExecutable(exe), dir);
    }

    void programFilesLiveInTheProgramDirectory()
    {
        QTemporaryDir tmp;
        const QString exe = tmp.filePath(QStringLiteral("tandexa"));
        QCOMPARE(ResolveProgramDir(exe), tmp.path());
        SetProgramDir(ResolveProgramDir(exe));
        QCOMPARE(ProgramFile(QStringLiteral("Tandexa.ini")), tmp.path() + QStringLiteral("/Tandexa.ini"));
    }

    void unwritableProgramDirectoryFallsBackToUserData()
    {
        // A directory that cannot exist (below a regular file) stands for a
        // system-wide install directory nobody can write, even root.
        QTemporaryDir tmp;
        QFile file(tmp.filePath(QStringLiteral("plain")));
        QVERIFY(file.open(QIODevice::WriteOnly));
        const QString resolved = ResolveProgramDir(tmp.filePath(QStringLiteral("plain/bin/tandexa")));
        QVERIFY(resolved.endsWith(QStringLiteral("/Tandexa")));
        QVERIFY(QFileInfo(resolved).isDir());
        // An installed copy uses the per-user directory even where it could
        // write its own (root running /usr/bin/tandexa).
        QVERIFY(QDir(tmp.path()).mkpath(QStringLiteral("usr/bin")));
        QVERIFY(QDir(tmp.path()).mkpath(QStringLiteral("usr/share/applications")));
        QCOMPARE(ResolveProgramDir(tmp.filePath(QStringLiteral("usr/bin/tandexa"))), tmp.filePath(QStringLiteral("usr/bin")));
        QFile entry(tmp.filePath(QStringLiteral("usr/share/applications/tandexa.desktop")));
        QVERIFY(entry.open(QIODevice::WriteOnly));
        QCOMPARE(ResolveProgramDir(tmp.filePath(QStringLiteral("usr/bin/tandexa"))), resolved);
    }

    void strToInt()
    {
        QCOMPARE(StrToInt(QStringLiteral("2000")), 2000);
        QCOMPARE(StrToInt(QStringLiteral(" -12 ")), -12);
        QCOMPARE(StrToInt(QStringLiteral("$10")), 16);
        QCOMPARE(StrToInt(QStringLiteral("0x10")), 16);
        for (const QString& bad : {QStringLiteral("99999999999"), QStringLiteral(""), QStringLiteral("1 2"),
                                   QStringLiteral("--1"), QStringLiteral("12a")}) {
            try {
                StrToInt(bad);
                QFAIL(qPrintable(QStringLiteral("accepted '%1'").arg(bad)));
            } catch (const Error& e) {
                QCOMPARE(e.message(), QStringLiteral("'%1' is not a valid integer value").arg(bad));
            }
        }
    }

    void tryStrToIntFollowsItsRulesExactly_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("value");   // -999 for "no number"
        QTest::newRow("decimal") << "2000" << 2000;
        QTest::newRow("blanks around") << " \t-12 " << -12;
        QTest::newRow("plus") << "+7" << 7;
        QTest::newRow("dollar hex") << "$1f" << 31;
        QTest::newRow("0X hex") << "-0X10" << -16;
        QTest::newRow("smallest") << "-2147483648" << int(-2147483647 - 1);
        QTest::newRow("largest") << "2147483647" << 2147483647;
        QTest::newRow("past largest") << "2147483648" << -999;
        QTest::newRow("two prefixes") << "0x0x10" << -999;
        QTest::newRow("dollar and 0x") << "$0x10" << -999;
        QTest::newRow("blank after sign") << "-\t5" << -999;
        QTest::newRow("blank after prefix") << "0x\t5" << -999;
        QTest::newRow("prefix alone") << "0x" << -999;
        QTest::newRow("hex digit in decimal") << "1a" << -999;
        QTest::newRow("zero byte") << QString::fromLatin1("00\0" "7", 4) << -999;
        QTest::newRow("two signs") << "+-1" << -999;
        QTest::newRow("inner blank") << "1 2" << -999;
        QTest::newRow("Arabic-Indic digit") << QString::fromUtf8("\u0663") << -999;
    }
    void tryStrToIntFollowsItsRulesExactly()
    {
        QFETCH(QString, text);
        QFETCH(int, value);
        const std::optional<int> got = TryStrToInt(text);
        if (value == -999)
            QVERIFY2(!got, qPrintable(QStringLiteral("gave %1").arg(got.value_or(0))));
        else
            QCOMPARE(got, std::optional<int>(value));
    }

    void messageBoxGoesThroughTheInstalledHandler()
    {
        QString seen;
        auto previous = SetMessageBoxHandler([&](const QString& text, const QString& caption, int flags) {
            seen = QStringLiteral("%1|%2|%3").arg(text, caption).arg(flags);
            return MsgBox::ResultYes;
        });
        QCOMPARE(ShowMessageBox("Delete current item?", "Advice", MsgBox::QuestionYesNo), MsgBox::ResultYes);
        QCOMPARE(seen, QString("Delete current item?|Advice|36"));
        SetMessageBoxHandler(previous);
        // Without a handler a question is answered No, never a silent Yes.
        SetMessageBoxHandler(nullptr);
        QCOMPARE(ShowMessageBox("Overwrite?", "Warning", MsgBox::QuestionYesNo), MsgBox::ResultNo);
        QCOMPARE(ShowMessageBox("Note", "Error", MsgBox::ErrorOk), MsgBox::ResultOk);
    }
};

QTEST_GUILESS_MAIN(TestPlatform)
#include "tst_platform.moc"
