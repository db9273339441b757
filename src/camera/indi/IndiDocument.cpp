#include "IndiDocument.h"

#include "camera/AutomationError.h"
#include "camera/ImageSave.h"
#include "image/FitsObjectHeader.h"
#include "image/ImageError.h"

#include <QSaveFile>
#include <QSet>

namespace {
AutomationError failure(const QString& path, const QString& reason)
{
    return AutomationError(QStringLiteral("Unable to save image %1: %2").arg(path, reason));
}

// Writes `header` and then the image's bytes from `dataOffset` on.
void write(const QString& path, const QByteArray& header, const QByteArray& image, qsizetype dataOffset)
{
    QSaveFile file(path);
    file.setDirectWriteFallback(false);
    if (!file.open(QIODevice::WriteOnly))
        throw failure(path, file.errorString());
    const QByteArrayView data = QByteArrayView(image).sliced(dataOffset);
    if (file.write(header) != header.size() || file.write(data.data(), data.size()) != data.size())
        throw failure(path, file.errorString());
    if (!file.commit())
        throw failure(path, file.errorString());
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

QList<QByteArray> IndiDocument::edits(const QString& path) const
{
    const QString format = m_format.trimmed().toLower();
    if (format != QLatin1String(".fits") && format != QLatin1String(".fit") && format != QLatin1String("fits"))
        throw failure(path, QStringLiteral("the camera sent a \"%1\" image, not a plain FITS file").arg(m_format));
    QList<QByteArray> driver;
    try {
        driver = FitsObjectHeader::Cards(m_image);
    } catch (const ImageError& e) {
        throw failure(path, e.message());
    }
    QSet<QByteArray> present;
    QList<QByteArray> cards;
    for (const QByteArray& card : driver) {
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

FitsObjectHeader IndiDocument::header(const QString& path) const
{
    const QList<QByteArray> cards = edits(path);
    if (cards.isEmpty())
        return {QByteArray(), 0};   // the bytes as the camera sent them
    try {
        return FitsObjectHeader::Edit(m_image, cards);
    } catch (const ImageError& e) {
        throw failure(path, e.message());
    }
}

void IndiDocument::SaveImage(const QString& path)
{
    const FitsObjectHeader h = header(path);
    write(path, h.Header, m_image, h.DataOffset);
}

std::shared_ptr<ImageSave> IndiDocument::StartSave(const QString& path, SaveMode mode)
{
    RefuseExistingFile(path, mode);
    const FitsObjectHeader h = header(path);
    return ImageSave::Start([path, h, image = m_image] { write(path, h.Header, image, h.DataOffset); });
}
