#include "IndiDocument.h"

#include "camera/AutomationError.h"
#include "camera/FileExistsError.h"
#include "image/FitsObjectHeader.h"
#include "image/FitsPrimaryHdu.h"
#include "image/ImageError.h"
#include "image/ImageFileCommit.h"

IndiDocument::IndiDocument(QByteArray image, QString format)
    : m_image(std::move(image)), m_format(std::move(format))
{
}

void IndiDocument::SetFITSKey(const QString& key, const QVariant& value)
{
    SetFitsKeyword(m_keys, {key, value, QString()});
}

void IndiDocument::SaveImage(const QString& path, SaveMode mode)
{
    const auto fail = [&](const QString& reason) {
        return AutomationError(QStringLiteral("Unable to save image %1: %2").arg(path, reason));
    };
    const QString format = m_format.trimmed().toLower();
    if (format != QLatin1String(".fits") && format != QLatin1String(".fit") && format != QLatin1String("fits"))
        throw fail(QStringLiteral("the camera sent a \"%1\" image, not a plain FITS file").arg(m_format));
    FitsPrimaryHdu hdu;
    FitsObjectHeader header {QByteArray(), 0};
    QList<QByteArray> cards;
    if (!m_displayName.isEmpty())
        cards.append(FitsObjectHeader::Card(m_displayName));
    for (const FitsKeyword& k : m_keys)
        cards.append(k.Card());
    try {
        hdu = FitsPrimaryHdu::Inspect(m_image);
        header = cards.isEmpty() ? FitsObjectHeader {m_image.left(hdu.HeaderBytes), hdu.HeaderBytes}
                                 : FitsObjectHeader::Edit(m_image, cards);
    } catch (const ImageError& e) {
        throw fail(QStringLiteral("the camera's image is not a valid FITS file: ") + e.message());
    }
    const QByteArrayView all(m_image);
    const QByteArrayView data = all.sliced(header.DataOffset, hdu.DataBytes);
    // The last block filled with zeros, as the standard wants, however the
    // driver filled it (or left it short).
    const QByteArray zeros(hdu.PaddedEnd - header.DataOffset - hdu.DataBytes, '\0');
    QList<QByteArrayView> parts {header.Header, data, zeros};
    // Extensions after the primary unit go along as sent.
    if (all.size() > hdu.PaddedEnd && all.sliced(hdu.PaddedEnd).startsWith("XTENSION="))
        parts.append(all.sliced(hdu.PaddedEnd));
    try {
        ImageFileCommit::Write(path, parts,
                               mode == SaveMode::CreateNew ? ImageFileCommit::Mode::CreateNew : ImageFileCommit::Mode::Replace);
    } catch (const ImageExistsError& e) {
        throw FileExistsError(e.message());
    } catch (const ImageError& e) {
        throw AutomationError(e.message());
    }
}
