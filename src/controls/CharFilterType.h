#pragma once
// The per-field choices of the validating edit: which keys a field accepts or
// how it rewrites its text (CharFilterType), and which century date entry
// fills in (DateAgeType). Both are one byte, values in declaration order, so
// stored forms keep their meaning.
//
// The enumerations live in a Qt namespace so that a form can set them by name
// ("chNumber") as a dynamic property of a promoted widget; `using enum`
// makes the plain names (chNumber, dtCurrent) usable everywhere.
#include <QObject>

namespace TandexaControls {
Q_NAMESPACE

enum CharFilterType : quint8 {
    chDefault = 0,       // every key, text unchanged
    chFirstCap = 1,      // every key, TStringCaps::FirstCapFilter after each key
    chFirstCapCong = 2,  // every key, TStringCaps::FirstCapCongFilter
    chOneCap = 3,        // every key, TStringCaps::OneCapFilter
    chAllCaps = 4,       // every key, TStringCaps::AllCapsFilter
    chDate = 5,          // keys decided by TStringCaps::CharDateProcess
    chNumber = 6,        // digits and backspace, Escape, Tab, Enter
    chDecimal = 7,       // as chNumber plus the locale's decimal separator
};
Q_ENUM_NS(CharFilterType)

enum DateAgeType : quint8 {
    dtCurrent = 0,  // the current century (20 in 2000..2099)
    dtNone = 1,     // no century: the text ends after the second separator
    dt1900 = 2,     // "19"
    dt2000 = 3,     // "20"
};
Q_ENUM_NS(DateAgeType)
}

using TandexaControls::CharFilterType;
using TandexaControls::DateAgeType;
using enum TandexaControls::CharFilterType;
using enum TandexaControls::DateAgeType;
