#pragma once
// SimulatedCamera: a believable camera, filter wheel and guider without
// hardware. Exposures take seconds * TimeScale on the given clock and can be
// aborted; the finished image becomes the Document, saved as a FITS file of
// a synthetic star field. Refusals a real camera would give are
// AutomationErrors: binning outside 1..3, a filter slot the wheel lacks,
// exposing or changing settings while an exposure runs, exposing before the
// camera is linked, asking for a document before any image.
#include "camera/ICamera.h"
#include "camera/simulator/SimulatedGuider.h"
#include "camera/simulator/SimulatorSettings.h"

#include <QDateTime>
#include <memory>

class CameraClock;
class PendingFrame;
class SimulatedDocument;
struct FrameSpec;
class StarField;

class SimulatedCamera : public ICamera {
public:
    SimulatedCamera(const SimulatorSettings& settings, std::shared_ptr<const CameraClock> clock);
    ~SimulatedCamera() override;

    void SetLinkEnabled(bool enabled) override;
    QString FilterNames(int index) override;
    void SetFilter(int index) override;
    int BinX() override { return m_binX; }
    void SetBinX(int binning) override;
    int BinY() override { return m_binY; }
    void SetBinY(int binning) override;
    void SetFullFrame() override;
    void Expose(int seconds, int filter) override;
    bool ImageReady() override;
    void AbortExposure() override;
    std::shared_ptr<IDocument> Document() override;
    using ICamera::SaveImage;
    void SaveImage(const QString& path, SaveMode mode) override;
    std::shared_ptr<ImageSave> StartSaveImage(const QString& path, SaveMode mode) override;
    float GuiderXStarPosition() override { return m_guider.XStarPosition(); }
    float GuiderYStarPosition() override { return m_guider.YStarPosition(); }
    void GuiderMoveStar(float x, float y) override { m_guider.MoveStar(x, y); }
    float GuiderXError() override { return m_guider.XError(); }
    float GuiderYError() override { return m_guider.YError(); }
    void Release() override {}

    bool IsExposing();

private:
    // Turns an exposure whose time is up into the current document.
    void update();
    void refuseWhileExposing(const char* what) const;
    int checkedBinning(int binning) const;
    double fluxFactor(const QString& filter) const;
    // The frame the exposure being started will give.
    FrameSpec frameSpec();

    SimulatorSettings m_settings;
    std::shared_ptr<const CameraClock> m_clock;
    std::shared_ptr<const StarField> m_field;
    SimulatedGuider m_guider;
    bool m_linked = false;
    int m_filter = 0;
    int m_binX = 1, m_binY = 1;
    bool m_exposing = false;
    bool m_ready = false;
    int m_exposeSeconds = 0;
    double m_exposeEnd = 0.0;   // clock time
    int m_exposeBinX = 1, m_exposeBinY = 1, m_exposeFilter = 0;
    QDateTime m_exposeStartUtc;
    quint64 m_frameCount = 0;
    std::shared_ptr<PendingFrame> m_pending;   // the exposure's pixels, rendered meanwhile
    std::shared_ptr<SimulatedDocument> m_document;
};
