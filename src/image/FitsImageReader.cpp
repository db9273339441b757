#include "FitsImageReader.h"

#include "image/ImageError.h"

#include <QFile>
#include <algorithm>
#include <cmath>
#include <fitsio.h>

namespace {
[[noreturn]] void fail(const QString& path, const QString& reason)
{
    throw ImageError(QStringLiteral("Unable to read image %1: %2").arg(path, reason));
}

QString fitsReason(int status)
{
    char text[FLEN_STATUS] = {};
    fits_get_errstatus(status, text);
    return QString::fromLatin1(text);
}

// Closes the file on every way out.
struct OpenFile {
    fitsfile* f = nullptr;
    ~OpenFile()
    {
        int ignored = 0;
        if (f)
            fits_close_file(f, &ignored);
    }
};

void readKeys(fitsfile* f, FitsImage& image)
{
    int count = 0, status = 0;
    fits_get_hdrspace(f, &count, nullptr, &status);
    for (int i = 1; i <= count && !status; ++i) {
        char name[FLEN_KEYWORD] = {}, value[FLEN_VALUE] = {}, comment[FLEN_COMMENT] = {};
        fits_read_keyn(f, i, name, value, comment, &status);
        QString text = QString::fromLatin1(value).trimmed();
        if (text.startsWith('\'')) {
            text = text.mid(1, text.size() - 2).replace(QStringLiteral("''"), QStringLiteral("'")).trimmed();
        }
        const QString key = QString::fromLatin1(name).trimmed().toUpper();
        if (!key.isEmpty() && !image.Keys.contains(key))
            image.Keys.insert(key, text);
    }
}

// 32-bit integers and floats: lowest to highest value onto 0..65535.
void readScaled(fitsfile* f, const QString& path, LONGLONG n, FitsImage& image)
{
    std::vector<float> values(static_cast<size_t>(n));
    int status = 0, anyNull = 0;
    float nullValue = NAN;
    fits_read_img(f, TFLOAT, 1, n, &nullValue, values.data(), &anyNull, &status);
    if (status)
        fail(path, fitsReason(status));
    float lo = INFINITY, hi = -INFINITY;
    for (float v : values) {
        if (std::isfinite(v)) {
            lo = std::min(lo, v);
            hi = std::max(hi, v);
        }
    }
    const float scale = hi > lo ? 65535.0f / (hi - lo) : 0.0f;
    image.Pixels.resize(size_t(n));
    for (size_t i = 0; i < values.size(); ++i)
        image.Pixels[i] = std::isfinite(values[i]) ? uint16_t(std::lround((values[i] - lo) * scale)) : 0;
}
}

FitsImage FitsImageReader::Read(const QString& path)
{
    OpenFile file;
    int status = 0;
    const QByteArray native = QFile::encodeName(path);
    fits_open_diskfile(&file.f, native.constData(), READONLY, &status);
    if (status) {
        file.f = nullptr;
        fail(path, QFile::exists(path) ? fitsReason(status) : QStringLiteral("the file does not exist"));
    }
    int bitpix = 0, naxis = 0;
    long axes[3] = {0, 0, 0};
    fits_get_img_equivtype(file.f, &bitpix, &status);
    fits_get_img_dim(file.f, &naxis, &status);
    fits_get_img_size(file.f, 3, axes, &status);
    if (status)
        fail(path, fitsReason(status));
    if (naxis < 2 || axes[0] < 1 || axes[1] < 1)
        fail(path, QStringLiteral("the file holds no image"));
    FitsImage image;
    image.Width = int(axes[0]);
    image.Height = int(axes[1]);
    readKeys(file.f, image);
    const LONGLONG n = LONGLONG(axes[0]) * axes[1];
    if (bitpix == BYTE_IMG || bitpix == SHORT_IMG || bitpix == USHORT_IMG || bitpix == SBYTE_IMG) {
        image.Pixels.resize(size_t(n));
        int anyNull = 0;
        unsigned short nullValue = 0;
        // Signed 16-bit values below 0 are clipped to 0 (cfitsio reports the
        // overflow, which is harmless for a view).
        fits_read_img(file.f, TUSHORT, 1, n, &nullValue, image.Pixels.data(), &anyNull, &status);
        if (status == NUM_OVERFLOW)
            status = 0;
        if (status)
            fail(path, fitsReason(status));
    } else {
        readScaled(file.f, path, n, image);
    }
    return image;
}
