#include "FitsObjectHeader.h"

#include "image/FitsKeyword.h"
#include "image/ImageError.h"

#include <QList>

namespace {
constexpr qsizetype kCard = 80;
constexpr qsizetype kBlock = 2880;

QByteArray keywordOf(const QByteArray& card) { return card.left(8).trimmed(); }
}

QByteArray FitsObjectHeader::Card(const QString& object)
{
    // The comment at column 32, as cfitsio and the drivers write it.
    QByteArray card = "OBJECT  = " + FitsKeyword::Quoted(object);
    const QByteArray comment = " / image title";
    if (card.leftJustified(30).size() + comment.size() <= kCard)
        card = card.leftJustified(30) + comment;
    return card.leftJustified(kCard, ' ', true);
}

FitsObjectHeader FitsObjectHeader::Make(const QByteArray& fits, const QString& object)
{
    return Edit(fits, {Card(object)});
}

QList<QByteArray> FitsObjectHeader::Cards(const QByteArray& fits)
{
    if (!fits.startsWith("SIMPLE  ="))
        throw ImageError(QStringLiteral("the camera's image is not a FITS file"));
    QList<QByteArray> cards;
    for (qsizetype at = 0; at + kCard <= fits.size(); at += kCard) {
        const QByteArray card = fits.mid(at, kCard);
        if (keywordOf(card) == "END" && card.mid(3).trimmed().isEmpty())
            return cards;
        cards.append(card);
    }
    throw ImageError(QStringLiteral("the camera's FITS image has no complete header"));
}

QByteArray FitsObjectHeader::Keyword(const QByteArray& card) { return keywordOf(card); }

QString FitsObjectHeader::Value(const QByteArray& card)
{
    if (card.mid(8, 2) != "= ")
        return QString();
    QByteArray value = card.mid(10).trimmed();
    if (value.startsWith('\'')) {
        QByteArray text;
        for (qsizetype i = 1; i < value.size(); ++i) {
            if (value[i] == '\'' && i + 1 < value.size() && value[i + 1] == '\'') {
                text += '\'';
                ++i;
            } else if (value[i] == '\'') {
                break;
            } else {
                text += value[i];
            }
        }
        return QString::fromLatin1(text).trimmed();
    }
    const qsizetype slash = value.indexOf('/');
    return QString::fromLatin1(slash >= 0 ? value.left(slash) : value).trimmed();
}

FitsObjectHeader FitsObjectHeader::Edit(const QByteArray& fits, const QList<QByteArray>& edits)
{
    if (!fits.startsWith("SIMPLE  ="))
        throw ImageError(QStringLiteral("the camera's image is not a FITS file"));
    QList<QByteArray> cards;
    qsizetype end = -1;
    for (qsizetype at = 0; at + kCard <= fits.size(); at += kCard) {
        const QByteArray card = fits.mid(at, kCard);
        if (keywordOf(card) == "END" && card.mid(3).trimmed().isEmpty()) {
            end = at;
            break;
        }
        cards.append(card);
    }
    if (end < 0)
        throw ImageError(QStringLiteral("the camera's FITS image has no complete header"));
    const qsizetype dataOffset = (end + kCard + kBlock - 1) / kBlock * kBlock;
    if (dataOffset > fits.size())
        throw ImageError(QStringLiteral("the camera's FITS image is cut short"));

    for (const QByteArray& mine : edits) {
        const QByteArray keyword = keywordOf(mine);
        bool replaced = false;
        for (QByteArray& card : cards) {
            if (keywordOf(card) == keyword) {
                card = mine;
                replaced = true;
                break;
            }
        }
        if (!replaced)
            cards.append(mine);
    }
    QByteArray header;
    header.reserve(dataOffset + kBlock);
    for (const QByteArray& card : cards)
        header += card;
    header += QByteArray("END").leftJustified(kCard, ' ');
    const qsizetype padded = (header.size() + kBlock - 1) / kBlock * kBlock;
    header = header.leftJustified(padded, ' ');
    return {header, dataOffset};
}
