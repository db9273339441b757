#include "IndiDocument.h"

#include "camera/AutomationError.h"
#include "image/FitsObjectHeader.h"
#include "image/ImageError.h"

#include <QSaveFile>

IndiDocument::IndiDocument(QByteArray image, QString format)
    : m_image(std::move(image)), m_format(std::move(format))
{
}

void IndiDocument::SetFITSKey(const QString& key, const QVariant& value)
{
    SetFitsKeyword(m_keys, {key, value, QString()});
}

void IndiDocument::SaveImage(const QString& path)
{
    const auto fail = [&](const QString& reason) {
        return AutomationError(QStringLiteral("Unable to save image %1: %2").arg(path, reason));
    };
    const QString format = m_format.trimmed().toLower();
    if (format != QLatin1String(".fits") && format != QLatin1String(".fit") && format != QLatin1String("fits"))
        throw fail(QStringLiteral("the camera sent a \"%1\" image, not a plain FITS file").arg(m_format));
    FitsObjectHeader header {QByteArray(), 0};
    QList<QByteArray> cards;
    if (!m_displayName.isEmpty())
        cards.append(FitsObjectHeader::Card(m_displayName));
    for (const FitsKeyword& k : m_keys)
        cards.append(k.Card());
    if (cards.isEmpty()) {
        if (!m_image.startsWith("SIMPLE  ="))
            throw fail(QStringLiteral("the camera's image is not a FITS file"));
    } else {
        try {
            header = FitsObjectHeader::Edit(m_image, cards);
        } catch (const ImageError& e) {
            throw fail(e.message());
        }
    }
    QSaveFile file(path);
    file.setDirectWriteFallback(false);
    if (!file.open(QIODevice::WriteOnly))
        throw fail(file.errorString());
    const QByteArrayView data = QByteArrayView(m_image).sliced(header.DataOffset);
    if (file.write(header.Header) != header.Header.size() || file.write(data.data(), data.size()) != data.size())
        throw fail(file.errorString());
    if (!file.commit())
        throw fail(file.errorString());
}
