// The text rules without any widget: the capitalisation filters against
// their example tables, the Italian word table, and key-by-key date entry
// for every century choice.
#include "controls/TStringCaps.h"
#include "platform/Beep.h"
#include "platform/LocaleInfo.h"

#include <QDate>
#include <QtTest>

namespace {

// One date field as the edit keeps it: text and caret. Keys that
// CharDateProcess hands back are inserted at the caret, replacing the
// selection, as the edit would.
struct DateField {
    QString text;
    int selStart = 0;
    int selEnd = 0;

    QChar type(const TStringCaps& caps, QChar key, DateAgeType age, int year)
    {
        QString buffer = text;
        int s = selStart;
        int e = selEnd;
        const QChar r = caps.CharDateProcess(key, buffer, s, e, age, year);
        if (r == QChar(TStringCaps::DateRewritten)) {
            text = buffer;
            selStart = s;
            selEnd = e;
        } else if (r == key && key != QChar(8)) {
            text.replace(selStart, selEnd - selStart, QString(key));
            selStart = selEnd = selStart + 1;
        }
        return r;
    }
};

constexpr char16_t kRejected = TStringCaps::DateRejected;
constexpr char16_t kRewritten = TStringCaps::DateRewritten;

} // namespace

class TestTStringCaps : public QObject {
    Q_OBJECT

    TStringCaps caps;
    int beeps = 0;

private slots:
    void init()
    {
        SetDateSeparator(u'/');
        beeps = 0;
        SetBeepHandler([this] { ++beeps; });
    }
    void cleanup() { SetBeepHandler({}); }

    void capitalFilters_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("firstCap");
        QTest::addColumn<QString>("firstCapCong");
        QTest::newRow("name") << "mario rossi" << "Mario Rossi" << "Mario Rossi";
        QTest::newRow("first word elided") << "DELL'ORTO" << "Dell'Orto" << "Dell'Orto";
        QTest::newRow("elided article") << "via dell'orto" << "Via Dell'Orto" << "Via dell'Orto";
        QTest::newRow("article in capitals") << "la villa DELLA rosa" << "La Villa Della Rosa"
                                             << "La Villa della Rosa";
        QTest::newRow("conjunction") << "rossi E figli" << "Rossi E Figli" << "Rossi e Figli";
        QTest::newRow("apostrophe") << "o'brien" << "O'Brien" << "O'Brien";
        QTest::newRow("double A") << "aaron" << "Aaron" << "Aaron";
        QTest::newRow("double L") << "lloyd" << "LLoyd" << "LLoyd";
        QTest::newRow("hyphen") << "anna-maria" << "Anna-Maria" << "Anna-Maria";
        QTest::newRow("digit first") << "3d model" << "3D Model" << "3d Model";
        QTest::newRow("all capitals") << "GIUSEPPE VERDI" << "Giuseppe Verdi" << "Giuseppe Verdi";
        QTest::newRow("abbreviation keeps capital") << "via DEL. mare" << "Via Del. Mare"
                                                    << "Via Del. Mare";
        QTest::newRow("empty") << "" << "" << "";
        QTest::newRow("single table word") << "del" << "Del" << "Del";
        QTest::newRow("one word and a blank") << "con " << "Con " << "Con ";
        QTest::newRow("double E and U") << "eel uu" << "Eel Uu" << "Eel Uu";
        QTest::newRow("accented start unchanged") << "\u00e8 vero" << "\u00e8 Vero"
                                                  << "\u00e8 Vero";
        QTest::newRow("accented capital lowered") << "CITT\u00c0 di roma" << "Citt\u00e0 Di Roma"
                                                  << "Citt\u00e0 di Roma";
        QTest::newRow("all table forms") << "casa AGLI ed SULLO fu" << "Casa Agli Ed Sullo Fu"
                                         << "Casa agli ed sullo fu";
    }

    void capitalFilters()
    {
        QFETCH(QString, typed);
        QFETCH(QString, firstCap);
        QFETCH(QString, firstCapCong);
        QCOMPARE(caps.FirstCapFilter(typed), firstCap);
        QCOMPARE(caps.FirstCapCongFilter(typed), firstCapCong);
        QCOMPARE(caps.Filter(typed, chFirstCap), firstCap);
        QCOMPARE(caps.Filter(typed, chFirstCapCong), firstCapCong);
    }

    void everyTableWordIsLoweredAfterTheFirstWord()
    {
        const QStringList& words = TStringCaps::CongWords();
        QCOMPARE(words.size(), 55);
        QCOMPARE(QSet<QString>(words.begin(), words.end()).size(), 55);
        for (const QString& w : words) {
            QCOMPARE(w, w.toLower());
            QCOMPARE(caps.FirstCapCongFilter("x " + w.toUpper() + " y"), "X " + w + " Y");
            // Not a table word once it is longer by one letter.
            const QString longer = caps.FirstCapFilter(w + "x");
            if (!words.contains(w + "x"))
                QCOMPARE(caps.FirstCapCongFilter("x " + w + "x"), "X " + longer);
        }
    }

    void oneCapAndAllCaps()
    {
        QCOMPARE(caps.OneCapFilter("mARIO"), QString("MARIO"));
        QCOMPARE(caps.OneCapFilter("\u00e8cole"), QString("\u00e8cole"));
        QCOMPARE(caps.OneCapFilter(""), QString(""));
        QCOMPARE(caps.AllCapsFilter("via \u00e8 roma 12b"), QString("VIA \u00e8 ROMA 12B"));
        QCOMPARE(caps.Filter("ab", chOneCap), QString("Ab"));
        QCOMPARE(caps.Filter("ab", chAllCaps), QString("AB"));
    }

    void filterLeavesOtherKindsUnchanged()
    {
        for (CharFilterType f : {chDefault, chDate, chNumber, chDecimal})
            QCOMPARE(caps.Filter("mario ROSSI", f), QString("mario ROSSI"));
    }

    void dateTyping_data()
    {
        QTest::addColumn<DateAgeType>("age");
        QTest::addColumn<int>("year");
        QTest::addColumn<QString>("keys");
        QTest::addColumn<QStringList>("texts");
        QTest::addColumn<QString>("results");  // k = the key, 1 = rewritten, 0 = rejected
        QTest::newRow("current 2008") << dtCurrent << 2008 << "1205081"
            << QStringList{"1", "12/", "12/0", "12/05/20", "12/05/200", "12/05/2008", "12/05/2008"}
            << "k1k1kk0";
        QTest::newRow("current 1999") << dtCurrent << 1999 << "0112"
            << QStringList{"0", "01/", "01/1", "01/12/19"} << "k1k1";
        QTest::newRow("current 2150") << dtCurrent << 2150 << "93"
            << QStringList{"9/", "9/3/21"} << "11";
        QTest::newRow("none") << dtNone << 2008 << "7/1/"
            << QStringList{"7/", "7/", "7/1", "7/1/"} << "10k1";
        QTest::newRow("1900") << dt1900 << 2008 << "3/4"
            << QStringList{"3", "3/", "3/4/19"} << "kk1";
        QTest::newRow("2000") << dt2000 << 1990 << "31104"
            << QStringList{"3", "31/", "31/1", "31/10/20", "31/10/204"} << "k1k1k";
        QTest::newRow("second day digit after 3") << dt2000 << 2008 << "34"
            << QStringList{"3", "3"} << "k0";
        QTest::newRow("second month digit after 1") << dt2000 << 2008 << "5132"
            << QStringList{"5/", "5/1", "5/1", "5/12/20"} << "1k01";
        QTest::newRow("third separator") << dt2000 << 2008 << "12//"
            << QStringList{"1", "12/", "12/", "12/"} << "k100";
        QTest::newRow("letters and signs") << dt2000 << 2008 << "a-1."
            << QStringList{"", "", "1", "1"} << "00k0";
        QTest::newRow("separator first") << dt2000 << 2008 << "/"
            << QStringList{""} << "0";
    }

    void dateTyping()
    {
        QFETCH(DateAgeType, age);
        QFETCH(int, year);
        QFETCH(QString, keys);
        QFETCH(QStringList, texts);
        QFETCH(QString, results);
        DateField field;
        int rejected = 0;
        for (int i = 0; i < keys.size(); ++i) {
            const QChar r = field.type(caps, keys[i], age, year);
            const QChar expected = results[i] == u'k' ? keys[i]
                                 : results[i] == u'1' ? QChar(kRewritten)
                                                      : QChar(kRejected);
            QVERIFY2(r == expected, qPrintable(QString("key %1 at %2").arg(keys[i]).arg(i)));
            QCOMPARE(field.text, texts[i]);
            if (r == QChar(kRewritten))
                QCOMPARE(field.selStart, int(field.text.size()));
            rejected += r == QChar(kRejected);
        }
        QCOMPARE(beeps, rejected);
    }

    void dateControlKeysPass()
    {
        for (QChar key : {QChar(8), QChar(27), QChar(9), QChar(13)}) {
            QString text = "12/0";
            int s = 4, e = 4;
            QCOMPARE(caps.CharDateProcess(key, text, s, e, dt2000, 2008), key);
        }
        QCOMPARE(beeps, 0);
    }

    void dateUsesLocaleSeparator()
    {
        SetDateSeparator(u'.');
        DateField field;
        for (QChar k : QString("2512"))
            field.type(caps, k, dt2000, 2008);
        QCOMPARE(field.text, QString("25.12.20"));
        QCOMPARE(field.type(caps, u'/', dt2000, 2008), QChar(kRejected));
    }

    void dateCurrentCenturyFollowsClock()
    {
        QString text = "1/2";
        int s = 3, e = 3;
        QCOMPARE(caps.CharDateProcess(u'/', text, s, e, dtCurrent), QChar(kRewritten));
        QCOMPARE(text, "1/2/" + QString::number(QDate::currentDate().year() / 100));
    }

    void dateEditsInsideText()
    {
        // A tens digit in front of a day digit: 2 before 5 makes 25, 4 would make 45.
        QString text = "5/";
        int s = 0, e = 0;
        QCOMPARE(caps.CharDateProcess(u'2', text, s, e, dt2000, 2008), QChar(u'2'));
        QCOMPARE(caps.CharDateProcess(u'4', text, s, e, dt2000, 2008), QChar(kRejected));
        text = "2/";  // 3 before 2 would make 32
        QCOMPARE(caps.CharDateProcess(u'3', text, s, e, dt2000, 2008), QChar(kRejected));
        // In the month, before a 5: 1 would make 15.
        text = "12/5/2008";
        s = e = 3;
        QCOMPARE(caps.CharDateProcess(u'1', text, s, e, dt2000, 2008), QChar(kRejected));
        QCOMPARE(caps.CharDateProcess(u'0', text, s, e, dt2000, 2008), QChar(u'0'));
        // A full day refuses a digit in the middle; the year refuses a fifth.
        s = e = 1;
        QCOMPARE(caps.CharDateProcess(u'1', text, s, e, dt2000, 2008), QChar(kRejected));
        s = e = 7;
        QCOMPARE(caps.CharDateProcess(u'1', text, s, e, dt2000, 2008), QChar(kRejected));
        // A selection that reaches the end is not removed before appending.
        text = "1";
        s = 0, e = 1;  // whole text: starts anew
        QCOMPARE(caps.CharDateProcess(u'9', text, s, e, dt2000, 2008), QChar(kRewritten));
        QCOMPARE(text, QString("9/"));
    }

    void dateTextNeverGrowsPastTenCharacters()
    {
        // Pasted or program-set texts longer than a date take no more
        // characters; every truncated prefix of such a text is handled.
        const QString pasted = "1234567/5/2008x";
        for (int n = 0; n <= pasted.size(); ++n) {
            for (QChar key : QString("0123456789/")) {
                QString text = pasted.left(n);
                int s = n, e = n;
                const QChar r = caps.CharDateProcess(key, text, s, e, dt2000, 2008);
                if (r == QChar(kRewritten))
                    QVERIFY(text.size() <= TStringCaps::MaxDateLength);
                else if (r == key)
                    QVERIFY(n + 1 <= TStringCaps::MaxDateLength);
            }
        }
        QString text = "1234567/";
        int s = 8, e = 8;
        QCOMPARE(caps.CharDateProcess(u'5', text, s, e, dt2000, 2008), QChar(kRejected));
        QCOMPARE(text, QString("1234567/"));
        // A caret beyond the text is pulled back to its end.
        text = "1";
        s = e = 40;
        QCOMPARE(caps.CharDateProcess(u'2', text, s, e, dt2000, 2008), QChar(kRewritten));
        QCOMPARE(text, QString("12/"));
    }
};

QTEST_GUILESS_MAIN(TestTStringCaps)
#include "tst_tstringcaps.moc"
