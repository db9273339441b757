// The devices dialog as a user meets it: the file's choices shown, an INDI
// server that cannot be reached keeping what was typed, OK refusing an
// unusable value, every control named for a screen reader, and "Devices..."
// refused during a run.
#include "AppFixture.h"

#include "app/TDevicesForm.h"
#include "app/TMainForm.h"
#include "link/LinkTestSupport.h"

#include <QAccessible>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>

class TestDevicesForm : public QObject {
    Q_OBJECT
    template <typename T> static T* child(QWidget& w, const char* name) { return w.findChild<T*>(name); }

private slots:
    void unreachableServerKeepsWhatWasTyped()
    {
        AppFixture fx;
        fx.write("Tandexa.ini", "[Setup]\r\nMainCCD=1\r\n[Camera]\r\nSensorWidth=2048\r\n");
        TDevicesForm form(fx.path("Tandexa.ini"), false);
        form.show();
        QCOMPARE(child<QLineEdit>(form, "SensorWidthEdit")->text(), "2048");
        QVERIFY(child<QRadioButton>(form, "SimulatorRadio")->isChecked());
        child<QLineEdit>(form, "IndiHostEdit")->setText("127.0.0.1");
        child<QLineEdit>(form, "IndiPortEdit")->setText(QString::number(FreePort()));
        child<QComboBox>(form, "IndiCameraCombo")->setCurrentText("ZWO CCD ASI294MC Pro");
        child<QRadioButton>(form, "IndiRadio")->setChecked(true);
        auto* status = child<QLabel>(form, "LookupStatus");
        QCOMPARE(status->text(), "Looking for devices...");
        QVERIFY(child<QWidget>(form, "IndiPage")->isVisible() && !child<QWidget>(form, "SimulatorPage")->isVisible());
        QTRY_VERIFY(status->text().contains("connection refused"));
        QCOMPARE(child<QComboBox>(form, "IndiCameraCombo")->currentText(), "ZWO CCD ASI294MC Pro");
        child<QComboBox>(form, "IndiWheelCombo")->setCurrentText(TDevicesForm::OwnWheel);
        form.accept();
        QCOMPARE(form.result(), int(QDialog::Accepted));
        QVERIFY(fx.read("Tandexa.ini").startsWith("[Setup]\r\nMainCCD=1\r\n[Camera]\r\nSensorWidth=2048\r\nDriver=INDI\r\n"
                                                  "IndiHost=127.0.0.1\r\n"));
        QVERIFY(fx.read("Tandexa.ini").contains("IndiCamera=ZWO CCD ASI294MC Pro\r\nIndiWheel=\r\n[Guider]\r\n"));
    }

    void okWithAnUnusableValueStaysOpen()
    {
        AppFixture fx;
        fx.write("Tandexa.ini", "[Camera]\r\nDriver=INDI\r\nIndiPort=1\r\n");
        TDevicesForm form(fx.path("Tandexa.ini"), true);
        form.show();
        child<QLineEdit>(form, "IndiImageTimeoutEdit")->setText("0");
        child<QLineEdit>(form, "IndiHostEdit")->setText("obs-pc");
        form.accept();
        QVERIFY(form.isVisible());
        QVERIFY(child<QWidget>(form, "AdvancedPart")->isVisible());
        QVERIFY(child<QLabel>(form, "NotesLabel")->text().startsWith("Image time-out: give a number of seconds"));
        QVERIFY(child<QLabel>(form, "NotesLabel")->text().contains("apply at the next \"Connect MaxIm\""));
        QCOMPARE(fx.read("Tandexa.ini"), QByteArray("[Camera]\r\nDriver=INDI\r\nIndiPort=1\r\n"));
    }

    void everyControlHasANameAScreenReaderReads()
    {
        AppFixture fx;
        TDevicesForm form(fx.path("Tandexa.ini"), false);
        form.show();
        child<QCheckBox>(form, "AdvancedCheck")->setChecked(true);
        child<QRadioButton>(form, "Phd2Radio")->setChecked(true);
        for (QWidget* w : form.findChildren<QWidget*>()) {
            if (!qobject_cast<QLineEdit*>(w) && !qobject_cast<QComboBox*>(w) && !qobject_cast<QAbstractButton*>(w))
                continue;
            if (qobject_cast<QLineEdit*>(w) && qobject_cast<QComboBox*>(w->parentWidget()))
                continue;   // a combo's own edit: the combo carries the name
            const QString name = QAccessible::queryAccessibleInterface(w)->text(QAccessible::Name);
            QVERIFY2(!name.isEmpty(), qPrintable(w->objectName()));
        }
        QCOMPARE(QAccessible::queryAccessibleInterface(child<QLabel>(form, "Phd2PortLabel"))->text(QAccessible::Name),
                 "Port 4400");
    }

    void devicesAreNotChangedDuringARun()
    {
        AppFixture fx;
        TMainForm window(true);
        window.show();
        window.State().Running = true;
        QTest::mouseClick(window.findChild<QPushButton*>("DevicesButton"), Qt::LeftButton);
        QCOMPARE(fx.boxes, QStringList {"Sequence in progress. Can't change devices.|Error|16"});
        window.State().Running = false;
    }
};

QTEST_MAIN(TestDevicesForm)
#include "tst_devicesform.moc"
