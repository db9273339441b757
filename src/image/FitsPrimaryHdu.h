#pragma once
// FitsPrimaryHdu: the layout of a FITS file's primary header and data unit as
// its header declares it, checked against the bytes at hand, so an image a
// camera sent is saved only when a FITS reader will open it.
//
// The header must be whole 80-character cards of printable ASCII, start with
// SIMPLE = T, BITPIX (8, 16, 32, 64, -32 or -64), NAXIS (0 to 999) and NAXIS1
// ... NAXISn (none negative) in that order, and end with END; the bytes must
// hold all the data those axes declare.
#include <QByteArrayView>
#include <QString>

struct FitsPrimaryHdu {
    qsizetype HeaderBytes = 0;   // where the data begins: the header rounded up to 2880
    qsizetype DataBytes = 0;     // |BITPIX| / 8 x NAXIS1 x ... x NAXISn (0 without axes)
    qsizetype PaddedEnd = 0;     // HeaderBytes + DataBytes rounded up to 2880

    // Throws ImageError whose text says what is wrong, in words for the
    // user: "it is not a FITS file", "its header has no END card", "its data
    // is 2880 bytes short of the 2621440 its header declares", ...
    static FitsPrimaryHdu Inspect(QByteArrayView fits);
};
