// Process start for the restart, and the standard error box for errors no
// handler caught.
#include "app/Application.h"
#include "platform/StandardError.h"
#include "app/Common.h"
#include "platform/Error.h"
#include "platform/MessageBox.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

class TestCommon : public QObject {
    Q_OBJECT
private slots:
    void batchFilesRunThroughTheInterpreter_data()
    {
        QTest::addColumn<QString>("line");
        QTest::addColumn<bool>("batch");
        QTest::newRow("run.bat") << "run.bat" << true;
        QTest::newRow("RUN.BAT") << "RUN.BAT" << true;
        QTest::newRow("x.Bat") << "x.Bat" << true;
        QTest::newRow("prog.exe") << "prog.exe" << false;
        QTest::newRow("short") << "at" << false;
        QTest::newRow("spaces") << "/opt/My Tools/go.bat" << true;
    }
    void batchFilesRunThroughTheInterpreter()
    {
        QFETCH(QString, line);
        QFETCH(bool, batch);
        const CommandSpec spec = CommandFor(line);
        if (batch) {
            QCOMPARE(spec.program, QString("/bin/sh"));
            QCOMPARE(spec.arguments, QStringList({line}));   // the whole path is one argument
            QVERIFY(WindowsCommandLine(line).startsWith("COMMAND.COM /C \""));
            QVERIFY(WindowsCommandLine(line).endsWith(line + "\""));
        } else {
            QCOMPARE(spec.program, line);
            QVERIFY(spec.arguments.isEmpty());
            QCOMPARE(WindowsCommandLine(line), line);
        }
    }

    void runCommandStartsAProgramWhosePathHasBlanks()
    {
        QTemporaryDir dir;
        QDir().mkpath(dir.filePath("My Tools"));
        const QString script = dir.filePath("My Tools/mark.bat");
        QFile f(script);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(QString("touch '%1'\n").arg(dir.filePath("ran")).toUtf8());
        f.close();
        QVERIFY(RunCommand(nullptr, script, false, true));
        QVERIFY(QFile::exists(dir.filePath("ran")));
    }

    void aMissingProgramIsNotStartedAndTheWindowIsRestored()
    {
        QWidget owner;
        owner.show();
        QVERIFY(!RunCommand(&owner, "/no/such/program", true, false));
        QVERIFY(!owner.isMinimized());
        QVERIFY(!RunCommand(nullptr, "", false, false));
    }

    void uncaughtErrorsShowTheStandardBoxAndTheProgramGoesOn()
    {
        QStringList boxes;
        SetMessageBoxHandler([&](const QString& text, const QString& caption, int flags) {
            boxes << QString("%1|%2|%3").arg(text, caption).arg(flags);
            return 1;
        });
        SetApplicationTitle("Tandexa 2");
        bool after = false;
        QTimer::singleShot(0, [] { throw Error("Cannot open file x"); });
        QTimer::singleShot(0, [] { throw Error("Already ends."); });
        QTimer::singleShot(0, [&] { after = true; });
        QTRY_VERIFY(after);
        QCOMPARE(boxes, QStringList({"Cannot open file x.|Tandexa 2|16", "Already ends.|Tandexa 2|16"}));
        SetMessageBoxHandler(nullptr);
    }
};

int main(int argc, char** argv)
{
    Application app(argc, argv);   // the real application, with its error box
    TestCommon test;
    return QTest::qExec(&test, argc, argv);
}
#include "tst_common.moc"
