// Decimal4 conversions and the item line of a sequence file.
#include "sequence/Decimal4.h"
#include "sequence/SequenceItemLine.h"

#include "platform/Error.h"
#include "platform/LocaleInfo.h"

#include <QtTest>

Q_DECLARE_METATYPE(TSequenceItem)

class TestDecimal4 : public QObject {
    Q_OBJECT
private slots:
    void cleanup() { SetDecimalSeparator(QChar('.')); }

    void textConvertsExactlyAndRoundsBeyondFourDecimals_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<qint64>("count");
        QTest::newRow("whole") << "1" << qint64(10000);
        QTest::newRow("tenth is exact") << "0.1" << qint64(1000);
        QTest::newRow("2.5") << "2.5" << qint64(25000);
        QTest::newRow("below half a count") << "0.00004" << qint64(0);
        QTest::newRow("above half a count") << "0.00006" << qint64(1);
        QTest::newRow("half rounds away from zero") << "0.00005" << qint64(1);
        QTest::newRow("negative half") << "-0.00005" << qint64(-1);
        QTest::newRow("carry through nines") << "0.99996" << qint64(10000);
        QTest::newRow("blanks around") << "  3.25 " << qint64(32500);
        QTest::newRow("leading separator") << ".5" << qint64(5000);
        QTest::newRow("exponent") << "1.5e2" << qint64(1500000);
        QTest::newRow("negative exponent") << "25E-3" << qint64(250);
        QTest::newRow("largest") << "922337203685477.5807" << qint64(9223372036854775807LL);
        QTest::newRow("smallest") << "-922337203685477.5807" << qint64(-9223372036854775807LL);
        QTest::newRow("true smallest") << "-922337203685477.5808" << qint64(-9223372036854775807LL - 1);
        QTest::newRow("many leading zeros") << "000000000000000000000012" << qint64(120000);
    }
    void textConvertsExactlyAndRoundsBeyondFourDecimals()
    {
        QFETCH(QString, text);
        QFETCH(qint64, count);
        const auto value = Decimal4::FromText(text, QChar('.'));
        QVERIFY2(value.has_value(), qPrintable(text));
        QCOMPARE(value->Count(), count);
    }

    void badTextIsRefused_data()
    {
        QTest::addColumn<QString>("text");
        QTest::newRow("empty") << "";
        QTest::newRow("letters") << "abc";
        QTest::newRow("lone separator") << ".";
        QTest::newRow("two separators") << "1.2.3";
        QTest::newRow("comma in a dot locale") << "1,5";
        QTest::newRow("trailing junk") << "2.5px";
        QTest::newRow("exponent without digits") << "1e";
        QTest::newRow("too large") << "922337203685477.5808";
        QTest::newRow("far too large") << "1e30";
    }
    void badTextIsRefused()
    {
        QFETCH(QString, text);
        QVERIFY(!Decimal4::FromText(text, QChar('.')).has_value());
    }

    void localeSeparatorIsUsedBothWays()
    {
        SetDecimalSeparator(QChar(','));
        QCOMPARE(Decimal4::FromTextOrThrow("0,75").Count(), qint64(7500));
        QCOMPARE(Decimal4::FromCount(7500).ToText(), QString("0,75"));
        try {
            Decimal4::FromTextOrThrow("0.75");
            QFAIL("a dot is not the separator of this locale");
        } catch (const Error& e) {
            QCOMPARE(e.message(), QString("'0.75' is not a valid floating point value"));
        }
    }

    void generalFormatDropsTrailingZeros_data()
    {
        QTest::addColumn<qint64>("count");
        QTest::addColumn<QString>("text");
        QTest::newRow("2.5") << qint64(25000) << "2.5";
        QTest::newRow("1") << qint64(10000) << "1";
        QTest::newRow("0.0001") << qint64(1) << "0.0001";
        QTest::newRow("0") << qint64(0) << "0";
        QTest::newRow("negative") << qint64(-32500) << "-3.25";
        QTest::newRow("15 digits exact") << qint64(1234567890123450000LL) << "123456789012345";
        // All digits, so the text reads back as the same count.
        QTest::newRow("beyond 15 digits") << qint64(1234567890123456789LL) << "123456789012345.6789";
        QTest::newRow("largest") << qint64(9223372036854775807LL) << "922337203685477.5807";
        QTest::newRow("smallest") << qint64(-9223372036854775807LL - 1) << "-922337203685477.5808";
    }
    void generalFormatDropsTrailingZeros()
    {
        QFETCH(qint64, count);
        QFETCH(QString, text);
        QCOMPARE(Decimal4::FromCount(count).ToText(QChar('.')), text);
    }

    void everyTextWrittenReadsBackAsItsCount_data()
    {
        QTest::addColumn<qint64>("count");
        QTest::newRow("largest") << qint64(9223372036854775807LL);
        QTest::newRow("smallest") << qint64(-9223372036854775807LL - 1);
        QTest::newRow("one below largest") << qint64(9223372036854775806LL);
        QTest::newRow("19 digits") << qint64(1234567890123456789LL);
        QTest::newRow("16 significant digits") << qint64(1000000000000001LL);
        QTest::newRow("one count") << qint64(1);
        QTest::newRow("minus one count") << qint64(-1);
        QTest::newRow("zero") << qint64(0);
        QTest::newRow("whole") << qint64(-70000);
    }
    void everyTextWrittenReadsBackAsItsCount()
    {
        QFETCH(qint64, count);
        for (QChar sep : {QChar('.'), QChar(',')}) {
            const QString text = Decimal4::FromCount(count).ToText(sep);
            const auto back = Decimal4::FromText(text, sep);
            QVERIFY2(back.has_value(), qPrintable(text));
            QCOMPARE(back->Count(), count);
        }
    }

    void itemLineIsWrittenWithTrailingDash()
    {
        QCOMPARE(FormatItemLine({0, 300, 1, 2, "L"}), QString("0 300 1 2 L-"));
        QCOMPARE(FormatItemLine({2, 600, 2, 1, ""}), QString("2 600 2 1 -"));
        QCOMPARE(FormatItemLine({-1, 5, 3, 0, "%1x"}), QString("-1 5 3 0 %1x-"));
    }

    void itemLineReadsFourIntegersAndAToken()
    {
        ParsedItemLine p = ParseItemLine("0 300 1 2 L-");
        QVERIFY(p.complete);
        QCOMPARE(p.item, (TSequenceItem{0, 300, 1, 2, "L"}));
        p = ParseItemLine("  2\t600   2 1    -  ");
        QVERIFY(p.complete);
        QCOMPARE(p.item, (TSequenceItem{2, 600, 2, 1, ""}));
        // The token ends at the first blank and loses its last character.
        p = ParseItemLine("1 10 1 1 ab cd-");
        QVERIFY(p.complete);
        QCOMPARE(p.item.Suffix, QString("a"));
        // Like "%d %s", a number stops at the first non-digit and the token
        // may follow it directly.
        p = ParseItemLine("1 10 1 3xy Ha-");
        QVERIFY(p.complete);
        QCOMPARE(p.item, (TSequenceItem{1, 10, 1, 3, "x"}));
    }

    void malformedItemLineKeepsWhatWasRead_data()
    {
        QTest::addColumn<QString>("line");
        QTest::addColumn<TSequenceItem>("item");
        QTest::newRow("empty") << "" << TSequenceItem{};
        QTest::newRow("no suffix token") << "1 2 3 4" << TSequenceItem{1, 2, 3, 4, ""};
        QTest::newRow("three numbers") << "1 2 3 -" << TSequenceItem{1, 2, 3, 0, ""};
        QTest::newRow("words") << "red long" << TSequenceItem{};
        QTest::newRow("overflow") << "1 99999999999 1 1 x-" << TSequenceItem{1, 0, 0, 0, ""};
    }
    void malformedItemLineKeepsWhatWasRead()
    {
        QFETCH(QString, line);
        QFETCH(TSequenceItem, item);
        const ParsedItemLine p = ParseItemLine(line);
        QVERIFY(!p.complete);
        QCOMPARE(p.item, item);
    }
};

QTEST_GUILESS_MAIN(TestDecimal4)
#include "tst_decimal4.moc"
