#include "FitsImageWriter.h"

#include "image/ImageError.h"

#include <cstdlib>
#include <memory>
#include <fitsio.h>

namespace {
[[noreturn]] void fail(const QString& path, const QString& reason)
{
    throw ImageError(QStringLiteral("Unable to save image %1: %2").arg(path, reason));
}

QString fitsReason(int status)
{
    char text[FLEN_STATUS] = {};
    fits_get_errstatus(status, text);
    return QString::fromLatin1(text);
}

void writeKeyword(fitsfile* f, const FitsKeyword& k, int* status)
{
    const QByteArray name = k.Name.toLatin1();
    const QByteArray comment = k.Comment.toLatin1();
    switch (k.Value.typeId()) {
    case QMetaType::Int: {
        int v = k.Value.toInt();
        fits_update_key(f, TINT, name.constData(), &v, comment.constData(), status);
        break;
    }
    case QMetaType::LongLong: {
        LONGLONG v = k.Value.toLongLong();
        fits_update_key(f, TLONGLONG, name.constData(), &v, comment.constData(), status);
        break;
    }
    case QMetaType::Bool: {
        int v = k.Value.toBool() ? 1 : 0;
        fits_update_key(f, TLOGICAL, name.constData(), &v, comment.constData(), status);
        break;
    }
    case QMetaType::Double: {
        double v = k.Value.toDouble();
        fits_update_key(f, TDOUBLE, name.constData(), &v, comment.constData(), status);
        break;
    }
    default: {
        // FITS strings are ASCII; anything else is replaced rather than lost
        // silently as a broken header.
        QByteArray v = k.Value.toString().toLatin1();
        fits_update_key(f, TSTRING, name.constData(), v.data(), comment.constData(), status);
        break;
    }
    }
}

// The whole file in memory, as cfitsio writes it (not copied: large frames).
struct Rendered {
    std::unique_ptr<void, void (*)(void*)> memory {nullptr, std::free};
    qsizetype size = 0;
};

Rendered render(const QString& path, int width, int height, const std::vector<uint16_t>& pixels,
                  const std::vector<FitsKeyword>& keywords)
{
    fitsfile* f = nullptr;
    int status = 0;
    void* memory = nullptr;
    size_t size = 0;
    fits_create_memfile(&f, &memory, &size, 2880, std::realloc, &status);
    if (status)
        fail(path, fitsReason(status));
    long axes[2] = {width, height};
    fits_create_img(f, USHORT_IMG, 2, axes, &status);
    for (const FitsKeyword& k : keywords)
        writeKeyword(f, k, &status);
    fits_write_img(f, TUSHORT, 1, LONGLONG(pixels.size()), const_cast<uint16_t*>(pixels.data()), &status);
    // The file's length is the end of its last block; the buffer may be larger.
    LONGLONG headStart = 0, dataStart = 0, dataEnd = 0;
    fits_get_hduaddrll(f, &headStart, &dataStart, &dataEnd, &status);
    int closeStatus = 0;
    fits_close_file(f, &closeStatus);
    Rendered out;
    out.memory.reset(memory);
    if (status || closeStatus)
        fail(path, fitsReason(status ? status : closeStatus));
    if (!memory || dataEnd <= 0 || size_t(dataEnd) > size)
        fail(path, QStringLiteral("the image could not be laid out"));
    out.size = qsizetype(dataEnd);
    return out;
}
}

void FitsImageWriter::Write(const QString& path, int width, int height, const std::vector<uint16_t>& pixels,
                            const std::vector<FitsKeyword>& keywords, ImageFileCommit::Mode mode)
{
    if (path.trimmed().isEmpty())
        fail(path, QStringLiteral("no file name given"));
    if (pixels.size() != size_t(width) * size_t(height) || width <= 0 || height <= 0)
        fail(path, QStringLiteral("the image is empty"));
    const Rendered file = render(path, width, height, pixels, keywords);
    ImageFileCommit::Write(path, {QByteArrayView(static_cast<const char*>(file.memory.get()), file.size)}, mode);
}
