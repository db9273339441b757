#pragma once
// IndiRequest: the XML texts a client sends an INDI server, each one line
// ending in a line feed, for the camera's connection and the devices
// dialog's look-ups alike.
#include "camera/indi/IndiProperty.h"

#include <QByteArray>
#include <QList>
#include <QPair>
#include <QString>

namespace IndiRequest {
// <getProperties version="1.7"/>, for one device when `device` is given.
QByteArray GetProperties(const QString& device = QString());
// <new<Kind>Vector device= name=> with one element per (name, value).
QByteArray NewVector(IndiKind kind, const QString& device, const QString& name,
                     const QList<QPair<QString, QString>>& values);
// <enableBLOB device=>Also</enableBLOB>: images come on this connection too.
QByteArray EnableBlobs(const QString& device);
}
