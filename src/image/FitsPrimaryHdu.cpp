#include "FitsPrimaryHdu.h"

#include "image/ImageError.h"

#include <limits>
#include <optional>

namespace {
constexpr qsizetype kCard = 80;
constexpr qsizetype kBlock = 2880;

[[noreturn]] void bad(const QString& what)
{
    throw ImageError(what);
}

QByteArrayView keywordOf(QByteArrayView card) { return card.first(8).trimmed(); }

// The integer value of a card "KEY     = value / comment"; nothing when the
// card has no value or the value is not an integer.
std::optional<qint64> integerOf(QByteArrayView card)
{
    if (card.size() < 10 || card.sliced(8, 2) != "= ")
        return std::nullopt;
    QByteArrayView value = card.sliced(10);
    if (const qsizetype slash = value.indexOf('/'); slash >= 0)
        value = value.first(slash);
    bool ok = false;
    const qint64 v = value.trimmed().toLongLong(&ok);
    return ok ? std::optional<qint64>(v) : std::nullopt;
}

QString cardText(QByteArrayView card) { return QString::fromLatin1(card.trimmed()); }
}

FitsPrimaryHdu FitsPrimaryHdu::Inspect(QByteArrayView fits)
{
    if (!fits.startsWith("SIMPLE  ="))
        bad(QStringLiteral("it is not a FITS file"));
    qsizetype end = -1;
    qint64 bitpix = 0, naxis = -1, elements = 1;
    int index = 0;   // mandatory cards seen in order
    for (qsizetype at = 0; at + kCard <= fits.size(); at += kCard, ++index) {
        const QByteArrayView card = fits.sliced(at, kCard);
        for (char c : card) {
            if (c < 0x20 || c > 0x7e)
                bad(QStringLiteral("its header holds a byte that is not printable text (card %1)").arg(index + 1));
        }
        const QByteArrayView key = keywordOf(card);
        if (key == "END" && card.sliced(3).trimmed().isEmpty()) {
            end = at;
            break;
        }
        if (index == 0) {
            if (card.size() < 30 || card.at(29) != 'T')
                bad(QStringLiteral("its first card does not say SIMPLE = T (%1)").arg(cardText(card)));
        } else if (index == 1) {
            const auto v = integerOf(card);
            if (key != "BITPIX" || !v || (*v != 8 && *v != 16 && *v != 32 && *v != 64 && *v != -32 && *v != -64))
                bad(QStringLiteral("its second card is not a valid BITPIX (%1)").arg(cardText(card)));
            bitpix = *v;
        } else if (index == 2) {
            const auto v = integerOf(card);
            if (key != "NAXIS" || !v || *v < 0 || *v > 999)
                bad(QStringLiteral("its third card is not a valid NAXIS (%1)").arg(cardText(card)));
            naxis = *v;
        } else if (index < 3 + naxis) {
            const auto v = integerOf(card);
            if (key != "NAXIS" + QByteArray::number(index - 2) || !v || *v < 0)
                bad(QStringLiteral("card %1 is not a valid NAXIS%2 (%3)").arg(index + 1).arg(index - 2).arg(cardText(card)));
            // Kept below the largest size a file can have.
            if (*v > 0 && elements > std::numeric_limits<qint64>::max() / 16 / *v)
                bad(QStringLiteral("its header declares more data than any file can hold"));
            elements *= *v;
        }
    }
    if (end < 0)
        bad(fits.size() < kBlock ? QStringLiteral("it is cut short inside its header")
                                 : QStringLiteral("its header has no END card"));
    if (index < 3 + naxis || naxis < 0)
        bad(QStringLiteral("its header ends before the mandatory keywords"));
    FitsPrimaryHdu hdu;
    hdu.HeaderBytes = (end + kCard + kBlock - 1) / kBlock * kBlock;
    hdu.DataBytes = naxis == 0 ? 0 : qsizetype(elements * (bitpix < 0 ? -bitpix : bitpix) / 8);
    hdu.PaddedEnd = hdu.HeaderBytes + (hdu.DataBytes + kBlock - 1) / kBlock * kBlock;
    if (hdu.HeaderBytes > fits.size())
        bad(QStringLiteral("it is cut short inside its header"));
    const qsizetype have = fits.size() - hdu.HeaderBytes;
    if (have < hdu.DataBytes)
        bad(QStringLiteral("its data is %1 bytes short of the %2 its header declares")
                .arg(hdu.DataBytes - have)
                .arg(hdu.DataBytes));
    return hdu;
}
