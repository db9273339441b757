#include "camera/indi/IndiRequest.h"

#include <QXmlStreamWriter>

namespace {
QString kindTag(IndiKind kind)
{
    switch (kind) {
    case IndiKind::Number: return QStringLiteral("Number");
    case IndiKind::Switch: return QStringLiteral("Switch");
    case IndiKind::Text: return QStringLiteral("Text");
    case IndiKind::Light: return QStringLiteral("Light");
    case IndiKind::Blob: return QStringLiteral("BLOB");
    }
    return QString();
}
}

namespace IndiRequest {

QByteArray GetProperties(const QString& device)
{
    QByteArray xml;
    QXmlStreamWriter w(&xml);
    w.writeStartElement(QStringLiteral("getProperties"));
    w.writeAttribute(QStringLiteral("version"), QStringLiteral("1.7"));
    if (!device.isEmpty())
        w.writeAttribute(QStringLiteral("device"), device);
    w.writeEndElement();
    return xml + '\n';
}

QByteArray NewVector(IndiKind kind, const QString& device, const QString& name,
                     const QList<QPair<QString, QString>>& values)
{
    QByteArray xml;
    QXmlStreamWriter w(&xml);
    w.writeStartElement(QStringLiteral("new%1Vector").arg(kindTag(kind)));
    w.writeAttribute(QStringLiteral("device"), device);
    w.writeAttribute(QStringLiteral("name"), name);
    for (const auto& [element, value] : values) {
        w.writeStartElement(QStringLiteral("one%1").arg(kindTag(kind)));
        w.writeAttribute(QStringLiteral("name"), element);
        w.writeCharacters(value);
        w.writeEndElement();
    }
    w.writeEndElement();
    return xml + '\n';
}

QByteArray EnableBlobs(const QString& device)
{
    QByteArray xml;
    QXmlStreamWriter w(&xml);
    w.writeStartElement(QStringLiteral("enableBLOB"));
    w.writeAttribute(QStringLiteral("device"), device);
    w.writeCharacters(QStringLiteral("Also"));
    w.writeEndElement();
    return xml + '\n';
}

}
