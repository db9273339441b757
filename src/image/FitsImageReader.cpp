#include "FitsImageReader.h"

#include "image/ImageError.h"

#include <QFile>
#include <algorithm>
#include <cmath>
#include <fitsio.h>
#include <vector>

struct FitsImageReader::File {
    fitsfile* f = nullptr;
    ~File()
    {
        int ignored = 0;
        if (f)
            fits_close_file(f, &ignored);
    }
};

namespace {
QString fitsReason(int status)
{
    char text[FLEN_STATUS] = {};
    fits_get_errstatus(status, text);
    return QString::fromLatin1(text);
}

constexpr int kStripRows = 256;
}

void FitsImageReader::fail(const QString& reason) const
{
    throw ImageError(QStringLiteral("Unable to read image %1: %2").arg(m_path, reason));
}

FitsImageReader::FitsImageReader(const QString& path) : m_path(path), m_file(std::make_unique<File>())
{
    int status = 0;
    const QByteArray native = QFile::encodeName(path);
    fits_open_diskfile(&m_file->f, native.constData(), READONLY, &status);
    if (status) {
        m_file->f = nullptr;
        fail(QFile::exists(path) ? fitsReason(status) : QStringLiteral("the file does not exist"));
    }
    int bitpix = 0, naxis = 0;
    long axes[3] = {0, 0, 0};
    fits_get_img_equivtype(m_file->f, &bitpix, &status);
    fits_get_img_dim(m_file->f, &naxis, &status);
    fits_get_img_size(m_file->f, 3, axes, &status);
    if (status)
        fail(fitsReason(status));
    if (naxis < 2 || axes[0] < 1 || axes[1] < 1 || axes[0] > 1000000 || axes[1] > 1000000)
        fail(QStringLiteral("the file holds no image"));
    m_width = int(axes[0]);
    m_height = int(axes[1]);
    int count = 0;
    fits_get_hdrspace(m_file->f, &count, nullptr, &status);
    for (int i = 1; i <= count && !status; ++i) {
        char name[FLEN_KEYWORD] = {}, value[FLEN_VALUE] = {}, comment[FLEN_COMMENT] = {};
        fits_read_keyn(m_file->f, i, name, value, comment, &status);
        QString text = QString::fromLatin1(value).trimmed();
        if (text.startsWith('\''))
            text = text.mid(1, text.size() - 2).replace(QStringLiteral("''"), QStringLiteral("'")).trimmed();
        const QString key = QString::fromLatin1(name).trimmed().toUpper();
        if (!key.isEmpty() && !m_keys.contains(key))
            m_keys.insert(key, text);
    }
    m_scaled = !(bitpix == BYTE_IMG || bitpix == SHORT_IMG || bitpix == USHORT_IMG || bitpix == SBYTE_IMG);
    if (m_scaled)
        findRange();
}

FitsImageReader::~FitsImageReader() = default;

// The lowest and highest finite values, strip by strip.
void FitsImageReader::findRange()
{
    m_low = INFINITY;
    m_high = -INFINITY;
    std::vector<float> values(size_t(m_width) * kStripRows);
    for (int first = 0; first < m_height; first += kStripRows) {
        const int rows = std::min(kStripRows, m_height - first);
        int status = 0, anyNull = 0;
        float nullValue = NAN;
        fits_read_img(m_file->f, TFLOAT, LONGLONG(first) * m_width + 1, LONGLONG(rows) * m_width, &nullValue,
                      values.data(), &anyNull, &status);
        if (status)
            fail(fitsReason(status));
        for (size_t i = 0; i < size_t(rows) * size_t(m_width); ++i) {
            if (std::isfinite(values[i])) {
                m_low = std::min(m_low, values[i]);
                m_high = std::max(m_high, values[i]);
            }
        }
    }
}

void FitsImageReader::ReadRows(int first, int count, uint16_t* out)
{
    if (first < 0 || count < 0 || first + count > m_height)
        fail(QStringLiteral("rows %1 to %2 are outside the image").arg(first).arg(first + count - 1));
    const LONGLONG start = LONGLONG(first) * m_width + 1;
    const LONGLONG n = LONGLONG(count) * m_width;
    int status = 0, anyNull = 0;
    if (!m_scaled) {
        unsigned short nullValue = 0;
        // Signed 16-bit values below 0 are clipped to 0 (cfitsio reports the
        // overflow, which is harmless for a view).
        fits_read_img(m_file->f, TUSHORT, start, n, &nullValue, out, &anyNull, &status);
        if (status == NUM_OVERFLOW)
            status = 0;
        if (status)
            fail(fitsReason(status));
        return;
    }
    std::vector<float> values(static_cast<size_t>(n));
    float nullValue = NAN;
    fits_read_img(m_file->f, TFLOAT, start, n, &nullValue, values.data(), &anyNull, &status);
    if (status)
        fail(fitsReason(status));
    const float scale = m_high > m_low ? 65535.0f / (m_high - m_low) : 0.0f;
    for (size_t i = 0; i < values.size(); ++i)
        out[i] = std::isfinite(values[i]) ? uint16_t(std::lround((values[i] - m_low) * scale)) : 0;
}

FitsImage FitsImageReader::Read(const QString& path)
{
    FitsImageReader reader(path);
    FitsImage image;
    image.Width = reader.Width();
    image.Height = reader.Height();
    image.Keys = reader.Keys();
    image.Pixels.resize(size_t(image.Width) * size_t(image.Height));
    reader.ReadRows(0, image.Height, image.Pixels.data());
    return image;
}
