#pragma once
// The text rules behind the validating edit: four capitalisation filters that
// rewrite a whole text, a dispatcher choosing one by the field's filter, and a
// key-by-key date-entry aid. Stateless: every operation works on its
// arguments alone, so one instance per field (or none) is equally fine.
//
// Character classes are Qt's Unicode classes (accented letters are letters).
// Raising a letter uses the ASCII mapping only (a-z become A-Z, everything
// else, accented letters included, stays); lowering is Unicode-aware.
#include "controls/CharFilterType.h"

#include <QChar>
#include <QString>

class TStringCaps {
public:
    // Results of CharDateProcess besides the key itself.
    static constexpr char16_t DateRejected = 0;   // key refused, beep sounded
    static constexpr char16_t DateRewritten = 1;  // text rewritten, key used up

    // A date field's text never grows beyond this many characters.
    static constexpr int MaxDateLength = 10;

    // The capitalisation filter of `filter` applied to `text`; the other
    // filters (chDefault, chDate, chNumber, chDecimal) return it unchanged.
    QString Filter(const QString& text, CharFilterType filter) const;

    // Every word starts with a capital and goes on in lower case; a letter
    // doubled after its own capital stays a capital (LLoyd), except A, E, U.
    QString FirstCapFilter(const QString& text) const;

    // As FirstCapFilter, but Italian articles, prepositions and conjunctions
    // (the 55-word table) are lowered unless they are the first word.
    QString FirstCapCongFilter(const QString& text) const;

    // Raises the first character only; the rest is unchanged.
    QString OneCapFilter(const QString& text) const;

    // Raises every a-z; every other character is unchanged.
    QString AllCapsFilter(const QString& text) const;

    // Decides what one key press does in a date field typed as day, separator,
    // month, separator, year (separator: the locale's date separator).
    // `text` is the field's text, `selStart`/`selEnd` its selection.
    // Returns DateRejected (after a beep), DateRewritten (`text` holds the new
    // text and selStart == selEnd == its length), or `key` (the edit handles
    // the key itself; `text`, selStart and selEnd must then be ignored).
    QChar CharDateProcess(QChar key, QString& text, int& selStart, int& selEnd,
                          DateAgeType age) const;
    // The same with the current year given, for dtCurrent.
    QChar CharDateProcess(QChar key, QString& text, int& selStart, int& selEnd,
                          DateAgeType age, int currentYear) const;

    // The 55 lower-case words kept lower by FirstCapCongFilter.
    static const QStringList& CongWords();
};
