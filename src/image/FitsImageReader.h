#pragma once
// FitsImageReader: reads the primary image of a FITS file through cfitsio.
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

class FitsImageReader {
public:
    static FitsImage Read(const QString& path);
};
