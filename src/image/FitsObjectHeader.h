#pragma once
// FitsObjectHeader: the primary header of a FITS file with its OBJECT
// keyword set to a given title (and any other keywords set), for saving a
// camera's image under the name the program gave it without touching (or
// copying) the data.
#include <QByteArray>
#include <QList>
#include <QString>

struct FitsObjectHeader {
    QByteArray Header;      // the new header, a multiple of 2880 bytes
    qsizetype DataOffset;   // where the original header ended: the rest follows unchanged

    // Throws ImageError when `fits` does not start with a complete
    // FITS primary header. An existing OBJECT card is replaced in place,
    // otherwise one goes before END. Characters outside printable ASCII
    // become '?'; a title too long for one card is cut to fit.
    static FitsObjectHeader Make(const QByteArray& fits, const QString& object);
    // The same for any 80-character cards: each replaces the first card of
    // its keyword in place, or goes before END; every other card stays as
    // the file had it.
    static FitsObjectHeader Edit(const QByteArray& fits, const QList<QByteArray>& cards);
    // The cards of the primary header before END, as the file has them.
    // Throws ImageError like Edit.
    static QList<QByteArray> Cards(const QByteArray& fits);
    // A card's keyword ("DATE-OBS") and its value without quotes.
    static QByteArray Keyword(const QByteArray& card);
    static QString Value(const QByteArray& card);
    // The card: OBJECT  = 'title' (quotes doubled, at least 8 characters).
    static QByteArray Card(const QString& object);
};
