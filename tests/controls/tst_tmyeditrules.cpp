// The edit's key and range decisions without a widget.
#include "controls/TMyEditRules.h"
#include "controls/TStringCaps.h"
#include "platform/Beep.h"
#include "platform/LocaleInfo.h"

#include <QDate>
#include <QtTest>

class TestTMyEditRules : public QObject {
    Q_OBJECT

    TStringCaps caps;

    TKeyDecision::Action press(CharFilterType f, QChar c, const QString& text = QString())
    {
        return TMyEditRules::KeyPress(f, dtNone, c, text, int(text.size()), int(text.size()), caps)
            .action;
    }

private slots:
    void init()
    {
        SetDecimalSeparator(u'.');
        SetDateSeparator(u'/');
        SetShortDateFormat(QStringLiteral("dd/MM/yyyy"));
        SetBeepHandler([] {});
    }
    void cleanup() { SetBeepHandler({}); }

    void numericFiltersAcceptOnlyTheirCharacters()
    {
        const QString passing = QString("0123456789") + QChar(8) + QChar(27) + QChar(9) + QChar(13);
        for (char16_t u = 0; u < 256; ++u) {
            const QChar c(u);
            const bool digitOrControl = passing.contains(c);
            QCOMPARE(press(chNumber, c) == TKeyDecision::Pass, digitOrControl);
            QCOMPARE(press(chDecimal, c) == TKeyDecision::Pass, digitOrControl || c == u'.');
            // The capitalisation filters and the default take every key.
            for (CharFilterType f : {chDefault, chFirstCap, chFirstCapCong, chOneCap, chAllCaps})
                QCOMPARE(press(f, c), TKeyDecision::Pass);
        }
    }

    void decimalFollowsLocaleSeparator()
    {
        SetDecimalSeparator(u',');
        QCOMPARE(press(chDecimal, u','), TKeyDecision::Pass);
        QCOMPARE(press(chDecimal, u'.'), TKeyDecision::Discard);
        // No check on how many separators are typed.
        QCOMPARE(press(chDecimal, u',', "1,2"), TKeyDecision::Pass);
    }

    void dateDecisions()
    {
        TKeyDecision d = TMyEditRules::KeyPress(chDate, dt2000, u'5', "12/0", 4, 4, caps);
        QCOMPARE(d.action, TKeyDecision::Replace);
        QCOMPARE(d.text, QString("12/05/20"));
        QCOMPARE(d.selStart, 8);
        QCOMPARE(d.selLength, 0);
        QCOMPARE(TMyEditRules::KeyPress(chDate, dt2000, u'0', "12/", 3, 3, caps).action,
                 TKeyDecision::Pass);
        QCOMPARE(TMyEditRules::KeyPress(chDate, dt2000, u'x', "12/", 3, 3, caps).action,
                 TKeyDecision::Discard);
        // The whole text selected and a first day digit: the edit replaces it.
        QCOMPARE(TMyEditRules::KeyPress(chDate, dt2000, u'1', "12/05", 0, 5, caps).action,
                 TKeyDecision::Pass);
    }

    void numberRange_data()
    {
        QTest::addColumn<int>("filter");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QVariant>("minValue");
        QTest::addColumn<QVariant>("maxValue");
        QTest::addColumn<bool>("valid");
        const QVariant unset;
        QTest::newRow("empty is valid") << int(chNumber) << "" << QVariant(1) << QVariant(10) << true;
        QTest::newRow("inside") << int(chNumber) << "10" << QVariant(1) << QVariant(10) << true;
        QTest::newRow("above") << int(chNumber) << "11" << QVariant(1) << QVariant(10) << false;
        QTest::newRow("below") << int(chNumber) << "0" << QVariant(1) << QVariant(10) << false;
        QTest::newRow("no bounds") << int(chNumber) << "99999" << unset << unset << true;
        QTest::newRow("only minimum, above it") << int(chNumber) << "7" << QVariant(5) << unset << true;
        QTest::newRow("only minimum, below it") << int(chNumber) << "4" << QVariant(5) << unset << false;
        QTest::newRow("only maximum") << int(chNumber) << "-3" << unset << QVariant(5) << true;
        QTest::newRow("empty text bound is unset") << int(chNumber) << "70" << QVariant("") << QVariant(50) << false;
        QTest::newRow("not a number") << int(chNumber) << "1,2" << QVariant(1) << QVariant(10) << false;
        QTest::newRow("too large") << int(chNumber) << "99999999999999999999" << QVariant(1) << unset << false;
        QTest::newRow("decimal fraction inside") << int(chDecimal) << "2.5" << QVariant(1) << QVariant(10) << true;
        QTest::newRow("decimal fraction above") << int(chDecimal) << "10.5" << QVariant(1) << QVariant(10) << false;
        QTest::newRow("decimal two separators") << int(chDecimal) << "1.2.3" << QVariant(1) << QVariant(10) << false;
        QTest::newRow("bound as text") << int(chDecimal) << "3" << QVariant("2.5") << QVariant("3.5") << true;
        QTest::newRow("default filter ignores bounds") << int(chDefault) << "abc" << QVariant(1) << QVariant(2) << true;
        QTest::newRow("caps filter ignores bounds") << int(chAllCaps) << "99" << QVariant(1) << QVariant(2) << true;
    }

    void numberRange()
    {
        QFETCH(int, filter);
        QFETCH(QString, text);
        QFETCH(QVariant, minValue);
        QFETCH(QVariant, maxValue);
        QFETCH(bool, valid);
        QCOMPARE(TMyEditRules::ValidData(CharFilterType(filter), text, minValue, maxValue), valid);
    }

    void decimalRangeInCommaLocale()
    {
        SetDecimalSeparator(u',');
        QVERIFY(TMyEditRules::ValidData(chDecimal, "2,5", 1, 10));
        QVERIFY(!TMyEditRules::ValidData(chDecimal, "2.5", 1, 10));
        QVERIFY(!TMyEditRules::ValidData(chDecimal, "0,5", 1, 10));
    }

    void dateRange()
    {
        const QVariant lo = QDate(2008, 1, 1);
        const QVariant hi = QDate(2008, 12, 31);
        QVERIFY(TMyEditRules::ValidData(chDate, "12/05/2008", lo, hi));
        QVERIFY(TMyEditRules::ValidData(chDate, "1/5/2008", lo, hi));
        QVERIFY(!TMyEditRules::ValidData(chDate, "31/12/2007", lo, hi));
        QVERIFY(!TMyEditRules::ValidData(chDate, "01/01/2009", lo, hi));
        QVERIFY(!TMyEditRules::ValidData(chDate, "31/02/2008", lo, hi));  // no such day
        QVERIFY(!TMyEditRules::ValidData(chDate, "12/05/", lo, hi));
        QVERIFY(TMyEditRules::ValidData(chDate, "31/02/2008", QVariant(), QVariant()));
        // Bounds given as text, in the locale's order.
        QVERIFY(TMyEditRules::ValidData(chDate, "02/01/2008", "01/01/2008", QVariant()));
        QVERIFY(!TMyEditRules::ValidData(chDate, "31/12/2007", "01/01/2008", QVariant()));
        SetShortDateFormat(QStringLiteral("M/d/yyyy"));
        QVERIFY(TMyEditRules::ValidData(chDate, "12/31/2008", lo, hi));
        QVERIFY(!TMyEditRules::ValidData(chDate, "31/12/2008", lo, hi));
    }
};

QTEST_GUILESS_MAIN(TestTMyEditRules)
#include "tst_tmyeditrules.moc"
