#include "IndiDocument.h"

#include "camera/AutomationError.h"
#include "camera/FileExistsError.h"
#include "camera/ImageSave.h"
#include "image/FitsObjectHeader.h"
#include "image/FitsPrimaryHdu.h"
#include "image/ImageError.h"
#include "image/ImageFileCommit.h"

#include <QSet>

namespace {
AutomationError failure(const QString& path, const QString& reason)
{
    return AutomationError(QStringLiteral("Unable to save image %1: %2").arg(path, reason));
}

// Writes the layout's header and the image's data (and extensions) through
// the one commit step; safe on any thread.
void write(const QString& path, const IndiDocument::Layout& layout, const QByteArray& image, SaveMode mode)
{
    const QByteArrayView all(image);
    const QByteArrayView data = all.sliced(layout.DataOffset, layout.DataBytes);
    // The last block filled with zeros, as the standard wants, however the
    // driver filled it (or left it short).
    const QByteArray zeros(layout.PaddedEnd - layout.DataOffset - layout.DataBytes, '\0');
    QList<QByteArrayView> parts {layout.Header, data, zeros};
    // Extensions after the primary unit go along as sent.
    if (all.size() > layout.PaddedEnd && all.sliced(layout.PaddedEnd).startsWith("XTENSION="))
        parts.append(all.sliced(layout.PaddedEnd));
    try {
        ImageFileCommit::Write(path, parts,
                               mode == SaveMode::CreateNew ? ImageFileCommit::Mode::CreateNew : ImageFileCommit::Mode::Replace);
    } catch (const ImageExistsError& e) {
        throw FileExistsError(e.message());
    } catch (const ImageError& e) {
        throw AutomationError(e.message());
    }
}
}

IndiDocument::IndiDocument(QByteArray image, QString format, std::vector<FitsKeyword> known)
    : m_image(std::move(image)), m_format(std::move(format)), m_known(std::move(known))
{
}

void IndiDocument::SetFITSKey(const QString& key, const QVariant& value)
{
    SetFitsKeyword(m_keys, {key, value, QString()});
}

QList<QByteArray> IndiDocument::edits() const
{
    QSet<QByteArray> present;
    QList<QByteArray> cards;
    for (const QByteArray& card : FitsObjectHeader::Cards(m_image)) {
        const QByteArray keyword = FitsObjectHeader::Keyword(card);
        present.insert(keyword);
        if (keyword == "DATE-OBS") {
            const QString value = FitsObjectHeader::Value(card);
            const QDateTime utc = ParseDateObs(value);
            if (utc.isValid() && value != DateObsText(utc))
                cards.append(FitsKeyword {"DATE-OBS", DateObsText(utc), "UTC start of exposure"}.Card());
        }
    }
    for (const FitsKeyword& k : m_known) {
        if (!present.contains(k.Name.toLatin1()))
            cards.append(k.Card());
    }
    if (!m_displayName.isEmpty())
        cards.append(FitsObjectHeader::Card(m_displayName));
    for (const FitsKeyword& k : m_keys)
        cards.append(k.Card());
    return cards;
}

IndiDocument::Layout IndiDocument::layout(const QString& path) const
{
    const QString format = m_format.trimmed().toLower();
    if (format != QLatin1String(".fits") && format != QLatin1String(".fit") && format != QLatin1String("fits"))
        throw failure(path, QStringLiteral("the camera sent a \"%1\" image, not a plain FITS file").arg(m_format));
    try {
        const FitsPrimaryHdu hdu = FitsPrimaryHdu::Inspect(m_image);
        const QList<QByteArray> cards = edits();
        const FitsObjectHeader header = cards.isEmpty() ? FitsObjectHeader {m_image.left(hdu.HeaderBytes), hdu.HeaderBytes}
                                                        : FitsObjectHeader::Edit(m_image, cards);
        return {header.Header, header.DataOffset, hdu.DataBytes, hdu.PaddedEnd};
    } catch (const ImageError& e) {
        throw failure(path, QStringLiteral("the camera's image is not a valid FITS file: ") + e.message());
    }
}

void IndiDocument::SaveImage(const QString& path, SaveMode mode)
{
    write(path, layout(path), m_image, mode);
}

std::shared_ptr<ImageSave> IndiDocument::StartSave(const QString& path, SaveMode mode)
{
    return ImageSave::Start([path, l = layout(path), image = m_image, mode] { write(path, l, image, mode); });
}
