#pragma once
// FitsImageWriter: writes one 16-bit unsigned image (BITPIX 16 with BZERO
// 32768) and its header keywords as a FITS file, through cfitsio.
//
// The file is made in memory by cfitsio and put in place by ImageFileCommit
// in `mode` (a temporary file in the target's folder, then renamed over the
// target keeping its mode and owner, or put in place only where no file is),
// so a failure at any point leaves an existing file at the path untouched and
// no partial file behind. Failures throw ImageError("Unable to save image
// <path>: <reason>"), ImageExistsError when CreateNew finds a file. The path
// is used as a plain file name (cfitsio's bracket and "!" syntax is never
// applied to it).
#include "image/FitsKeyword.h"
#include "image/ImageFileCommit.h"

#include <QString>
#include <cstdint>
#include <vector>

class FitsImageWriter {
public:
    static void Write(const QString& path, int width, int height, const std::vector<uint16_t>& pixels,
                      const std::vector<FitsKeyword>& keywords,
                      ImageFileCommit::Mode mode = ImageFileCommit::Mode::Replace);
};
