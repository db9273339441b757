#pragma once
// TSequenceItem: one line of a sequence - a filter, an exposure, a binning
// factor and a repeat count, with the suffix its image file names carry.
// A plain record; values are not validated (a file may hold any numbers).
#include <QString>

struct TSequenceItem {
    int Filter = 0;     // index into the filter-name list
    int Exposure = 0;   // seconds
    int Binning = 0;    // applied to both axes
    int Repeat = 0;     // frames per pass
    QString Suffix;     // appended to the image names; the editor allows 8 characters

    friend bool operator==(const TSequenceItem&, const TSequenceItem&) = default;
};
