// The up-down spinner paired with a validating edit: its position and the
// edit's text follow each other, and an empty edit keeps the position.
#include "controls/TMyEdit.h"
#include "controls/TUpDown.h"

#include <QHBoxLayout>
#include <QSignalSpy>
#include <QToolButton>
#include <QtTest>

class TestTUpDown : public QObject {
    Q_OBJECT

    QWidget* window = nullptr;
    TMyEdit* edit = nullptr;
    TUpDown* upDown = nullptr;

    QToolButton* button(const char* name)
    {
        return upDown->findChild<QToolButton*>(name);
    }

private slots:
    void init()
    {
        window = new QWidget;
        auto* layout = new QHBoxLayout(window);
        edit = new TMyEdit(window);
        edit->SetCharFilter(chNumber);
        upDown = new TUpDown(window);
        layout->addWidget(edit);
        layout->addWidget(upDown);
        upDown->SetRange(1, 100);
        upDown->setAssociate(edit);
        window->show();
        window->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(window));
        edit->setFocus();
    }
    void cleanup()
    {
        delete window;
        window = nullptr;
    }

    void shouldWritePositionIntoEditOnAssociate()
    {
        QCOMPARE(upDown->Associate(), edit);
        QCOMPARE(upDown->Position(), 1);
        QCOMPARE(edit->text(), QString("1"));
    }

    void shouldWritePlainDigitsAndFireChange()
    {
        upDown->SetRange(0, 32000);
        QSignalSpy changed(edit, &QLineEdit::textChanged);
        QSignalSpy moved(upDown, &TUpDown::positionChanged);
        upDown->SetPosition(12345);
        QCOMPARE(edit->text(), QString("12345"));
        QCOMPARE(changed.count(), 1);
        QCOMPARE(moved.count(), 1);
        QCOMPARE(moved.at(0).at(0).toInt(), 12345);
    }

    void shouldStepWithArrowsWithinRange()
    {
        upDown->SetRange(1, 3);
        QTest::mouseClick(button("upButton"), Qt::LeftButton);
        QCOMPARE(edit->text(), QString("2"));
        QTest::mouseClick(button("upButton"), Qt::LeftButton);
        QTest::mouseClick(button("upButton"), Qt::LeftButton);
        QCOMPARE(upDown->Position(), 3);
        QCOMPARE(edit->text(), QString("3"));
        for (int i = 0; i < 5; ++i)
            QTest::mouseClick(button("downButton"), Qt::LeftButton);
        QCOMPARE(upDown->Position(), 1);
        QCOMPARE(edit->text(), QString("1"));
        QVERIFY(edit->hasFocus());  // the arrows leave the focus in the edit
    }

    void shouldStepWithArrowKeysInEdit()
    {
        upDown->SetIncrement(5);
        QTest::keyClick(edit, Qt::Key_Up);
        QCOMPARE(edit->text(), QString("6"));
        QTest::keyClick(edit, Qt::Key_Down);
        QTest::keyClick(edit, Qt::Key_Down);
        QCOMPARE(edit->text(), QString("1"));
    }

    void shouldFollowTypedNumber()
    {
        edit->clear();
        QTest::keyClicks(edit, "42");
        QCOMPARE(upDown->Position(), 42);
        QTest::mouseClick(button("upButton"), Qt::LeftButton);
        QCOMPARE(edit->text(), QString("43"));
    }

    void shouldKeepPositionWhenEditIsEmpty()
    {
        upDown->SetPosition(7);
        edit->clear();
        QCOMPARE(edit->text(), QString());
        QCOMPARE(upDown->Position(), 7);
        upDown->SetPosition(7);  // setting the same position shows it again
        QCOMPARE(edit->text(), QString("7"));
        edit->clear();
        QTest::mouseClick(button("upButton"), Qt::LeftButton);
        QCOMPARE(edit->text(), QString("8"));
    }

    void shouldClampTypedValueAndShowItWhenLeft()
    {
        edit->clear();
        QTest::keyClicks(edit, "500");
        QCOMPARE(upDown->Position(), 100);
        QCOMPARE(edit->text(), QString("500"));  // what is typed stays while typing
        QTest::keyClick(edit, Qt::Key_Return);
        QCOMPARE(edit->text(), QString("100"));
        edit->setText("99999999999999999999999");
        QCOMPARE(upDown->Position(), 100);
        edit->setText("0");
        QCOMPARE(upDown->Position(), 1);
        edit->setText("abc");
        QCOMPARE(upDown->Position(), 1);
    }

    void shouldHoldSixteenBitRange()
    {
        upDown->SetRange(-70000, 70000);
        QCOMPARE(upDown->Min(), -32768);
        QCOMPARE(upDown->Max(), 32767);
        upDown->SetPosition(70000);
        QCOMPARE(upDown->Position(), 32767);
        QTest::mouseClick(button("upButton"), Qt::LeftButton);
        QCOMPARE(upDown->Position(), 32767);
    }

    void shouldPullPositionIntoNewRange()
    {
        upDown->SetPosition(50);
        upDown->SetMax(10);
        QCOMPARE(upDown->Position(), 10);
        QCOMPARE(edit->text(), QString("10"));
        upDown->SetMin(20);  // a range the wrong way round still holds
        QCOMPARE(upDown->Position(), 10);
        upDown->SetRange(20, 30);
        QCOMPARE(upDown->Position(), 20);
    }

    void shouldTakeValuesFromFormProperties()
    {
        QVERIFY(upDown->setProperty("Max", 32000));
        QVERIFY(upDown->setProperty("Position", 1000));
        QCOMPARE(edit->text(), QString("1000"));
    }

    void shouldSurviveDeletedOrChangedAssociate()
    {
        auto* second = new TMyEdit(window);
        upDown->setAssociate(second);
        QCOMPARE(second->text(), QString("1"));
        edit->setText("55");
        QCOMPARE(upDown->Position(), 1);  // the old edit no longer moves it
        delete second;
        QCOMPARE(upDown->Associate(), nullptr);
        upDown->StepUp();
        QCOMPARE(upDown->Position(), 2);
    }
};

QTEST_MAIN(TestTUpDown)
#include "tst_tupdown.moc"
