#include "FitsImageWriter.h"

#include "image/ImageError.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryFile>
#include <fitsio.h>
#include <filesystem>

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

// Writes the whole file at tmpPath (which must not exist).
void writeFile(const QString& tmpPath, const QString& path, int width, int height,
               const std::vector<uint16_t>& pixels, const std::vector<FitsKeyword>& keywords)
{
    fitsfile* f = nullptr;
    int status = 0;
    const QByteArray native = QFile::encodeName(tmpPath);
    fits_create_diskfile(&f, native.constData(), &status);
    if (status)
        fail(path, fitsReason(status));
    long axes[2] = {width, height};
    fits_create_img(f, USHORT_IMG, 2, axes, &status);
    for (const FitsKeyword& k : keywords)
        writeKeyword(f, k, &status);
    fits_write_img(f, TUSHORT, 1, LONGLONG(pixels.size()), const_cast<uint16_t*>(pixels.data()), &status);
    int closeStatus = 0;
    fits_close_file(f, &closeStatus);
    if (status || closeStatus) {
        QFile::remove(tmpPath);
        fail(path, fitsReason(status ? status : closeStatus));
    }
}
}

void FitsImageWriter::Write(const QString& path, int width, int height, const std::vector<uint16_t>& pixels,
                            const std::vector<FitsKeyword>& keywords)
{
    if (path.trimmed().isEmpty())
        fail(path, QStringLiteral("no file name given"));
    if (pixels.size() != size_t(width) * size_t(height) || width <= 0 || height <= 0)
        fail(path, QStringLiteral("the image is empty"));
    const QFileInfo target(path);
    const QFileInfo dir(target.absolutePath());
    if (!dir.exists())
        fail(path, QStringLiteral("the folder %1 does not exist").arg(QDir::toNativeSeparators(dir.filePath())));
    if (!dir.isDir())
        fail(path, QStringLiteral("%1 is not a folder").arg(QDir::toNativeSeparators(dir.filePath())));
    if (target.isDir())
        fail(path, QStringLiteral("a folder of that name exists"));

    // Reserve a unique temporary name; its error text tells why the folder
    // cannot be written (permission, read-only file system, ...).
    QString tmpPath;
    {
        QTemporaryFile reserve(dir.filePath() + QStringLiteral("/.tandexa-XXXXXX.tmp"));
        reserve.setAutoRemove(false);
        if (!reserve.open())
            fail(path, reserve.errorString());
        tmpPath = reserve.fileName();
    }
    QFile::remove(tmpPath); // cfitsio creates the file itself and refuses an existing one

    writeFile(tmpPath, path, width, height, pixels, keywords);

    std::error_code ec;
    std::filesystem::rename(std::filesystem::path(QFile::encodeName(tmpPath).toStdString()),
                            std::filesystem::path(QFile::encodeName(target.absoluteFilePath()).toStdString()), ec);
    if (ec) {
        QFile::remove(tmpPath);
        fail(path, QString::fromLocal8Bit(ec.message()));
    }
}
