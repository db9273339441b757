// The setup record without a window: loading, the edit rule with its flags,
// and saving.
#include "app/SetupFile.h"
#include "platform/Error.h"

#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

class TestSetupFile : public QObject {
    Q_OBJECT
    QTemporaryDir dir;

    QString write(const char* name, const QByteArray& bytes)
    {
        QFile f(dir.filePath(name));
        f.open(QIODevice::WriteOnly | QIODevice::Truncate);
        f.write(bytes);
        return f.fileName();
    }

private slots:
    void loadsKeysOrDefaults_data()
    {
        QTest::addColumn<QByteArray>("text");
        QTest::addColumn<QString>("address");
        QTest::addColumn<int>("port");
        QTest::newRow("both keys") << QByteArray("[Setup]\r\nIp2Address=192.0.2.7\r\nIpPort=4001\r\n") << "192.0.2.7" << 4001;
        QTest::newRow("hex port, other section") << QByteArray("[Other]\nIpPort=1\n[setup]\nIpPort=0x10\n") << "" << 16;
        QTest::newRow("unreadable port") << QByteArray("[Setup]\nIpPort=12ab\n") << "" << 0;
        QTest::newRow("empty file") << QByteArray() << "" << 0;
    }
    void loadsKeysOrDefaults()
    {
        QFETCH(QByteArray, text);
        SetupFile setup;
        setup.PeerPort = 99;
        const QString path = write("a.ccd", text);
        setup.Load(path);
        QCOMPARE(setup.FileName, path);
        QTEST(setup.PeerAddress, "address");
        QTEST(setup.PeerPort, "port");
        QVERIFY(setup.Loading);   // the window ends the load once its boxes are filled
    }

    void anUnreadableFileChangesNothing()
    {
        const QString link = dir.filePath("zero.ccd");
        QVERIFY(QFile::link("/dev/zero", link));
        SetupFile setup;
        setup.FileName = "kept.ccd";
        setup.PeerPort = 5;
        QVERIFY_THROWS_EXCEPTION(Error, setup.Load(link));
        QCOMPARE(setup.FileName, QString("kept.ccd"));
        QCOMPARE(setup.PeerPort, 5);
    }

    void editsAreTakenOnlyOutsideALoad()
    {
        SetupFile setup;
        QVERIFY(!setup.TakeEdits("x.ccd", "h", "1"));
        QVERIFY(!setup.Changed && setup.FileName.isEmpty());
        setup.Loading = false;
        setup.PeerAddress = "kept";
        setup.PeerPort = 7;
        QVERIFY(setup.TakeEdits("x.ccd", "", ""));   // an empty box keeps its field
        QCOMPARE(setup.FileName, QString("x.ccd"));
        QCOMPARE(setup.PeerAddress, QString("kept"));
        QCOMPARE(setup.PeerPort, 7);
        QVERIFY(setup.Changed);

        setup.Changed = false;
        try {
            setup.TakeEdits("y.ccd", "host", "12x");
            QFAIL("no error for a bad port");
        } catch (const Error& e) {
            QCOMPARE(e.message(), QString("'12x' is not a valid integer value"));
        }
        QCOMPARE(setup.FileName, QString("y.ccd"));
        QCOMPARE(setup.PeerAddress, QString("host"));
        QCOMPARE(setup.PeerPort, 7);
        QVERIFY(!setup.Changed);
    }

    void savesBothKeysAndClearsChanged()
    {
        SetupFile setup;
        setup.FileName = write("b.cd1", "; mine\r\n[Setup]\r\nIpPort=1\r\n");
        setup.PeerAddress = "192.0.2.9";
        setup.PeerPort = 4400;
        setup.Changed = true;
        setup.Save();
        QVERIFY(!setup.Changed);
        QFile f(setup.FileName);
        QVERIFY(f.open(QIODevice::ReadOnly));
        QCOMPARE(f.readAll(), QByteArray("; mine\r\n[Setup]\r\nIpPort=4400\r\nIp2Address=192.0.2.9\r\n"));

        QFile::setPermissions(setup.FileName, QFile::ReadOwner);
        setup.Changed = true;
        QVERIFY_THROWS_EXCEPTION(Error, setup.Save());
        QVERIFY(setup.Changed);
    }
};

QTEST_GUILESS_MAIN(TestSetupFile)
#include "tst_setupfile.moc"
