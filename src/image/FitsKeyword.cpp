#include "FitsKeyword.h"

namespace {
constexpr int kCard = 80;

QByteArray ascii(const QString& text)
{
    QByteArray out;
    out.reserve(text.size());
    for (QChar c : text)
        out.append(c.unicode() >= 0x20 && c.unicode() < 0x7f ? char(c.unicode()) : '?');
    return out;
}

QByteArray number(const QVariant& value)
{
    switch (value.typeId()) {
    case QMetaType::Bool:
        return value.toBool() ? "T" : "F";
    case QMetaType::Int:
    case QMetaType::LongLong:
        return QByteArray::number(value.toLongLong());
    default: {
        QByteArray text = QByteArray::number(value.toDouble(), 'G', 15);
        if (!text.contains('.') && !text.contains('E') && !text.contains("nan") && !text.contains("inf"))
            text += ".";
        return text;
    }
    }
}
}

QByteArray FitsKeyword::Quoted(const QString& value)
{
    QByteArray text;
    for (char a : ascii(value)) {
        if (68 - text.size() < (a == '\'' ? 2 : 1))
            break;
        text.append(a);
        if (a == '\'')
            text.append('\'');
    }
    while (text.size() < 8)
        text.append(' ');
    return '\'' + text + '\'';
}

QByteArray FitsKeyword::Card() const
{
    QByteArray card = ascii(Name).left(8).toUpper().leftJustified(8, ' ') + "= ";
    const bool text = Value.typeId() == QMetaType::QString;
    card += text ? Quoted(Value.toString()) : number(Value).rightJustified(20, ' ');
    const QByteArray note = ascii(Comment);
    if (!note.isEmpty() && card.size() + 3 < kCard)
        card += " / " + note;
    return card.leftJustified(kCard, ' ', true);
}

void SetFitsKeyword(std::vector<FitsKeyword>& keys, const FitsKeyword& key)
{
    for (FitsKeyword& k : keys) {
        if (k.Name.compare(key.Name, Qt::CaseInsensitive) == 0) {
            k.Value = key.Value;
            if (!key.Comment.isEmpty())
                k.Comment = key.Comment;
            return;
        }
    }
    keys.push_back(key);
}

QString DateObsText(const QDateTime& utc)
{
    return utc.toUTC().toString(QStringLiteral("yyyy-MM-dd'T'HH:mm:ss.zzz"));
}

QDateTime ParseDateObs(const QString& text)
{
    QString t = text.trimmed();
    if (t.endsWith(QLatin1Char('Z')))
        t.chop(1);
    // Qt reads at most milliseconds: further digits are cut, not rounded.
    const qsizetype dot = t.indexOf(QLatin1Char('.'));
    if (dot >= 0 && t.size() - dot - 1 > 3)
        t.truncate(dot + 4);
    QDateTime utc = QDateTime::fromString(t, Qt::ISODateWithMs);
    if (!utc.isValid() || t.size() < 19)
        return QDateTime();
    utc.setTimeSpec(Qt::UTC);
    return utc;
}
