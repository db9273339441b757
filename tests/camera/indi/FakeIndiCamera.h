#pragma once
// FakeIndiCamera: an INDI server on loopback with one camera device, "Fake
// CCD", that has its own filter wheel: enough properties for IndiCamera
// (CONNECTION, CCD_EXPOSURE, CCD_ABORT_EXPOSURE, CCD_BINNING, CCD_FRAME,
// CCD_INFO, the CCD1 BLOB, FILTER_SLOT, FILTER_NAME), answering requests as
// the Debian simulator does, and misbehaving as a test asks:
//  - Image: the bytes of the next image (by default a valid 16-bit FITS
//    file of the sensor), sent ExposeMs after an exposure starts, with the
//    len attribute LenAttribute (-1: the true size);
//  - Silent: request names it never answers (a wheel stuck, say: it then
//    answers FILTER_SLOT with Busy only);
//  - Stream(): megabytes sent as the socket drains, so the server itself
//    holds little (for floods and huge BLOBs).
#include <QByteArray>
#include <QObject>
#include <QSet>
#include <functional>

class QTcpServer;
class QTcpSocket;

class FakeIndiCamera : public QObject {
    Q_OBJECT
public:
    static constexpr int Width = 64, Height = 48;

    FakeIndiCamera();
    int Port() const;
    // The settings-file text that points IndiCamera at this server.
    QString SettingsText() const;

    QByteArray Image = ValidFits();
    qint64 LenAttribute = -1;
    int ExposeMs = 50;
    QSet<QString> Silent;

    // Sends `bytes` to the client as it is.
    void Send(const QByteArray& bytes);
    // Sends `total` bytes made by `piece(i)` (called until `total` is
    // reached), one piece each time the socket has drained.
    void Stream(qint64 total, std::function<QByteArray(qint64 index)> piece);
    qint64 Streamed() const { return m_streamed; }

    static QByteArray ValidFits();

private:
    void onRead();
    void answer(const QByteArray& request);
    void pump();

    QTcpServer* m_server;
    QTcpSocket* m_client = nullptr;
    QByteArray m_input;
    std::function<QByteArray(qint64)> m_piece;
    qint64 m_total = 0, m_streamed = 0, m_index = 0;
};
