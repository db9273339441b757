#pragma once
// The text of one item in a sequence file: "Filter Exposure Binning Repeat
// Suffix-". The "-" keeps the last field present when the suffix is empty.
// Reading takes four decimal integers and one token of non-blank characters,
// separated by runs of blanks, and drops the token's last character; so a
// suffix holding a blank comes back as the part before the blank, less its
// last character (the format cannot carry blanks).
#include "sequence/TSequenceItem.h"

#include <QString>

struct ParsedItemLine {
    TSequenceItem item;
    // False when the line did not hold four 32-bit integers and a token. The
    // fields read before the first failure keep their values; the rest are 0
    // and the suffix is empty.
    bool complete = false;
};

QString FormatItemLine(const TSequenceItem& item);
ParsedItemLine ParseItemLine(const QString& line);
