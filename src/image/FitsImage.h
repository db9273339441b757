#pragma once
// FitsImage: the first image of a FITS file as the preview and the figures
// use it: 16-bit values row by row (the file's first row first), and the
// header's keywords with their values as text (quotes removed).
#include <QHash>
#include <QString>
#include <cstdint>
#include <vector>

struct FitsImage {
    int Width = 0;
    int Height = 0;
    std::vector<uint16_t> Pixels;   // Width * Height values
    QHash<QString, QString> Keys;   // keyword (upper case) -> value text

    QString Key(const QString& name) const { return Keys.value(name); }
    bool IsEmpty() const { return Pixels.empty(); }
};
