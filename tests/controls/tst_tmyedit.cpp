// The validating edit on a real widget: keys typed with QTest reach the
// filters, the text is rewritten after each key, and leaving an invalid field
// beeps and takes the focus back.
#include "controls/TMyEdit.h"
#include "platform/Beep.h"
#include "platform/LocaleInfo.h"

#include <QApplication>
#include <QClipboard>
#include <QSignalSpy>
#include <QVBoxLayout>
#include <QtTest>

class TestTMyEdit : public QObject {
    Q_OBJECT

    QWidget* window = nullptr;
    TMyEdit* edit = nullptr;
    TMyEdit* other = nullptr;
    int beeps = 0;

private slots:
    void init()
    {
        SetDecimalSeparator(u'.');
        SetDateSeparator(u'/');
        SetShortDateFormat(QStringLiteral("dd/MM/yyyy"));
        beeps = 0;
        SetBeepHandler([this] { ++beeps; });
        window = new QWidget;
        auto* layout = new QVBoxLayout(window);
        edit = new TMyEdit(window);
        other = new TMyEdit(window);
        edit->setObjectName("edit");
        other->setObjectName("other");
        layout->addWidget(edit);
        layout->addWidget(other);
        window->show();
        window->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(window));
        edit->setFocus();
        QTRY_VERIFY(edit->hasFocus());
    }

    void cleanup()
    {
        delete window;
        window = nullptr;
        SetBeepHandler({});
    }

    void shouldDiscardLettersBlanksSignsAndSeparatorInNumberField()
    {
        edit->SetCharFilter(chNumber);
        QTest::keyClicks(edit, "1a 2-+3.,x4");
        QCOMPARE(edit->text(), QString("1234"));
        QCOMPARE(beeps, 0);  // a number field drops keys silently
    }

    void shouldLetEditingKeysPassInNumberField()
    {
        edit->SetCharFilter(chNumber);
        QSignalSpy returned(edit, &QLineEdit::returnPressed);
        QTest::keyClicks(edit, "123");
        QTest::keyClick(edit, Qt::Key_Backspace);
        QTest::keyClick(edit, Qt::Key_Left);
        QTest::keyClick(edit, Qt::Key_Delete);
        QTest::keyClick(edit, Qt::Key_Return);
        QCOMPARE(edit->text(), QString("1"));
        QCOMPARE(returned.count(), 1);
    }

    void shouldDiscardPasteShortcutsInNumberFieldOnly()
    {
        QGuiApplication::clipboard()->setText("9x");
        other->setFocus();
        QTest::keyClick(other, Qt::Key_V, Qt::ControlModifier);
        QCOMPARE(other->text(), QString("9x"));  // an unfiltered field pastes

        edit->SetCharFilter(chNumber);
        edit->setFocus();
        QTest::keyClicks(edit, "12");
        QTest::keyClick(edit, Qt::Key_V, Qt::ControlModifier);
        QTest::keyClick(edit, Qt::Key_Insert, Qt::ShiftModifier);
        QTest::keyClick(edit, Qt::Key_A, Qt::ControlModifier);
        QTest::keyClick(edit, Qt::Key_X, Qt::ControlModifier);
        QCOMPARE(edit->text(), QString("12"));
    }

    void shouldAcceptRepeatedCommaSeparatorsInDecimalField()
    {
        SetDecimalSeparator(u',');
        edit->SetCharFilter(chDecimal);
        QTest::keyClicks(edit, "1,2.,3-e");
        QCOMPARE(edit->text(), QString("1,2,3"));
    }

    void shouldTypeDateKeyByKey()
    {
        edit->SetCharFilter(chDate);
        edit->SetDateAge(dt2000);
        QTest::keyClicks(edit, "1205081");
        QCOMPARE(edit->text(), QString("12/05/2008"));
        QCOMPARE(edit->cursorPosition(), 10);
        QCOMPARE(beeps, 1);  // the fifth year digit
    }

    void shouldFillNineteenHundredsAndRejectBadDigits()
    {
        edit->SetCharFilter(chDate);
        edit->SetDateAge(dt1900);
        QTest::keyClicks(edit, "5a17");
        // 5 completes the day; a is refused; 1 starts the month; 7 is no month 17.
        QCOMPARE(edit->text(), QString("5/1"));
        QCOMPARE(beeps, 2);
        QTest::keyClicks(edit, "2");
        QCOMPARE(edit->text(), QString("5/12/19"));
    }

    void shouldStartNewDateOverWholeSelection()
    {
        edit->SetCharFilter(chDate);
        edit->SetDateAge(dtNone);
        QTest::keyClicks(edit, "1205");
        QCOMPARE(edit->text(), QString("12/05/"));
        edit->selectAll();
        QTest::keyClicks(edit, "7");
        QCOMPARE(edit->text(), QString("7/"));
    }

    void shouldRewriteCapitalsAfterEachKey()
    {
        edit->SetCharFilter(chFirstCapCong);
        QTest::keyClicks(edit, "via dell'orto");
        QCOMPARE(edit->text(), QString("Via dell'Orto"));
        QCOMPARE(edit->cursorPosition(), 13);

        other->SetCharFilter(chAllCaps);
        other->setFocus();
        QTest::keyClicks(other, "sp");
        QTest::sendKeyEvent(QTest::Press, other, Qt::Key_unknown, QString(u'\u00e9'),
                            Qt::NoModifier);
        QTest::sendKeyEvent(QTest::Release, other, Qt::Key_unknown, QString(u'\u00e9'),
                            Qt::NoModifier);
        QTest::keyClicks(other, "cial 1");
        QCOMPARE(other->text(), QString("SP\u00e9CIAL 1"));
    }

    void shouldKeepCaretWhenRewritingInTheMiddle()
    {
        edit->SetCharFilter(chFirstCap);
        QTest::keyClicks(edit, "rossi");
        QTest::keyClick(edit, Qt::Key_Home);
        QTest::keyClicks(edit, "x");
        QCOMPARE(edit->text(), QString("Xrossi"));
        QCOMPARE(edit->cursorPosition(), 1);
    }

    void shouldClearTextAndBoundsWhenFilterChanges()
    {
        edit->setText("abc");
        edit->SetCharFilter(chDefault);  // unchanged filter: nothing happens
        QCOMPARE(edit->text(), QString("abc"));
        edit->SetCharFilter(chNumber);
        QCOMPARE(edit->text(), QString());
        QCOMPARE(edit->DateAge(), dtNone);
        edit->SetMinValue(1);
        edit->SetMaxValue(10);
        edit->SetCharFilter(chDecimal);
        QVERIFY(!edit->MinValue().isValid());
        QVERIFY(!edit->MaxValue().isValid());
        edit->SetCharFilter(chDate);
        QCOMPARE(edit->DateAge(), dtNone);  // the date filter keeps the age it has
    }

    void shouldTakeFilterByNameFromForm()
    {
        QVERIFY(edit->setProperty("CharFilter", QStringLiteral("chNumber")));
        QCOMPARE(edit->CharFilter(), chNumber);
        QVERIFY(other->setProperty("CharFilter", int(chDecimal)));
        QCOMPARE(other->CharFilter(), chDecimal);
        QVERIFY(other->setProperty("DateAge", QStringLiteral("dt1900")));
        QCOMPARE(other->DateAge(), dt1900);
    }

    void shouldBeepAndKeepFocusWhenLeftOutOfRange()
    {
        edit->SetCharFilter(chNumber);
        edit->SetMinValue(1);
        edit->SetMaxValue(10);
        QSignalSpy exits(edit, &TMyEdit::Exit);
        QTest::keyClicks(edit, "11");
        QTest::keyClick(edit, Qt::Key_Tab);
        QTRY_VERIFY(edit->hasFocus());
        QCOMPARE(beeps, 1);
        QCOMPARE(exits.count(), 1);
        QTest::qWait(50);
        QVERIFY(edit->hasFocus());
        QCOMPARE(beeps, 1);
    }

    void shouldLetFocusGoWhenValidOrEmpty()
    {
        edit->SetCharFilter(chNumber);
        edit->SetMinValue(1);
        edit->SetMaxValue(10);
        QTest::keyClicks(edit, "10");
        other->setFocus(Qt::TabFocusReason);
        QTest::qWait(20);
        QVERIFY(other->hasFocus());
        edit->setFocus();
        edit->clear();
        other->setFocus(Qt::TabFocusReason);
        QTest::qWait(20);
        QVERIFY(other->hasFocus());
        QCOMPARE(beeps, 0);
    }

    void shouldNotPullFocusBetweenTwoInvalidFields()
    {
        for (TMyEdit* e : {edit, other}) {
            e->SetCharFilter(chNumber);
            e->SetMinValue(1);
            e->SetMaxValue(10);
            e->setText("99");
        }
        other->setFocus(Qt::TabFocusReason);
        QTRY_VERIFY(edit->hasFocus());
        QTest::qWait(50);
        QVERIFY(edit->hasFocus());
        QCOMPARE(beeps, 1);
    }
};

QTEST_MAIN(TestTMyEdit)
#include "tst_tmyedit.moc"
