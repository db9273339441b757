#pragma once
// IndiStreamParser: turns the byte stream of an INDI server into complete
// messages (IndiEvent), fed with whatever pieces the socket delivers.
//
// The stream is a sequence of top-level elements without a root; the parser
// primes its QXmlStreamReader with a root of its own and treats a premature
// end as "wait for more data", so a message may be split at any byte.
// BLOB payloads (base64 text inside <oneBLOB>) are taken out of the stream
// before the XML reader sees them and decoded as they arrive, so a large
// image costs the same small steps as the rest of the stream and is never
// held as UTF-16 text.
//
// What a server sends is checked, never trusted:
//  - a BLOB's len attribute is a claim: passed on with what arrived
//    (BlobClaimed), never used to allocate beyond the limit the BLOB policy
//    gives for its property; a payload past that limit is skipped, not
//    decoded, and the event says so (BlobProblem);
//  - a BLOB nobody waits for (policy limit below 0) is skipped undecoded;
//  - the text of one element is at most MaxTextBytes, the XML of one
//    message (without BLOB payloads) at most MaxMessageBytes;
//  - a DTD, malformed XML or bad base64 end the stream with a message that
//    says what was wrong with what the server sent.
#include "camera/indi/IndiBase64Decoder.h"
#include "camera/indi/IndiEvent.h"

#include <QByteArray>
#include <QXmlStreamReader>
#include <deque>
#include <functional>

class IndiStreamParser {
public:
    using Handler = std::function<void(IndiEvent&&)>;
    // Most decoded bytes a BLOB of (device, property) may have; below 0: not
    // wanted (skipped without decoding). Asked when its payload begins.
    using BlobPolicy = std::function<qint64(const QString& device, const QString& name)>;

    static constexpr qsizetype MaxTextBytes = 1024 * 1024;
    // XML (BLOB payloads not counted) one top-level message may take.
    static constexpr qsizetype MaxMessageBytes = 16 * 1024 * 1024;

    // `handler` is called once per complete top-level message, from inside
    // feed(), in stream order.
    explicit IndiStreamParser(Handler handler);

    // Takes the next piece of the stream. Returns false once the stream is
    // not well-formed XML (or holds bad base64); errorString() says why and
    // every later feed() fails too.
    bool feed(QByteArrayView bytes);
    // Called when the payload of a BLOB starts to arrive (for timing).
    void setBlobStartHandler(std::function<void()> handler) { m_onBlobStart = std::move(handler); }
    // Without a policy every BLOB is decoded, without a limit.
    void setBlobPolicy(BlobPolicy policy) { m_policy = std::move(policy); }
    // Skips the rest of the payload now arriving, if it belongs to (device,
    // name): whoever waited for it has given up.
    void abandonBlob(const QString& device, const QString& name);
    // Decoded bytes held for a BLOB that is still arriving.
    qsizetype pendingBlobBytes() const { return m_decoder.size(); }
    QString errorString() const { return m_error; }

private:
    enum class Mode { Xml, BlobTag, BlobPayload, BlobSkip };
    struct Payload {
        QByteArray Bytes;
        bool Skipped = false;
        QString Problem;
        qint64 Claimed = -1;
    };

    void feedXml(QByteArrayView bytes);
    void drainReader();
    void startTop();
    void startChild();
    void endChild();
    void beginPayload();
    void endPayload();
    void skipPayload(const QString& problem);
    void fail(const QString& why);

    Handler m_handler;
    std::function<void()> m_onBlobStart;
    BlobPolicy m_policy;
    QXmlStreamReader m_reader;
    QString m_error;

    // Diverting BLOB payloads.
    Mode m_mode = Mode::Xml;
    QByteArray m_hold;      // tail that may be the start of "<oneBLOB"
    QByteArray m_tag;       // the <oneBLOB ...> tag being collected
    char m_quote = 0;       // inside an attribute value of that tag
    IndiBase64Decoder m_decoder;
    qint64 m_limit = -1;    // decoded bytes the current payload may have (-1: none)
    qint64 m_claimed = -1;  // its len attribute (-1: none)
    QString m_problem;      // why the current payload is being skipped
    std::deque<Payload> m_blobs;   // payloads not yet claimed by their element

    // The message being read.
    int m_depth = 0;        // 1 inside our own root, 2 inside a top-level element
    bool m_topKnown = false;
    bool m_inChild = false;
    bool m_blobTaken = false;
    IndiEvent m_event;
    IndiElement m_element;
    QString m_text;
    qsizetype m_xmlSinceMessage = 0;   // XML fed since the last message ended
};
