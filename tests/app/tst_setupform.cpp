// The Setup dialog stores a changed role at once and offers a restart; an
// unchanged or cancelled choice writes nothing and asks nothing.
#include "AppFixture.h"

#include "app/TMainForm.h"
#include "app/TSetupForm.h"
#include "platform/IniFile.h"

#include <QPushButton>
#include <QRadioButton>
#include <QTest>
#include <QTimer>
#include <functional>

namespace {
// Acts on the Setup dialog once it is open (it runs its own modal loop).
void whenDialogOpens(const std::function<void(TSetupForm&)>& act)
{
    QTimer::singleShot(0, [act] {
        auto* dialog = qobject_cast<TSetupForm*>(QApplication::activeModalWidget());
        if (!dialog) {
            whenDialogOpens(act);
            return;
        }
        act(*dialog);
    });
}
}

class TestSetupForm : public QObject {
    Q_OBJECT
private slots:
    void showsTheStoredRole()
    {
        AppFixture fx;
        fx.write("Tandexa.ini", "[Setup]\r\nMainCCD=0\r\n");
        TSetupForm dialog;
        QCOMPARE(dialog.windowTitle(), QString("Tandexa Setup"));
        whenDialogOpens([](TSetupForm& d) {
            QVERIFY(d.SecondPcItem()->isChecked());
            QVERIFY(!d.MainPcItem()->isChecked());
            QCOMPARE(d.MainPcItem()->text(), QString("1 PC with ccd camera and guider"));
            QCOMPARE(d.SecondPcItem()->text(), QString("2 PC with ccd camera synced through LAN"));
            d.CancelButton()->click();
        });
        QCOMPARE(dialog.exec(), int(QDialog::Rejected));
    }

    void okWithoutChangeAsksNothingAndWritesNothing()
    {
        AppFixture fx;
        TMainForm form(true);
        form.show();
        int launches = 0;
        form.SetRestartLauncher([&](const QString&) { return ++launches > 0; });
        whenDialogOpens([](TSetupForm& d) { QTest::mouseClick(d.OkButton(), Qt::LeftButton); });
        form.SetupButtonClick();
        QVERIFY(fx.boxes.isEmpty());
        QCOMPARE(launches, 0);
        QCOMPARE(IniFile(fx.path("Tandexa.ini")).ReadString("Setup", "MainCCD", "absent"), QString("absent"));
    }

    void changedThenCancelWritesNothing()
    {
        AppFixture fx;
        TMainForm form(true);
        form.show();
        whenDialogOpens([](TSetupForm& d) {
            d.SecondPcItem()->setChecked(true);
            QTest::keyClick(&d, Qt::Key_Escape);
        });
        form.SetupButtonClick();
        QVERIFY(fx.boxes.isEmpty());
        QVERIFY(!QFile::exists(fx.path("Tandexa.ini")) || !fx.read("Tandexa.ini").contains("MainCCD"));
    }

    void changedAndNoKeepsRunningWithTheNewRoleStored()
    {
        AppFixture fx;
        TMainForm form(true);
        form.show();
        int launches = 0;
        form.SetRestartLauncher([&](const QString&) { return ++launches > 0; });
        fx.boxAnswers.push_back(MsgBox::ResultNo);
        whenDialogOpens([](TSetupForm& d) {
            d.SecondPcItem()->setChecked(true);
            QTest::mouseClick(d.OkButton(), Qt::LeftButton);
        });
        form.SetupButtonClick();
        QCOMPARE(fx.boxes, QStringList({"Tandexa needs to restart.\rProceed?|Warning|36"}));
        QCOMPARE(fx.read("Tandexa.ini"), QByteArray("[Setup]\r\nMainCCD=0\r\n"));
        QCOMPARE(launches, 0);
        QApplication::processEvents();
        QVERIFY(form.isVisible());
        // Opened again, the dialog shows the stored (new) role.
        whenDialogOpens([](TSetupForm& d) {
            QVERIFY(d.SecondPcItem()->isChecked());
            d.CancelButton()->click();
        });
        form.SetupButtonClick();
    }

    void changedAndYesStartsTheProgramAndClosesThroughItsSteps()
    {
        AppFixture fx;
        TMainForm form(true);
        form.show();
        QString launched;
        form.SetRestartLauncher([&](const QString& program) { launched = program; return true; });
        fx.boxAnswers.push_back(MsgBox::ResultYes);
        whenDialogOpens([](TSetupForm& d) {
            d.SecondPcItem()->setChecked(true);
            QTest::mouseClick(d.OkButton(), Qt::LeftButton);
        });
        form.SetupButtonClick();
        QCOMPARE(launched, QCoreApplication::applicationFilePath());
        QVERIFY(form.isVisible());   // closes once the handler has returned
        QTRY_VERIFY(!form.isVisible());
        QVERIFY(QFile::exists(fx.path("FilterSet.txt")));   // the normal closing steps ran
        QCOMPARE(IniFile(fx.path("Tandexa.ini")).ReadBool("Setup", "MainCCD", true), false);
    }

    void anUnwritableSettingsFileIsReportedAndAsksNoRestart()
    {
        AppFixture fx;
        fx.write("Tandexa.ini", "[Setup]\r\nMainCCD=1\r\n");
        QFile::setPermissions(fx.path("Tandexa.ini"), QFile::ReadOwner);
        TSetupForm dialog;
        whenDialogOpens([](TSetupForm& d) {
            d.SecondPcItem()->setChecked(true);
            d.OkButton()->click();
        });
        QCOMPARE(dialog.exec(), int(QDialog::Rejected));
        QCOMPARE(fx.boxes, QStringList({QString("Unable to write to %1.|Tandexa 1|16").arg(fx.path("Tandexa.ini"))}));
    }
};

QTEST_MAIN(TestSetupForm)
#include "tst_setupform.moc"
