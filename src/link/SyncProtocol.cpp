#include "link/SyncProtocol.h"

#include <QList>

namespace SyncProtocol {

QByteArray PlaceText(const Place& p)
{
    return "window=" + QByteArray::number(p.WindowMs) + " pass=" + QByteArray::number(p.Pass)
           + " item=" + QByteArray::number(p.Item) + " frame=" + QByteArray::number(p.Frame)
           + " dithers=" + QByteArray::number(p.Dithers);
}

Place ParsePlace(QByteArrayView words)
{
    Place p;
    const struct {
        QByteArrayView name;
        qint64 Place::*field;
    } fields[] = {{"window", &Place::WindowMs}, {"pass", &Place::Pass}, {"item", &Place::Item},
                  {"frame", &Place::Frame}, {"dithers", &Place::Dithers}};
    for (const QByteArray& word : words.toByteArray().split(' ')) {
        const qsizetype eq = word.indexOf('=');
        bool ok = false;
        const qint64 value = word.mid(eq + 1).toLongLong(&ok);
        for (const auto& f : fields) {
            if (ok && eq > 0 && QByteArrayView(word).first(eq) == f.name)
                p.*f.field = value;
        }
    }
    return p;
}

bool Verb(QByteArrayView line, QByteArrayView verb, QByteArrayView* rest)
{
    if (!line.startsWith(verb) || (line.size() > verb.size() && line[verb.size()] != ' '))
        return false;
    if (rest)
        *rest = line.size() > verb.size() ? line.sliced(verb.size() + 1) : QByteArrayView();
    return true;
}

} // namespace SyncProtocol
