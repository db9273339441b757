#include "controls/TStringCaps.h"

#include "platform/Beep.h"
#include "platform/LocaleInfo.h"

#include <QDate>
#include <QStringList>

namespace {

QChar raise(QChar c)
{
    return (c >= u'a' && c <= u'z') ? QChar(c.unicode() - u'a' + u'A') : c;
}

bool isAsciiDigit(QChar c) { return c >= u'0' && c <= u'9'; }

// Letters and full stops make up the words FirstCapCongFilter looks at.
bool isWordChar(QChar c) { return c.isLetter() || c == u'.'; }

bool isControlKey(QChar c)
{
    return c == QChar(8) || c == QChar(27) || c == QChar(9) || c == QChar(13);
}

QString century(DateAgeType age, int currentYear)
{
    switch (age) {
    case dtCurrent: return QString::number(currentYear / 100);
    case dt1900: return QStringLiteral("19");
    case dt2000: return QStringLiteral("20");
    case dtNone: break;
    }
    return QString();
}

QChar reject()
{
    Beep();
    return QChar(TStringCaps::DateRejected);
}

} // namespace

const QStringList& TStringCaps::CongWords()
{
    static const QStringList words = {
        "a", "agli", "ai", "al", "all", "alla", "alle", "allo",
        "con",
        "d", "da", "dai", "dal", "dall", "dalla", "dalle", "dallo", "degli",
        "dei", "del", "dell", "della", "delle", "dello", "di",
        "e", "ed",
        "fra", "fu",
        "gli",
        "i", "il", "in",
        "l", "la", "le", "lo",
        "ma",
        "ne", "nei", "nel", "nell", "nella", "nelle", "nello",
        "pe", "per",
        "su", "sui", "sul", "sull", "sulla", "sulle", "sullo",
        "tra",
    };
    return words;
}

QString TStringCaps::Filter(const QString& text, CharFilterType filter) const
{
    switch (filter) {
    case chFirstCap: return FirstCapFilter(text);
    case chFirstCapCong: return FirstCapCongFilter(text);
    case chOneCap: return OneCapFilter(text);
    case chAllCaps: return AllCapsFilter(text);
    default: return text;
    }
}

QString TStringCaps::FirstCapFilter(const QString& text) const
{
    QString t = text;
    if (t.isEmpty())
        return t;
    if (t[0].isLower())
        t[0] = raise(t[0]);
    for (qsizetype i = 1; i < t.size(); ++i) {
        const QChar p = t[i - 1];
        QChar c = t[i];
        if (p.isLetter() && c.isUpper())
            c = c.toLower();
        else if (!p.isLetter() && c.isLower())
            c = raise(c);
        // A letter doubled after its own capital stays a capital (LLoyd),
        // except after A, E and U (Aaron, Eemnes, Uusi).
        if (p == raise(c) && p != u'A' && p != u'E' && p != u'U')
            c = p;
        t[i] = c;
    }
    return t;
}

QString TStringCaps::FirstCapCongFilter(const QString& text) const
{
    QString t = FirstCapFilter(text);
    const qsizetype n = t.size();
    qsizetype j = 0;
    while (j < n && t[j].isLetter())
        ++j;
    // A single word, possibly followed by one character, is left as it is.
    if (j >= n - 1)
        return t;
    // Finish a run of letters and full stops that began with the first word
    // (Dr.del): it is not a word of its own.
    while (j < n && isWordChar(t[j]))
        ++j;
    const QStringList& words = CongWords();
    while (j < n) {
        ++j;  // t[j] separates words
        const qsizetype start = j;
        while (j < n && isWordChar(t[j]))
            ++j;
        if (j == start)
            continue;
        const QString word = t.mid(start, j - start);
        for (const QString& w : words) {
            if (w.size() == word.size() && w.compare(word, Qt::CaseInsensitive) == 0) {
                t.replace(start, word.size(), word.toLower());
                break;
            }
        }
    }
    return t;
}

QString TStringCaps::OneCapFilter(const QString& text) const
{
    QString t = text;
    if (!t.isEmpty())
        t[0] = raise(t[0]);
    return t;
}

QString TStringCaps::AllCapsFilter(const QString& text) const
{
    QString t = text;
    for (QChar& c : t)
        c = raise(c);
    return t;
}

QChar TStringCaps::CharDateProcess(QChar key, QString& text, int& selStart, int& selEnd,
                                   DateAgeType age) const
{
    return CharDateProcess(key, text, selStart, selEnd, age, QDate::currentDate().year());
}

QChar TStringCaps::CharDateProcess(QChar key, QString& text, int& s, int& e,
                                   DateAgeType age, int currentYear) const
{
    const QChar sep = DateSeparator();
    const bool isDigit = isAsciiDigit(key);
    const bool isSep = key == sep;
    if (!isDigit && !isSep && !isControlKey(key))
        return reject();

    int n = int(text.size());
    // A selection outside the text (stale caret) is pulled inside it.
    s = qBound(0, s, n);
    e = qBound(s, e, n);

    if (s == 0 && e == n && n != 0) {  // the whole text is selected: start anew
        text.clear();
        n = 0;
        e = 0;
    }

    int sepCount = 0;
    int secondSep = 11;
    for (int i = 0; i < n; ++i) {
        if (text[i] == sep && ++sepCount == 2)
            secondSep = i;
    }

    // A date is at most ten characters; a longer text (set by the program or
    // pasted) takes no more digits or separators.
    if ((isDigit || isSep) && n - (e - s) >= MaxDateLength)
        return reject();

    if (isSep && (sepCount >= 2 || s == 0 || text[s - 1] == sep))
        return reject();

    if (isDigit) {
        // A day or a month has at most two digits.
        if (s > 0 && s <= secondSep) {
            int run = 0;
            for (int i = s - 1; i >= 0 && isAsciiDigit(text[i]); --i)
                ++run;
            for (int i = s; i < n && isAsciiDigit(text[i]); ++i)
                ++run;
            if (run >= 2)
                return reject();
        }
        // A year has at most four digits.
        if (s > secondSep) {
            int year = 0;
            for (int i = secondSep + 1; i < n && isAsciiDigit(text[i]); ++i)
                ++year;
            if (year >= 4)
                return reject();
        }
        // The first day digit is at most 3, and 3 allows only 30 and 31.
        if (s == 1 && (text[0] > u'3' || (text[0] == u'3' && key > u'1')))
            return reject();
        // A tens digit typed in front of a day digit.
        if (s == 0 && e != n && isAsciiDigit(text[0])
            && (key > u'3' || (key == u'3' && text[0] > u'1')))
            return reject();
        // A month is at most 12.
        int sepsBefore = 0;
        for (int i = 0; i < s; ++i)
            sepsBefore += text[i] == sep;
        if (sepsBefore == 1) {
            const bool beforeBad = s > 0 && isAsciiDigit(text[s - 1])
                && (text[s - 1] > u'1' || (text[s - 1] == u'1' && key > u'2'));
            const bool atBad = s < n && isAsciiDigit(text[s])
                && (key > u'1' || (key == u'1' && text[s] > u'2'));
            if (beforeBad || atBad)
                return reject();
        }
    }

    if (e != n)
        return key;

    QString added;
    if (isSep && sepCount == 1)
        added = QString(sep) + century(age, currentYear);
    else if (isDigit && sepCount == 0 && (s == 1 || key > u'3'))
        added = QString(key) + sep;
    else if (isDigit && sepCount == 1
             && ((s > 0 && isAsciiDigit(text[s - 1])) || key > u'1'))
        added = QString(key) + sep + century(age, currentYear);
    else
        return key;

    if (n + added.size() > MaxDateLength)
        return reject();
    text += added;
    s = e = int(text.size());
    return QChar(DateRewritten);
}
