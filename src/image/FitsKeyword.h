#pragma once
// FitsKeyword: one header keyword of a FITS file: its name (at most 8
// characters, upper case), its value and a comment. The value is an int, a
// qint64, a double, a bool or a text; a text is written in ASCII (other
// characters become '?') and cut to fit one card.
#include <QByteArray>
#include <QDateTime>
#include <QString>
#include <QVariant>
#include <vector>

struct FitsKeyword {
    QString Name;
    QVariant Value;   // int, qint64, double, bool or QString
    QString Comment;

    // The 80-character header card, in the fixed format the FITS standard
    // gives (values ending in column 30, texts starting in column 11).
    QByteArray Card() const;

    // A text value as a card holds it: in quotes, quotes doubled, ASCII
    // (others become '?'), at least 8 characters inside, cut to fit one card.
    static QByteArray Quoted(const QString& value);
};

// DATE-OBS as stacking tools read it: UTC, "2026-01-01T20:00:00.125", with
// exactly three decimals (some tools fail on more).
QString DateObsText(const QDateTime& utc);
// A DATE-OBS value (with any number of decimals or none, with or without a
// trailing Z) as UTC; invalid when it is not a date and time.
QDateTime ParseDateObs(const QString& text);

// Sets `key` in `keys`: replaces the value (and comment, when one is given)
// of a keyword of the same name, or appends it.
void SetFitsKeyword(std::vector<FitsKeyword>& keys, const FitsKeyword& key);
