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
#include "camera/indi/IndiBase64Decoder.h"
#include "camera/indi/IndiEvent.h"

#include <QByteArray>
#include <QXmlStreamReader>
#include <deque>
#include <functional>

class IndiStreamParser {
public:
    using Handler = std::function<void(IndiEvent&&)>;

    // `handler` is called once per complete top-level message, from inside
    // feed(), in stream order.
    explicit IndiStreamParser(Handler handler);

    // Takes the next piece of the stream. Returns false once the stream is
    // not well-formed XML (or holds bad base64); errorString() says why and
    // every later feed() fails too.
    bool feed(QByteArrayView bytes);
    // Called when the payload of a BLOB starts to arrive (for timing).
    void setBlobStartHandler(std::function<void()> handler) { m_onBlobStart = std::move(handler); }
    QString errorString() const { return m_error; }

private:
    enum class Mode { Xml, BlobTag, BlobPayload };

    void feedXml(QByteArrayView bytes);
    void drainReader();
    void startTop();
    void startChild();
    void endChild();
    void fail(const QString& why);

    Handler m_handler;
    std::function<void()> m_onBlobStart;
    QXmlStreamReader m_reader;
    QString m_error;

    // Diverting BLOB payloads.
    Mode m_mode = Mode::Xml;
    QByteArray m_hold;      // tail that may be the start of "<oneBLOB"
    QByteArray m_tag;       // the <oneBLOB ...> tag being collected
    char m_quote = 0;       // inside an attribute value of that tag
    IndiBase64Decoder m_decoder;
    std::deque<QByteArray> m_blobs;   // decoded payloads not yet claimed by their element

    // The message being read.
    int m_depth = 0;        // 1 inside our own root, 2 inside a top-level element
    bool m_topKnown = false;
    bool m_inChild = false;
    bool m_blobTaken = false;
    IndiEvent m_event;
    IndiElement m_element;
    QString m_text;
};
