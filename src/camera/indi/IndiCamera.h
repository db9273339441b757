#pragma once
// IndiCamera: the camera object bound to an INDI camera and filter wheel.
//
// Operations that need the driver's answer (linking, filter, binning, frame,
// abort) send their request and wait for the verdict, processing events
// meanwhile (see IndiClient::request); the others only read the property
// cache. Expose() returns at once; ImageReady() only looks at what has
// arrived, so polling it is cheap. An exposure whose image has not come by
// its end plus IndiImageTimeout fails in ImageReady(), as does one whose
// server connection ended or whose driver reported Alert.
//
// Filter indexes are 0-based here and 1-based in FILTER_SLOT. Binning and
// frame values are checked against the driver's limits before sending.
//
// Images: a BLOB is wanted only while an exposure waits for it, and only up
// to imageBound() (twice what the announced sensor can send); one that
// comes damaged (cut short, larger than that, a FITS file whose header does
// not parse or whose data is shorter than it declares) makes ImageReady()
// throw BadImageError, so no invalid file is ever saved under a frame's
// name. A stop asked for (StopRequest) ends every wait within a poll;
// AbortExposure then sends the abort without awaiting its answer.
// There is no guider: the guider operations throw.
#include "camera/ICamera.h"
#include "camera/indi/IndiSettings.h"

#include "image/FitsKeyword.h"

#include <QDateTime>
#include <QDeadlineTimer>
#include <memory>
#include <vector>

class IndiClient;
class IndiDocument;
struct IndiProperty;

class IndiCamera : public ICamera {
public:
    IndiCamera(std::shared_ptr<IndiClient> client, const IndiSettings& settings);
    ~IndiCamera() override;

    void SetLinkEnabled(bool enabled) override;
    QString FilterNames(int index) override;
    void SetFilter(int index) override;
    int BinX() override;
    void SetBinX(int binning) override;
    int BinY() override;
    void SetBinY(int binning) override;
    void SetFullFrame() override;
    void Expose(int seconds, int filter) override;
    bool ImageReady() override;
    void AbortExposure() override;
    std::shared_ptr<IDocument> Document() override;
    using ICamera::SaveImage;
    void SaveImage(const QString& path, SaveMode mode) override;
    std::shared_ptr<ImageSave> StartSaveImage(const QString& path, SaveMode mode) override;
    float GuiderXStarPosition() override;
    float GuiderYStarPosition() override;
    void GuiderMoveStar(float x, float y) override;
    float GuiderXError() override;
    float GuiderYError() override;
    void Release() override {}

private:
    const IndiProperty& property(const QString& device, const QString& name) const;
    void requireConnected(const QString& device) const;
    void setConnected(const QString& device, bool on);
    void prepareCamera();
    void setBinning(int x, int y);
    int binning(const char* element);
    void checkRange(const IndiProperty& p, const QString& element, double value, const QString& what) const;
    [[noreturn]] void noGuider() const;
    // What the camera knows of the image that just came, as header keywords
    // for those the driver leaves out.
    std::vector<FitsKeyword> knownKeywords() const;
    // Most bytes an image of the announced sensor may take (generously).
    qint64 imageBound() const;
    // Throws BadImageError when the image that came cannot be a frame.
    void checkImage(const QByteArray& data, const QString& format, const QString& problem, qint64 claimed) const;
    // Hands the replaced image to the worker to free (unmapping 128 MB takes
    // 5 to 20 ms): after the save of its successor was queued, so it does not
    // delay that save, and at the latest when the next exposure starts.
    void freeReplaced();

    std::shared_ptr<IndiClient> m_client;
    IndiSettings m_settings;
    bool m_exposing = false;
    bool m_ready = false;         // the last exposure's image has come
    int m_exposeSeconds = 0;
    quint64 m_exposeBlob = 0;     // BLOB serial before the exposure
    quint64 m_exposeSent = 0;     // cache serial when it was started
    QDeadlineTimer m_imageDeadline;
    QDateTime m_exposeStartUtc;
    std::shared_ptr<IndiDocument> m_document;
    std::shared_ptr<IndiDocument> m_replaced;   // the image before it, until freeReplaced()
};
