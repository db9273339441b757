#include "IndiStreamParser.h"

#include <QRegularExpression>

namespace {
const QByteArray kBlobOpen = QByteArrayLiteral("<oneBLOB");

bool isTagBoundary(char c)
{
    return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '>' || c == '/';
}

std::optional<IndiKind> vectorKind(QStringView tag, QStringView prefix)
{
    if (!tag.startsWith(prefix) || !tag.endsWith(u"Vector"))
        return std::nullopt;
    const QStringView kind = tag.mid(prefix.size(), tag.size() - prefix.size() - 6);
    if (kind == u"Number") return IndiKind::Number;
    if (kind == u"Switch") return IndiKind::Switch;
    if (kind == u"Text") return IndiKind::Text;
    if (kind == u"Light") return IndiKind::Light;
    if (kind == u"BLOB") return IndiKind::Blob;
    return std::nullopt;
}

// The len attribute of a <oneBLOB> tag: the decoded size the server claims;
// -1 when absent or not a number that fits.
qint64 claimedLength(const QByteArray& tag)
{
    static const QRegularExpression len(QStringLiteral("\\slen\\s*=\\s*[\"']\\s*(\\d{1,18})\\s*[\"']"));
    const QRegularExpressionMatch m = len.match(QString::fromLatin1(tag));
    return m.hasMatch() ? m.captured(1).toLongLong() : -1;
}

QString megabytes(qint64 bytes) { return QString::number(bytes / 1048576.0, 'f', 1) + QStringLiteral(" MB"); }
}

IndiStreamParser::IndiStreamParser(Handler handler) : m_handler(std::move(handler))
{
    m_reader.addData(QByteArrayLiteral("<indi>"));
}

void IndiStreamParser::fail(const QString& why)
{
    if (m_error.isEmpty())
        m_error = why;
}

void IndiStreamParser::abandonBlob(const QString& device, const QString& name)
{
    if (m_mode == Mode::BlobPayload && m_event.Property.Device == device && m_event.Property.Name == name) {
        m_decoder.discard();
        m_mode = Mode::BlobSkip;
        m_problem.clear();   // not a fault of the server: nobody wants it any more
    }
}

void IndiStreamParser::beginPayload()
{
    m_claimed = claimedLength(m_tag);
    m_limit = m_policy ? m_policy(m_event.Property.Device, m_event.Property.Name) : -2;
    m_problem.clear();
    m_mode = Mode::BlobPayload;
    if (m_onBlobStart)
        m_onBlobStart();
    if (m_limit == -2) {
        m_limit = -1;   // no policy: everything, without a limit
        return;
    }
    if (m_limit < 0) {
        m_mode = Mode::BlobSkip;
        return;
    }
    // A claim within the bound saves growing the buffer; one beyond it is
    // simply not believed (the data decides).
    if (m_claimed > 0 && m_claimed <= m_limit)
        m_decoder.reserve(qsizetype(m_claimed));
}

void IndiStreamParser::skipPayload(const QString& problem)
{
    m_decoder.discard();
    m_problem = problem;
    m_mode = Mode::BlobSkip;
}

void IndiStreamParser::endPayload()
{
    Payload p;
    if (m_mode == Mode::BlobSkip) {
        p.Skipped = m_problem.isEmpty();
        p.Problem = m_problem;
    } else if (!m_decoder.finish()) {
        fail(QStringLiteral("the server sent a BLOB that is not valid base64"));
    } else {
        p.Bytes = m_decoder.takeResult();
        p.Claimed = m_claimed;
    }
    m_decoder.discard();
    m_problem.clear();
    m_blobs.push_back(std::move(p));
    m_mode = Mode::Xml;
}

bool IndiStreamParser::feed(QByteArrayView bytes)
{
    if (!m_error.isEmpty())
        return false;
    if (!m_hold.isEmpty()) {
        QByteArray joined = m_hold + bytes.toByteArray();
        m_hold.clear();
        return feed(joined);
    }
    qsizetype i = 0;
    const qsizetype n = bytes.size();
    while (i < n && m_error.isEmpty()) {
        if (m_mode == Mode::Xml) {
            qsizetype at = bytes.indexOf(QByteArrayView(kBlobOpen), i);
            while (at >= 0 && at + kBlobOpen.size() < n && !isTagBoundary(bytes[at + kBlobOpen.size()]))
                at = bytes.indexOf(QByteArrayView(kBlobOpen), at + 1);
            if (at >= 0 && at + kBlobOpen.size() < n) {
                feedXml(bytes.sliced(i, at - i));
                m_mode = Mode::BlobTag;
                m_tag.clear();
                m_quote = 0;
                i = at;
                continue;
            }
            // Keep back a tail that may grow into "<oneBLOB" with the next piece.
            qsizetype safe = n;
            for (qsizetype k = std::max(i, n - kBlobOpen.size()); k < n; ++k) {
                if (bytes[k] == '<' && kBlobOpen.startsWith(bytes.sliced(k))) {
                    safe = k;
                    break;
                }
            }
            feedXml(bytes.sliced(i, safe - i));
            m_hold = bytes.sliced(safe).toByteArray();
            break;
        }
        if (m_mode == Mode::BlobTag) {
            qsizetype k = i;
            for (; k < n; ++k) {
                const char c = bytes[k];
                if (m_quote) {
                    if (c == m_quote)
                        m_quote = 0;
                } else if (c == '"' || c == '\'') {
                    m_quote = c;
                } else if (c == '>') {
                    break;
                }
            }
            if (k == n) {
                m_tag.append(bytes.sliced(i));
                if (m_tag.size() > 64 * 1024)
                    fail(QStringLiteral("the server sent a <oneBLOB> tag of more than 64 KB"));
                break;
            }
            m_tag.append(bytes.sliced(i, k + 1 - i));
            i = k + 1;
            feedXml(m_tag);
            if (m_tag.endsWith("/>")) {
                m_blobs.emplace_back();
                m_mode = Mode::Xml;
            } else {
                beginPayload();
            }
            continue;
        }
        // BlobPayload, BlobSkip: base64 has no '<'; the first one opens </oneBLOB>.
        const qsizetype lt = bytes.indexOf('<', i);
        const qsizetype end = lt < 0 ? n : lt;
        if (m_mode == Mode::BlobPayload) {
            m_decoder.append(bytes.sliced(i, end - i));
            if (m_limit >= 0 && m_decoder.size() > m_limit)
                skipPayload(QStringLiteral("it sent more than the %1 the camera can send").arg(megabytes(m_limit)));
        }
        i = end;
        if (lt >= 0)
            endPayload();
    }
    return m_error.isEmpty();
}

void IndiStreamParser::feedXml(QByteArrayView bytes)
{
    if (bytes.isEmpty() || !m_error.isEmpty())
        return;
    // INDI never declares a document type; entities from one could make
    // a few bytes expand into gigabytes.
    if (bytes.contains("<!DOCTYPE") || bytes.contains("<!ENTITY")) {
        fail(QStringLiteral("the server sent a document type declaration (DTD), which INDI does not use"));
        return;
    }
    m_xmlSinceMessage += bytes.size();
    if (m_xmlSinceMessage > MaxMessageBytes) {
        fail(QStringLiteral("the server sent more than %1 without completing a message").arg(megabytes(MaxMessageBytes)));
        return;
    }
    m_reader.addData(bytes.toByteArray());
    drainReader();
}

void IndiStreamParser::drainReader()
{
    while (m_error.isEmpty()) {
        const QXmlStreamReader::TokenType t = m_reader.readNext();
        if (t == QXmlStreamReader::Invalid) {
            if (m_reader.error() != QXmlStreamReader::PrematureEndOfDocumentError)
                fail(QStringLiteral("the server sent malformed XML (%1)").arg(m_reader.errorString()));
            return;
        }
        switch (t) {
        case QXmlStreamReader::DTD:
            fail(QStringLiteral("the server sent a document type declaration (DTD), which INDI does not use"));
            return;
        case QXmlStreamReader::StartElement:
            ++m_depth;
            if (m_depth == 2)
                startTop();
            else if (m_depth == 3 && m_topKnown)
                startChild();
            break;
        case QXmlStreamReader::EndElement:
            if (m_depth == 3 && m_inChild)
                endChild();
            else if (m_reader.name() == u"oneBLOB" && !m_blobs.empty())
                m_blobs.pop_front();   // a BLOB in a message that is not for us
            if (m_depth == 2 && m_topKnown) {
                m_topKnown = false;
                m_xmlSinceMessage = 0;
                IndiEvent done = std::move(m_event);
                m_event = IndiEvent();
                m_handler(std::move(done));
            }
            --m_depth;
            if (m_depth == 1)
                m_xmlSinceMessage = 0;
            if (m_depth == 0)
                fail(QStringLiteral("the server ended the stream with a stray closing tag"));
            break;
        case QXmlStreamReader::Characters:
            if (m_inChild) {
                if (m_text.size() + m_reader.text().size() > MaxTextBytes)
                    fail(QStringLiteral("the server sent a value of more than %1 bytes").arg(MaxTextBytes));
                else
                    m_text += m_reader.text();
            }
            break;
        default:
            break;
        }
    }
}

void IndiStreamParser::startTop()
{
    const QStringView tag = m_reader.name();
    const QXmlStreamAttributes a = m_reader.attributes();
    m_event = IndiEvent();
    m_event.Property.Device = a.value(QLatin1String("device")).toString().trimmed();
    m_event.Property.Name = a.value(QLatin1String("name")).toString().trimmed();
    m_event.Message = a.value(QLatin1String("message")).toString().trimmed();
    m_blobTaken = false;
    m_topKnown = true;
    if (auto k = vectorKind(tag, u"def")) {
        m_event.Kind = IndiEvent::Type::Define;
        m_event.Property.Kind = *k;
    } else if (auto k = vectorKind(tag, u"set")) {
        m_event.Kind = IndiEvent::Type::Set;
        m_event.Property.Kind = *k;
    } else if (tag == u"delProperty") {
        m_event.Kind = IndiEvent::Type::Delete;
    } else if (tag == u"message") {
        m_event.Kind = IndiEvent::Type::Message;
    } else {
        m_topKnown = false;   // newXVector from a snooping driver, getProperties, ...: not for us
        return;
    }
    if (a.hasAttribute(QLatin1String("state"))) {
        if (auto s = IndiProperty::parseState(a.value(QLatin1String("state")).toString())) {
            m_event.Property.State = *s;
            m_event.HasState = true;
        }
    }
    m_event.Property.Perm = a.value(QLatin1String("perm")).toString().trimmed();
}

void IndiStreamParser::startChild()
{
    const QXmlStreamAttributes a = m_reader.attributes();
    m_element = IndiElement();
    m_element.Name = a.value(QLatin1String("name")).toString().trimmed();
    if (a.hasAttribute(QLatin1String("min")))
        m_element.Min = IndiProperty::parseNumber(a.value(QLatin1String("min")).toString());
    if (a.hasAttribute(QLatin1String("max")))
        m_element.Max = IndiProperty::parseNumber(a.value(QLatin1String("max")).toString());
    if (m_reader.name() == u"oneBLOB" && !m_blobTaken)
        m_event.BlobFormat = a.value(QLatin1String("format")).toString().trimmed();
    m_text.clear();
    m_inChild = true;
}

void IndiStreamParser::endChild()
{
    m_inChild = false;
    if (m_reader.name() == u"oneBLOB") {
        Payload payload;
        if (!m_blobs.empty()) {
            payload = std::move(m_blobs.front());
            m_blobs.pop_front();
        }
        m_element.Value = QString::number(payload.Bytes.size());
        if (!m_blobTaken) {
            m_event.Blob = std::move(payload.Bytes);
            m_event.BlobSkipped = payload.Skipped;
            m_event.BlobProblem = payload.Problem;
            m_event.BlobClaimed = payload.Claimed;
            m_blobTaken = true;
        }
    } else {
        m_element.Value = m_text.trimmed();
    }
    if (m_event.Property.Elements.size() < 10000)
        m_event.Property.Elements.append(m_element);
    else
        fail(QStringLiteral("the server sent a property with more than 10000 elements"));
}
