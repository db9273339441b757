#pragma once
// IndiEvent: one complete top-level message of an INDI server, as the stream
// parser hands it on.
#include "camera/indi/IndiProperty.h"

#include <QByteArray>

struct IndiEvent {
    enum class Type { Define, Set, Delete, Message };
    Type Kind = Type::Message;
    // Define/Set: the vector with the elements the message carried (a set
    // may carry only some). Delete: Device and Name (empty Name: the whole
    // device). Message: Device only.
    IndiProperty Property;
    // Which attributes the set message carried (a set may leave them out).
    bool HasState = false;
    // The message attribute of any of them; empty when absent.
    QString Message;
    // Set of a BLOB vector: the decoded bytes and format (".fits", ...) of
    // its first oneBLOB.
    QByteArray Blob;
    QString BlobFormat;
    // The first oneBLOB was not wanted (nobody waits for it): its payload was
    // skipped without decoding and Blob is empty.
    bool BlobSkipped = false;
    // What was wrong with the first oneBLOB ("it announced 999999999999
    // bytes, more than ..."); empty when nothing was. Blob is then empty.
    QString BlobProblem;
    // Its len attribute: the decoded size the server claimed (-1: none).
    qint64 BlobClaimed = -1;
};
