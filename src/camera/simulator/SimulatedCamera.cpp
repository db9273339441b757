#include "SimulatedCamera.h"

#include "camera/AutomationError.h"
#include "camera/CameraClock.h"
#include "camera/simulator/PendingFrame.h"
#include "camera/simulator/SimulatedDocument.h"
#include "camera/simulator/StarField.h"
#include "platform/PixelWorker.h"

#include <chrono>

namespace {
constexpr int kMaxBinning = 3;
}

SimulatedCamera::SimulatedCamera(const SimulatorSettings& settings, std::shared_ptr<const CameraClock> clock)
    : m_settings(settings)
    , m_clock(std::move(clock))
    , m_field(std::make_shared<StarField>(settings.SensorWidth, settings.SensorHeight, settings.StarCount,
                                          settings.FieldSeed))
    , m_guider(m_clock, settings.TimeScale, settings.GuiderSettle, settings.GuiderNoise, unsigned(settings.FieldSeed))
{
    // The noise table takes a moment to build: build it before the first frame.
    PixelWorker::Run([] { StarField::Prepare(); }, PixelWorker::Save);
}

SimulatedCamera::~SimulatedCamera() = default;

void SimulatedCamera::SetLinkEnabled(bool enabled)
{
    if (!enabled && m_exposing)
        m_exposing = false;
    m_linked = enabled;
}

QString SimulatedCamera::FilterNames(int index)
{
    if (index < 0)
        throw AutomationError(QStringLiteral("Invalid filter index %1").arg(index));
    if (index < m_settings.Filters.size())
        return m_settings.Filters.at(index);
    return QStringLiteral("Filter %1").arg(index + 1);
}

void SimulatedCamera::refuseWhileExposing(const char* what) const
{
    if (m_exposing)
        throw AutomationError(QStringLiteral("Cannot %1 while the camera is exposing").arg(QLatin1String(what)));
}

void SimulatedCamera::SetFilter(int index)
{
    update();
    refuseWhileExposing("change the filter");
    if (index < 0 || index >= m_settings.Filters.size())
        throw AutomationError(QStringLiteral("Invalid filter index %1: the filter wheel has slots 0 to %2")
                                  .arg(index)
                                  .arg(m_settings.Filters.size() - 1));
    m_filter = index;
}

int SimulatedCamera::checkedBinning(int binning) const
{
    if (binning < 1 || binning > kMaxBinning)
        throw AutomationError(
            QStringLiteral("Binning %1 is not supported: the camera bins 1 to %2").arg(binning).arg(kMaxBinning));
    return binning;
}

void SimulatedCamera::SetBinX(int binning)
{
    update();
    refuseWhileExposing("change the binning");
    m_binX = checkedBinning(binning);
}

void SimulatedCamera::SetBinY(int binning)
{
    update();
    refuseWhileExposing("change the binning");
    m_binY = checkedBinning(binning);
}

void SimulatedCamera::SetFullFrame()
{
    update();
    refuseWhileExposing("change the readout area");
}

void SimulatedCamera::Expose(int seconds, int filter)
{
    update();
    if (!m_linked)
        throw AutomationError(QStringLiteral("Camera is not linked"));
    refuseWhileExposing("start an exposure");
    if (seconds < 0)
        throw AutomationError(QStringLiteral("Invalid exposure time %1").arg(seconds));
    if (filter != -1)
        SetFilter(filter);
    m_exposing = true;
    m_ready = false;
    m_exposeSeconds = seconds;
    m_exposeEnd = m_clock->Now() + seconds * m_settings.TimeScale;
    m_exposeBinX = m_binX;
    m_exposeBinY = m_binY;
    m_exposeFilter = m_filter;
    m_exposeStartUtc = QDateTime::currentDateTimeUtc();
    if (m_pending)
        m_pending->Cancel();
    m_pending = PendingFrame::Start(m_field, frameSpec());
}

FrameSpec SimulatedCamera::frameSpec()
{
    FrameSpec spec;
    spec.BinX = m_exposeBinX;
    spec.BinY = m_exposeBinY;
    spec.Width = m_settings.SensorWidth / m_exposeBinX;
    spec.Height = m_settings.SensorHeight / m_exposeBinY;
    spec.Seconds = m_exposeSeconds;
    spec.FluxFactor = fluxFactor(m_settings.Filters.value(m_exposeFilter));
    spec.SkyPerSecond = m_settings.SkyLevel * spec.FluxFactor;
    spec.ReadNoise = m_settings.ReadNoise;
    spec.Bias = m_settings.Bias;
    spec.FwhmPixels = m_settings.Seeing / m_settings.PixelScale;
    // A different noise pattern for every frame of every session.
    spec.NoiseSeed = quint64(std::chrono::steady_clock::now().time_since_epoch().count()) ^ (++m_frameCount << 48);
    return spec;
}

void SimulatedCamera::update()
{
    if (!m_exposing || m_clock->Now() < m_exposeEnd)
        return;
    m_exposing = false;
    const QString filterName = m_settings.Filters.value(m_exposeFilter);
    SimulatedDocument::Facts facts {filterName, m_exposeStartUtc, m_settings.Instrument};
    facts.PixelSize = m_settings.PixelSize;
    facts.SetTemperature = m_settings.SetTemperature;
    facts.CcdTemperature = m_settings.SetTemperature;   // the cooler holds its set point
    facts.Gain = m_settings.Gain;
    facts.Offset = m_settings.Offset;
    m_document = std::make_shared<SimulatedDocument>(std::move(m_pending), facts);
    m_ready = true;
}

double SimulatedCamera::fluxFactor(const QString& filter) const
{
    static const QStringList narrow {"Ha", "OIII", "SII", "H-alpha", "Halpha"};
    static const QStringList colour {"Red", "Green", "Blue", "R", "G", "B"};
    if (narrow.contains(filter, Qt::CaseInsensitive))
        return 0.06;
    if (colour.contains(filter, Qt::CaseInsensitive))
        return 0.35;
    return 1.0;
}

bool SimulatedCamera::ImageReady()
{
    update();
    return m_ready;
}

bool SimulatedCamera::IsExposing()
{
    update();
    return m_exposing;
}

void SimulatedCamera::AbortExposure()
{
    update();
    if (m_exposing && m_pending) {
        m_pending->Cancel();
        m_pending.reset();
    }
    m_exposing = false;
}

std::shared_ptr<IDocument> SimulatedCamera::Document()
{
    update();
    if (!m_document)
        throw AutomationError(QStringLiteral("No image is available"));
    return m_document;
}

void SimulatedCamera::SaveImage(const QString& path, SaveMode mode)
{
    Document()->SaveImage(path, mode);
}

std::shared_ptr<ImageSave> SimulatedCamera::StartSaveImage(const QString& path, SaveMode mode)
{
    return Document()->StartSave(path, mode);
}
