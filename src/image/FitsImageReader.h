#pragma once
// FitsImageReader: reads the primary image of a FITS file through cfitsio,
// whole or a strip of rows at a time (so a 61-megapixel frame need not be
// in memory at once).
//
// 8- and 16-bit images (signed or with BZERO 32768) are read as they are;
// 32-bit and floating-point images are mapped linearly from their lowest to
// their highest value onto 0..65535, which is what a screen view needs. Of a
// cube (colour planes) the first plane is read. The path is used as a plain
// file name (cfitsio's extended syntax is never applied).
//
// Failures throw ImageError("Unable to read image <path>: <reason>").
#include "image/FitsImage.h"

#include <QString>
#include <memory>

class FitsImageReader {
public:
    // Opens the file and reads its header.
    explicit FitsImageReader(const QString& path);
    ~FitsImageReader();

    int Width() const { return m_width; }
    int Height() const { return m_height; }
    const QHash<QString, QString>& Keys() const { return m_keys; }
    QString Key(const QString& name) const { return m_keys.value(name); }

    // Rows [first, first + count) into `out`, count x Width() values.
    void ReadRows(int first, int count, uint16_t* out);

    // The whole image.
    static FitsImage Read(const QString& path);

private:
    struct File;
    [[noreturn]] void fail(const QString& reason) const;
    void findRange();

    QString m_path;
    std::unique_ptr<File> m_file;
    int m_width = 0, m_height = 0;
    bool m_scaled = false;      // not 8 or 16 bits: mapped from [m_low, m_high]
    float m_low = 0.0f, m_high = 0.0f;
    QHash<QString, QString> m_keys;
};
