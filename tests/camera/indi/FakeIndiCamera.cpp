#include "FakeIndiCamera.h"

#include <QRegularExpression>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTimer>

namespace {
const char* const kDevice = "Fake CCD";

QByteArray number(const char* name, const QList<QPair<const char*, double>>& elements, double min = 0, double max = 100000)
{
    QByteArray xml = QByteArray("<defNumberVector device=\"") + kDevice + "\" name=\"" + name + "\" state=\"Idle\" perm=\"rw\">";
    for (const auto& [element, value] : elements)
        xml += QByteArray("<defNumber name=\"") + element + "\" min=\"" + QByteArray::number(min) + "\" max=\""
            + QByteArray::number(max) + "\">" + QByteArray::number(value) + "</defNumber>";
    return xml + "</defNumberVector>\n";
}

QByteArray card(const QByteArray& text) { return text.leftJustified(80, ' ', true); }
}

FakeIndiCamera::FakeIndiCamera() : m_server(new QTcpServer(this))
{
    m_server->listen(QHostAddress::LocalHost, 0);
    connect(m_server, &QTcpServer::newConnection, this, [this] {
        m_client = m_server->nextPendingConnection();
        connect(m_client, &QTcpSocket::readyRead, this, &FakeIndiCamera::onRead);
        connect(m_client, &QTcpSocket::bytesWritten, this, &FakeIndiCamera::pump);
    });
}

int FakeIndiCamera::Port() const { return m_server->serverPort(); }

QString FakeIndiCamera::SettingsText() const
{
    return QStringLiteral("[Camera]\r\nDriver=INDI\r\nIndiHost=127.0.0.1\r\nIndiPort=%1\r\nIndiCamera=%2\r\nIndiWheel=\r\n"
                          "IndiReplyTimeout=30\r\nIndiFilterTimeout=60\r\nIndiImageTimeout=30\r\n")
        .arg(Port())
        .arg(QLatin1String(kDevice));
}

QByteArray FakeIndiCamera::ValidFits()
{
    QByteArray header = card("SIMPLE  =                    T") + card("BITPIX  =                   16")
        + card("NAXIS   =                    2") + card("NAXIS1  =                   " + QByteArray::number(Width))
        + card("NAXIS2  =                   " + QByteArray::number(Height)) + card("BZERO   =                32768")
        + card("END");
    header = header.leftJustified(2880, ' ');
    QByteArray data(Width * Height * 2, '\0');
    for (int i = 0; i < data.size(); ++i)
        data[i] = char(i * 7);
    return header + data.leftJustified((data.size() + 2879) / 2880 * 2880, '\0');
}

void FakeIndiCamera::Send(const QByteArray& bytes)
{
    if (m_client)
        m_client->write(bytes);
}

void FakeIndiCamera::Stream(qint64 total, std::function<QByteArray(qint64)> piece)
{
    m_total = total;
    m_streamed = 0;
    m_index = 0;
    m_piece = std::move(piece);
    pump();
}

void FakeIndiCamera::pump()
{
    // Keep about 1 MB queued: enough to keep the client busy, little held here.
    while (m_client && m_piece && m_streamed < m_total && m_client->bytesToWrite() < 1024 * 1024) {
        const QByteArray bytes = m_piece(m_index++);
        m_streamed += bytes.size();
        m_client->write(bytes);
    }
}

void FakeIndiCamera::onRead()
{
    m_input += m_client->readAll();
    // Requests are one element a line, as the client writes them.
    qsizetype end;
    while ((end = m_input.indexOf('\n')) >= 0) {
        const QByteArray request = m_input.left(end);
        m_input.remove(0, end + 1);
        answer(request);
    }
}

void FakeIndiCamera::answer(const QByteArray& request)
{
    if (request.contains("<getProperties")) {
        Send(QByteArray("<defSwitchVector device=\"") + kDevice + "\" name=\"CONNECTION\" state=\"Ok\" perm=\"rw\" rule=\"OneOfMany\">"
             "<defSwitch name=\"CONNECT\">On</defSwitch><defSwitch name=\"DISCONNECT\">Off</defSwitch></defSwitchVector>\n");
        Send(number("CCD_EXPOSURE", {{"CCD_EXPOSURE_VALUE", 1}}, 0.01, 3600));
        Send(QByteArray("<defSwitchVector device=\"") + kDevice + "\" name=\"CCD_ABORT_EXPOSURE\" state=\"Idle\" perm=\"rw\" rule=\"AtMostOne\">"
             "<defSwitch name=\"ABORT\">Off</defSwitch></defSwitchVector>\n");
        Send(number("CCD_BINNING", {{"HOR_BIN", 1}, {"VER_BIN", 1}}, 1, 4));
        Send(number("CCD_FRAME", {{"X", 0}, {"Y", 0}, {"WIDTH", Width}, {"HEIGHT", Height}}, 0, 100000));
        Send(number("CCD_INFO", {{"CCD_MAX_X", Width}, {"CCD_MAX_Y", Height}, {"CCD_BITSPERPIXEL", 16}}));
        Send(QByteArray("<defBLOBVector device=\"") + kDevice + "\" name=\"CCD1\" state=\"Idle\" perm=\"ro\"><defBLOB name=\"CCD1\"/></defBLOBVector>\n");
        Send(number("FILTER_SLOT", {{"FILTER_SLOT_VALUE", 1}}, 1, 4));
        Send(QByteArray("<defTextVector device=\"") + kDevice + "\" name=\"FILTER_NAME\" state=\"Idle\" perm=\"rw\">"
             "<defText name=\"F1\">Red</defText><defText name=\"F2\">Green</defText><defText name=\"F3\">Blue</defText>"
             "<defText name=\"F4\">Lum</defText></defTextVector>\n");
        return;
    }
    static const QRegularExpression vector(QStringLiteral("^<new(\\w+)Vector device=\"[^\"]*\" name=\"(\\w+)\">(.*)</new"));
    const QRegularExpressionMatch m = vector.match(QString::fromUtf8(request));
    if (!m.hasMatch())
        return;
    const QString kind = m.captured(1), name = m.captured(2), body = m.captured(3);
    const QByteArray set = "set" + kind.toLatin1() + "Vector";
    const auto reply = [&](const char* state, const QString& elements) {
        Send("<" + set + " device=\"" + kDevice + "\" name=\"" + name.toLatin1() + "\" state=\"" + state + "\">"
             + elements.toUtf8() + "</" + set + ">\n");
    };
    if (Silent.contains(name)) {
        if (name == QLatin1String("FILTER_SLOT"))
            reply("Busy", QStringLiteral("<oneNumber name=\"FILTER_SLOT_VALUE\">1</oneNumber>"));
        return;
    }
    if (name == QLatin1String("CCD_EXPOSURE")) {
        reply("Busy", body);
        const QByteArray message = QByteArray("<setBLOBVector device=\"") + kDevice + "\" name=\"CCD1\" state=\"Ok\">"
            "<oneBLOB name=\"CCD1\" format=\".fits\" len=\"" + QByteArray::number(LenAttribute < 0 ? Image.size() : LenAttribute)
            + "\">\n" + Image.toBase64() + "\n</oneBLOB></setBLOBVector>\n";
        QTimer::singleShot(ExposeMs, m_client, [this, message] {
            Send(QByteArray("<setNumberVector device=\"") + kDevice + "\" name=\"CCD_EXPOSURE\" state=\"Ok\">"
                 "<oneNumber name=\"CCD_EXPOSURE_VALUE\">0</oneNumber></setNumberVector>\n");
            Send(message);
        });
        return;
    }
    reply("Ok", body);
}
