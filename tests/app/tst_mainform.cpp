// The main window as a user meets it: first start, role layouts, fixed size,
// position, and the setup file flows through the Setup page's boxes.
#include "AppFixture.h"
#include "link/LinkTestSupport.h"
#include "WidgetLookup.h"

#include "app/FilterSetFile.h"
#include "app/TMainForm.h"
#include "platform/Error.h"
#include "platform/IniFile.h"

#include <QAbstractButton>
#include <QAccessible>
#include <QLabel>
#include <QLineEdit>
#include <QTabWidget>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTest>

class TestMainForm : public QObject {
    Q_OBJECT
private slots:
    void firstStartWithoutAnyFile()
    {
        AppFixture fx;
        {
            TMainForm form(true);
            form.show();
            QCOMPARE(child<QLineEdit>(form, "SetupFileEdit")->text(), fx.path("Default.ccd"));
            QCOMPARE(child<QLineEdit>(form, "Ip2Edit")->text(), QString());
            QCOMPARE(child<QLineEdit>(form, "PortEdit")->text(), QString("0"));
            QVERIFY(!form.SetupChanged());
            QVERIFY(!form.LoadingSetup());
            QVERIFY(form.FilterList().isEmpty());
            QVERIFY(!QFile::exists(fx.path("Default.ccd")));
            QCOMPARE(form.windowTitle(), QString("Tandexa 1"));
            QCOMPARE(form.pos(), QPoint(100, 100));
            QVERIFY(fx.boxes.isEmpty());   // a missing FilterSet.txt is no error
            QVERIFY(!form.Listening());    // port 0 is no port to listen on
            form.close();
        }
        QVERIFY(fx.dialogs.isEmpty());     // nothing changed: no save offered
        QVERIFY(QFile::exists(fx.path("FilterSet.txt")));
        QCOMPARE(fx.read("FilterSet.txt"), QByteArray());
        IniFile ini(fx.path("Tandexa.ini"));
        QCOMPARE(ini.ReadInteger("Setup", "Top", -1), 100);
        QCOMPARE(ini.ReadInteger("Setup", "Left", -1), 100);
    }

    void positionIsRestoredAndStored()
    {
        AppFixture fx;
        fx.write("Tandexa.ini", "[Setup]\r\nTop=40\r\nLeft=250\r\n");
        TMainForm form(true);
        form.show();
        QCOMPARE(form.pos(), QPoint(250, 40));
        form.move(300, 120);
        form.close();
        IniFile ini(fx.path("Tandexa.ini"));
        QCOMPARE(ini.ReadInteger("Setup", "Top", -1), 120);
        QCOMPARE(ini.ReadInteger("Setup", "Left", -1), 300);
    }

    void windowKeepsItsFixedSize()
    {
        AppFixture fx;
        TMainForm form(true);
        form.show();
        const QSize size(TMainForm::ClientWidth, TMainForm::ClientHeight);
        QCOMPARE(form.size(), size);
        form.resize(800, 600);
        QCOMPARE(form.size(), size);
        QCOMPARE(form.minimumSize(), size);
        QCOMPARE(form.maximumSize(), size);
    }

    void controlStatesAfterShow_data()
    {
        QTest::addColumn<bool>("isMainPC");
        QTest::newRow("main PC") << true;
        QTest::newRow("second PC") << false;
    }
    void controlStatesAfterShow()
    {
        QFETCH(bool, isMainPC);
        AppFixture fx;
        fx.write("Default.ccd", QString("[Setup]\r\nIpPort=%1\r\n").arg(FreePort()).toUtf8());
        TMainForm form(isMainPC);
        form.show();
        QVERIFY(child(form, "ConnectMaxImButton")->isEnabled());
        QVERIFY(!child(form, "DisconnectMaxImButton")->isEnabled());
        QVERIFY(!child(form, "StartButton")->isEnabled());
        QVERIFY(!child(form, "StopButton")->isEnabled());
        QCOMPARE(child(form, "ConnectIpButton")->isEnabled(), !isMainPC);
        QVERIFY(!child(form, "DisconnectIpButton")->isEnabled());
        QCOMPARE(child(form, "Ip2Label")->isEnabled(), !isMainPC);
        QCOMPARE(child(form, "Ip2Edit")->isEnabled(), !isMainPC);
        for (const char* name : {"PortEdit", "SetupFileEdit", "SetupButton"})
            QVERIFY2(child(form, name)->isEnabled(), name);
        QCOMPARE(child<QTabWidget>(form, "Pannello")->currentWidget(), child(form, "TSSetup"));
        QCOMPARE(form.LinkStatusText(), isMainPC ? QString("Listening for connect...") : QString());
        QCOMPARE(form.Listening(), isMainPC);
        QVERIFY(!form.windowIcon().isNull());
    }

    void componentsSitWhereTheFormSays()
    {
        AppFixture fx;
        TMainForm form(true);
        form.show();
        const struct { const char* name; QRect rect; const char* caption; } expected[] = {
            {"SetupFileEdit", {102, 60, 287, 21}, nullptr},
            {"SetupOpenButton", {388, 60, 23, 22}, nullptr},
            {"SetupSaveButton", {410, 60, 23, 22}, nullptr},
            {"Ip2Edit", {158, 126, 83, 21}, nullptr},
            {"PortEdit", {380, 126, 53, 21}, nullptr},
            {"ConnectMaxImButton", {18, 212, 139, 25}, "Connect MaxIm"},
            {"DisconnectMaxImButton", {18, 244, 139, 25}, "Disconnect MaxIm"},
            {"ConnectIpButton", {164, 212, 145, 25}, "Connect to main PC"},
            {"DisconnectIpButton", {164, 244, 145, 25}, "Disconnect from main"},
            {"SetupButton", {346, 244, 89, 25}, "Setup..."},
            {"StartButton", {208, 260, 111, 25}, "Start sequence"},
            {"StopButton", {322, 260, 111, 25}, "Stop sequence"},
            {"StatusText", {22, 266, 173, 17}, nullptr},
        };
        for (const auto& e : expected) {
            QWidget* w = child(form, e.name);
            QVERIFY2(w->geometry() == e.rect, e.name);
            if (e.caption)
                QCOMPARE(qobject_cast<QAbstractButton*>(w)->text(), QString(e.caption));
            if (auto* button = qobject_cast<QAbstractButton*>(w))
                QVERIFY2(!button->icon().isNull(), e.name);
        }
        QCOMPARE(child<QLabel>(form, "Label1")->text(), QString("Setup file name"));
        QCOMPARE(child<QLabel>(form, "Ip2Label")->text(), QString("Main camera pc ip-address"));
        QCOMPARE(child<QLabel>(form, "Label2")->text(), QString("Communication port"));
        QCOMPARE(child(form, "Pannello")->geometry(), QRect(0, 0, 464, 319));
        // Tab order of the Setup page.
        QStringList order;
        QWidget* w = child(form, "ConnectMaxImButton");
        for (int i = 0; i < 8; ++i, w = w->nextInFocusChain()) {
            while (!(w->focusPolicy() & Qt::TabFocus) || !w->isVisibleTo(&form) || w->objectName().isEmpty()
                   || w->objectName().startsWith("qt_"))
                w = w->nextInFocusChain();
            order << w->objectName();
        }
        QCOMPARE(order, QStringList({"ConnectMaxImButton", "DisconnectMaxImButton", "SetupFileEdit", "Ip2Edit",
                                     "ConnectIpButton", "DisconnectIpButton", "PortEdit", "SetupButton"}));
    }

    void anEndlessSettingsOrSetupFileIsReportedAndStartUpGoesOn_data()
    {
        QTest::addColumn<QString>("name");
        QTest::newRow("settings file") << "Tandexa.ini";
        QTest::newRow("setup file") << "Default.ccd";
    }
    void anEndlessSettingsOrSetupFileIsReportedAndStartUpGoesOn()
    {
        QFETCH(QString, name);
        AppFixture fx;
        QVERIFY(QFile::link("/dev/zero", fx.path(name)));
        TMainForm form(true);
        form.show();
        QCOMPARE(fx.boxes.size(), 1);
        QVERIFY2(fx.boxes[0].contains(fx.path(name)) && fx.boxes[0].endsWith("|Tandexa 1|16"),
                 qPrintable(fx.boxes[0]));
        QCOMPARE(form.LinkStatusText(), QString("Listening for connect..."));   // the role was applied
        auto* portEdit = child<QLineEdit>(form, "PortEdit");
        QTest::keyClicks(portEdit, "1");
        QVERIFY(form.SetupChanged());   // and the boxes take edits
    }

    void onlyTheControlsOfTheSetupPageTakeTheTabFocus()
    {
        // The eight controls of the classic page, "Devices..." beside
        // "Setup..." and the option for second PCs; the small setup-file
        // buttons are speed buttons: clickable, never focused.
        AppFixture fx;
        TMainForm form(false);
        form.show();
        QStringList focusable;
        for (QWidget* w : child(form, "TSSetup")->findChildren<QWidget*>()) {
            if ((w->focusPolicy() & Qt::TabFocus) && !w->objectName().startsWith("qt_"))
                focusable << w->objectName();
        }
        focusable.sort();
        QStringList expected({"ConnectMaxImButton", "DisconnectMaxImButton", "SetupFileEdit", "Ip2Edit",
                              "ConnectIpButton", "DisconnectIpButton", "PortEdit", "SetupButton", "DevicesButton", "CBHoldDither"});
        expected.sort();
        QCOMPARE(focusable, expected);
    }

    void screenReadersHearTheCurrentStatusTexts()
    {
        AppFixture fx;
        const int port = FreePort();
        fx.write("Default.ccd", QString("[Setup]\r\nIpPort=%1\r\n").arg(port).toUtf8());
        TMainForm form(true);
        form.show();
        const auto spoken = [&](const char* name, QAccessible::Text what) {
            QAccessibleInterface* a = QAccessible::queryAccessibleInterface(child(form, name));
            return a ? a->text(what) : QString("(no interface)");
        };
        QCOMPARE(spoken("SBarPanel0", QAccessible::Name), QString("Listening for connect..."));
        QCOMPARE(spoken("SBarPanel0", QAccessible::Description), QString("Link status"));
        QTcpSocket peer;
        peer.connectToHost(QHostAddress::LocalHost, quint16(port));
        QTRY_COMPARE(form.LinkStatusText(), QString("Connect to: 127.0.0.1"));
        QCOMPARE(spoken("SBarPanel0", QAccessible::Name), QString("Connect to: 127.0.0.1"));

        QCOMPARE(spoken("StatusText", QAccessible::Description), QString("Run status"));
        form.StopButtonClick();
        QCOMPARE(child<QLabel>(form, "StatusText")->text(), QString("User break"));
        QCOMPARE(spoken("StatusText", QAccessible::Name), QString("User break"));
    }

    void typingInThePortBoxMovesTheListenerAndAsksWhereToSave()
    {
        AppFixture fx;
        const int port = FreePort();
        TMainForm form(true);
        form.show();
        auto* portEdit = child<QLineEdit>(form, "PortEdit");
        portEdit->clear();
        QTest::keyClicks(portEdit, QString::number(port));
        QVERIFY(form.SetupChanged());
        QCOMPARE(form.PeerPort(), port);
        QTcpSocket peer;
        peer.connectToHost(QHostAddress::LocalHost, quint16(port));
        QVERIFY(peer.waitForConnected(2000));

        fx.dialogAnswers.push_back(fx.path("Observatory.cd1"));
        QTest::mouseClick(child<QAbstractButton>(form, "SetupSaveButton"), Qt::LeftButton);
        QCOMPARE(fx.dialogs, QStringList({"Save:" + fx.path("Default.ccd")}));
        QVERIFY(!form.SetupChanged());
        QCOMPARE(child<QLineEdit>(form, "SetupFileEdit")->text(), fx.path("Observatory.cd1"));
        IniFile saved(fx.path("Observatory.cd1"));
        QCOMPARE(saved.ReadInteger("Setup", "IpPort", -1), port);
        QCOMPARE(saved.ReadString("Setup", "Ip2Address", "x"), QString());
    }

    void saveWithoutEditsRewritesTheCurrentFileSilently()
    {
        AppFixture fx;
        fx.write("Default.ccd", "[Setup]\r\nIp2Address=192.168.1.20\r\nIpPort=2000\r\n[Mine]\r\nKeep=yes\r\n");
        TMainForm form(false);
        form.show();
        QCOMPARE(form.PeerAddress(), QString("192.168.1.20"));
        QCOMPARE(child<QLineEdit>(form, "PortEdit")->text(), QString("2000"));
        QTest::mouseClick(child<QAbstractButton>(form, "SetupSaveButton"), Qt::LeftButton);
        QVERIFY(fx.dialogs.isEmpty());
        IniFile ini(fx.path("Default.ccd"));
        QCOMPARE(ini.ReadString("Mine", "Keep", ""), QString("yes"));
        QCOMPARE(ini.ReadInteger("Setup", "IpPort", 0), 2000);
    }

    void anEmptiedBoxKeepsTheStoredValue()
    {
        AppFixture fx;
        fx.write("Default.ccd", "[Setup]\r\nIp2Address=10.1.1.1\r\nIpPort=2001\r\n");
        TMainForm form(false);
        form.show();
        child<QLineEdit>(form, "Ip2Edit")->clear();
        QVERIFY(form.SetupChanged());
        QCOMPARE(form.PeerAddress(), QString("10.1.1.1"));
        fx.dialogAnswers.push_back(fx.path("Default.ccd"));
        form.SaveSetup();
        QCOMPARE(IniFile(fx.path("Default.ccd")).ReadString("Setup", "Ip2Address", ""), QString("10.1.1.1"));
    }

    void aPortThatIsNoIntegerIsReportedAndIgnored()
    {
        AppFixture fx;
        TMainForm form(true);
        form.show();
        child<QLineEdit>(form, "PortEdit")->setText("99999999999");
        QCOMPARE(fx.boxes, QStringList({"'99999999999' is not a valid integer value.|Tandexa 1|16"}));
        QCOMPARE(form.PeerPort(), 0);
        QVERIFY(!form.SetupChanged());
    }

    void openingALoadsItsValuesAndCancelChangesNothing()
    {
        AppFixture fx;
        fx.write("Other.ccd", "[setup]\r\nip2address=10.0.0.9\r\nipport=0x7D0\r\n");
        TMainForm form(false);
        form.show();
        fx.dialogAnswers.push_back(QString());   // cancel
        QTest::mouseClick(child<QAbstractButton>(form, "SetupOpenButton"), Qt::LeftButton);
        QCOMPARE(form.SetupFileName(), fx.path("Default.ccd"));
        fx.dialogAnswers.push_back(fx.path("Other.ccd"));
        QTest::mouseClick(child<QAbstractButton>(form, "SetupOpenButton"), Qt::LeftButton);
        QCOMPARE(form.PeerAddress(), QString("10.0.0.9"));
        QCOMPARE(form.PeerPort(), 2000);
        QCOMPARE(child<QLineEdit>(form, "SetupFileEdit")->text(), fx.path("Other.ccd"));
        QVERIFY(!form.SetupChanged());   // the load's own writes into the boxes are no edits
        // A name that does not exist loads the defaults and creates nothing.
        fx.dialogAnswers.push_back(fx.path("New.ccd"));
        form.SetupOpenButtonClick();
        QCOMPARE(form.PeerAddress(), QString());
        QCOMPARE(form.PeerPort(), 0);
        QVERIFY(!QFile::exists(fx.path("New.ccd")));
        QCOMPARE(fx.dialogs.size(), 3);
    }

    void aFailedSaveIsReportedAndKeepsTheChange()
    {
        AppFixture fx;
        fx.write("Default.ccd", "[Setup]\r\nIpPort=5\r\n");
        QFile::setPermissions(fx.path("Default.ccd"), QFile::ReadOwner);
        TMainForm form(true);
        form.show();
        child<QLineEdit>(form, "PortEdit")->setText("6");
        fx.dialogAnswers.push_back(fx.path("Default.ccd"));
        QTest::mouseClick(child<QAbstractButton>(form, "SetupSaveButton"), Qt::LeftButton);
        QCOMPARE(fx.boxes.size(), 1);
        QCOMPARE(fx.boxes.first(), QString("Unable to write to %1.|Tandexa 1|16").arg(fx.path("Default.ccd")));
        QVERIFY(form.SetupChanged());
        QCOMPARE(fx.read("Default.ccd"), QByteArray("[Setup]\r\nIpPort=5\r\n"));
    }

    void closingWithAChangedSetupOffersToSaveOnce()
    {
        AppFixture fx;
        {
            TMainForm form(true);
            form.show();
            child<QLineEdit>(form, "PortEdit")->setText("2500");
            fx.dialogAnswers.push_back(QString());   // the user cancels: closing goes on
            QVERIFY(form.close());
        }
        QCOMPARE(fx.dialogs.size(), 1);
        QVERIFY(!QFile::exists(fx.path("Default.ccd")));
        QVERIFY(QFile::exists(fx.path("FilterSet.txt")));
    }

    void filterListFileIsReadAndWrittenBack()
    {
        AppFixture fx;
        fx.write("FilterSet.txt", "Red\nGreen\r\n\rBlue");
        {
            TMainForm form(true);
            form.show();
            QCOMPARE(form.FilterList(), QStringList({"Red", "Green", "", "Blue"}));
            form.close();
        }
        QCOMPARE(fx.read("FilterSet.txt"), QByteArray("Red\r\nGreen\r\n\r\nBlue\r\n"));
    }

    void filterListTextRules()
    {
        QCOMPARE(FilterSetFile::Parse(""), QStringList());
        QCOMPARE(FilterSetFile::Parse("Red\r\n"), QStringList({"Red"}));   // a final line end adds nothing
        QCOMPARE(FilterSetFile::Parse("Red\r\rBlue\n"), QStringList({"Red", "", "Blue"}));
        const char withZero[] = "Red\r\nGr\0een\r\nBlue";
        QCOMPARE(FilterSetFile::Parse(QByteArray(withZero, sizeof withZero - 1)), QStringList({"Red", "Gr"}));
        QCOMPARE(FilterSetFile::Format({}).value(), QByteArray());
        QCOMPARE(FilterSetFile::Format({"Ha", ""}).value(), QByteArray("Ha\r\n\r\n"));
        // U+FEFF starting a line is part of the name, not a byte-order mark to drop.
        QCOMPARE(FilterSetFile::Parse("Red\r\n\xEF\xBB\xBFHa\r\n"), QStringList({"Red", QString(QChar(0xFEFF)) + "Ha"}));
        QCOMPARE(FilterSetFile::Parse("\xEF\xBB\xBF\xEF\xBB\xBFHa"), QStringList({QString(QChar(0xFEFF)) + "Ha"}));
    }

    void filterListKeepsTheEncodingItWasWrittenIn_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QByteArray>("added");   // "Ölfilter" as the file would hold it
        QTest::newRow("Windows-1252") << QByteArray("Rot\r\nGr\xFCn\r\n") << QByteArray("\xD6lfilter\r\n");
        QTest::newRow("UTF-8") << QByteArray("Rot\r\nGr\xC3\xBCn\r\n") << QByteArray("\xC3\x96lfilter\r\n");
        QTest::newRow("UTF-8 with byte-order mark")
            << QByteArray("\xEF\xBB\xBFRot\r\nGr\xC3\xBCn\r\n") << QByteArray("\xC3\x96lfilter\r\n");
    }
    void filterListKeepsTheEncodingItWasWrittenIn()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(QByteArray, added);
        AppFixture fx;
        fx.write("FilterSet.txt", bytes);
        const QString path = fx.path("FilterSet.txt");
        QStringList names = FilterSetFile::Load(path);
        QCOMPARE(names, QStringList({"Rot", QString::fromUtf8("Grün")}));
        FilterSetFile::Save(path, names);
        QCOMPARE(fx.read("FilterSet.txt"), bytes);
        names << QString::fromUtf8("Ölfilter");
        FilterSetFile::Save(path, names);
        QCOMPARE(fx.read("FilterSet.txt"), bytes + added);
        if (QByteArray(QTest::currentDataTag()) == "Windows-1252") {
            try {
                FilterSetFile::Save(path, {QString::fromUtf8("Hα")});
                QFAIL("saved a character Windows-1252 cannot hold");
            } catch (const Error& e) {
                QVERIFY2(e.message().startsWith("Cannot create file " + path) && e.message().contains("U+03B1"),
                         qPrintable(e.message()));
            }
            QCOMPARE(fx.read("FilterSet.txt"), bytes + added);
        }
    }

    void closingDuringARunWritesAtOnceAndEndsAfterTheRun()
    {
        AppFixture fx;
        TMainForm form(true);
        form.show();
        form.FilterList() = QStringList({"Red"});
        form.State().Running = true;   // as inside the Start click
        QVERIFY(!form.close());        // the window stays shown and working...
        QVERIFY(form.isVisible());
        QCOMPARE(fx.read("FilterSet.txt"), QByteArray("Red\r\n"));   // ...but everything is written now
        QVERIFY(QFile::exists(fx.path("Sequence1.seq")));
        QVERIFY(!form.State().StopRequested);   // the run is not stopped
        form.FilterList() = QStringList({"Blue"});
        form.State().Running = false;  // the run returned
        QVERIFY(form.close());
        QCOMPARE(fx.read("FilterSet.txt"), QByteArray("Red\r\n"));   // the closing steps ran once
    }

    void anUnreadableFilterListIsReported()
    {
        AppFixture fx;
        QDir(fx.dir->path()).mkdir("FilterSet.txt");   // exists, but cannot be read as a file
        TMainForm form(true);
        form.show();
        QCOMPARE(fx.boxes, QStringList({QString("Cannot open file %1.|Tandexa 1|16").arg(fx.path("FilterSet.txt"))}));
        QVERIFY(form.FilterList().isEmpty());
        QVERIFY(child(form, "ConnectMaxImButton")->isEnabled());   // the program goes on
    }
};

QTEST_MAIN(TestMainForm)
#include "tst_mainform.moc"
