#pragma once
// The decisions of the validating edit that need no widget: what one typed
// character does in a field of a given filter, and whether a field's text
// passes its range check. TMyEdit feeds them its text and selection and
// applies the outcome; tests drive them directly without a QApplication.
//
// Separators come from the platform's LocaleInfo (decimal separator, date
// separator, short date format), so a test can set a comma locale.
#include "controls/CharFilterType.h"

#include <QString>
#include <QVariant>

class TStringCaps;

// What the edit does with one typed character.
struct TKeyDecision {
    enum Action {
        Pass,     // the edit handles the key in its usual way
        Discard,  // the key is dropped; the text stays as it is
        Replace,  // the key is used up: the text becomes `text`, selection as given
    };
    Action action = Pass;
    QString text;
    int selStart = 0;
    int selLength = 0;
};

class TMyEditRules {
public:
    // Characters that every filter lets through: backspace, Escape, Tab, Enter.
    static bool IsControlKey(QChar c);

    // The outcome of typing `c` into a field holding `text` with the selection
    // [selStart, selEnd). Letters, signs, blanks and other control characters
    // (copy 3, cut 24, paste 22, ...) are discarded by chNumber and chDecimal.
    static TKeyDecision KeyPress(CharFilterType filter, DateAgeType age, QChar c,
                                 const QString& text, int selStart, int selEnd,
                                 const TStringCaps& caps);

    // A bound counts as set when its text form is not empty.
    static bool BoundSet(const QVariant& bound);

    // The range check made when the field is left. An empty text is valid;
    // so is any text when neither bound is set or the filter is not chDate,
    // chNumber or chDecimal. Otherwise the text must convert (chNumber: a whole
    // number, chDecimal: a number with the locale's decimal separator, chDate:
    // a date in the locale's short format) and lie within the bounds that are
    // set; an unset bound does not limit. A bound that does not convert to
    // the field's kind is treated as unset.
    static bool ValidData(CharFilterType filter, const QString& text,
                          const QVariant& minValue, const QVariant& maxValue);

    // Reads a date as the locale's short format has it, accepting one or two
    // digits for day and month; an invalid QDate when it does not convert.
    static QDate ParseDate(const QString& text);

    // Reads a number of a chDecimal field (locale separator); false on failure.
    static bool ParseDecimal(const QString& text, double& value);
};
