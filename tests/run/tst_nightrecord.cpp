// The night's record: one line per event with its UTC time to the
// millisecond, one file per night, and a failure that is reported, not thrown.
#include "run/NightRecord.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

class TestNightRecord : public QObject {
    Q_OBJECT
private slots:
    void writesOneLinePerEvent_data()
    {
        QTest::addColumn<QString>("event");
        QTest::addColumn<QByteArray>("line");
        QTest::newRow("plain") << "Dither 3 started" << QByteArray("2026-12-08T03:04:05.006Z  Dither 3 started\r\n");
        QTest::newRow("line breaks become blanks") << "Error:\r\nno space\nleft" << QByteArray("2026-12-08T03:04:05.006Z  Error: no space left\r\n");
        QTest::newRow("UTF-8") << "Filtre « Hα »" << QString("2026-12-08T03:04:05.006Z  Filtre « Hα »\r\n").toUtf8();
    }
    void writesOneLinePerEvent()
    {
        QFETCH(QString, event);
        QFETCH(QByteArray, line);
        const QDateTime t(QDate(2026, 12, 8), QTime(3, 4, 5, 6), Qt::UTC);
        QTemporaryDir dir;
        NightRecord record(dir.path(), [t] { return t; });
        QVERIFY(record.Append(event));
        QVERIFY(record.Append(event));
        QFile f(record.Path());
        QVERIFY(f.open(QIODevice::ReadOnly));
        QCOMPARE(f.readAll(), line + line);
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files).size(), 1);
    }

    void aNightCrossingMidnightKeepsOneFile()
    {
        const QDateTime evening = QDateTime(QDate(2026, 12, 7), QTime(21, 0)).toUTC();   // local times
        const QDateTime morning = QDateTime(QDate(2026, 12, 8), QTime(5, 0)).toUTC();
        const QDateTime nextEvening = QDateTime(QDate(2026, 12, 8), QTime(19, 0)).toUTC();
        QCOMPARE(NightRecord::FileNameFor(evening), QString("Tandexa-night-2026-12-07.txt"));
        QCOMPARE(NightRecord::FileNameFor(morning), QString("Tandexa-night-2026-12-07.txt"));
        QCOMPARE(NightRecord::FileNameFor(nextEvening), QString("Tandexa-night-2026-12-08.txt"));
    }

    void aFolderThatIsGoneIsReported()
    {
        QTemporaryDir dir;
        NightRecord record(dir.filePath("gone"), [] { return QDateTime::currentDateTimeUtc(); });
        QVERIFY(!record.Append("Dither 1 started"));
        QVERIFY2(record.Error().startsWith("Unable to write the night's record " + QDir::toNativeSeparators(dir.filePath("gone"))),
                 qPrintable(record.Error()));
    }
};

QTEST_GUILESS_MAIN(TestNightRecord)
#include "tst_nightrecord.moc"
