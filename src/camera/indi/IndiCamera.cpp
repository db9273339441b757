#include "IndiCamera.h"

#include "camera/AutomationError.h"
#include "camera/BadImageError.h"
#include "camera/ImageSave.h"
#include "camera/StopRequest.h"
#include "camera/indi/IndiClient.h"
#include "camera/indi/IndiDocument.h"
#include "image/FitsPrimaryHdu.h"
#include "image/ImageError.h"
#include "platform/PixelWorker.h"

#include <algorithm>
#include <cmath>
#include <utility>

namespace {
const QString kConnection = QStringLiteral("CONNECTION");
const QString kExposure = QStringLiteral("CCD_EXPOSURE");
const QString kExposureValue = QStringLiteral("CCD_EXPOSURE_VALUE");
const QString kBinning = QStringLiteral("CCD_BINNING");
const QString kFrame = QStringLiteral("CCD_FRAME");
const QString kInfo = QStringLiteral("CCD_INFO");
const QString kImage = QStringLiteral("CCD1");
const QString kAbort = QStringLiteral("CCD_ABORT_EXPOSURE");
const QString kSlot = QStringLiteral("FILTER_SLOT");
const QString kSlotValue = QStringLiteral("FILTER_SLOT_VALUE");
const QString kNames = QStringLiteral("FILTER_NAME");

bool same(std::optional<double> v, double want) { return v && std::abs(*v - want) < 1e-6; }
QString num(double v) { return QString::number(v, 'g', 15); }
}

IndiCamera::IndiCamera(std::shared_ptr<IndiClient> client, const IndiSettings& settings)
    : m_client(std::move(client)), m_settings(settings)
{
}

IndiCamera::~IndiCamera() = default;

const IndiProperty& IndiCamera::property(const QString& device, const QString& name) const
{
    if (!m_client->isConnected())
        throw AutomationError(QStringLiteral("Lost the INDI server at %1: %2").arg(m_client->serverName(),
                                                                                  m_client->lostReason()));
    const IndiProperty* p = m_client->cache().find(device, name);
    if (!p)
        throw AutomationError(QStringLiteral("INDI device \"%1\" has no property %2 (is it connected?)").arg(device, name));
    return *p;
}

void IndiCamera::requireConnected(const QString& device) const
{
    // A disconnected driver may still take requests and ignore them.
    if (!property(device, kConnection).isOn(QStringLiteral("CONNECT")))
        throw AutomationError(QStringLiteral("INDI device \"%1\" is not connected").arg(device));
}

void IndiCamera::checkRange(const IndiProperty& p, const QString& element, double value, const QString& what) const
{
    const IndiElement* e = p.element(element);
    if (!e)
        throw AutomationError(QStringLiteral("INDI device \"%1\" has no %2 in %3").arg(p.Device, element, p.Name));
    // Drivers give min = max (often 0) for "no limit known yet".
    if (e->Min && e->Max && *e->Max > *e->Min && (value < *e->Min || value > *e->Max))
        throw AutomationError(QStringLiteral("%1 %2 is outside %3 to %4 for \"%5\"")
                                  .arg(what, num(value), num(*e->Min), num(*e->Max), p.Device));
}

void IndiCamera::setConnected(const QString& device, bool on)
{
    const IndiProperty& c = property(device, kConnection);
    const QString want = on ? QStringLiteral("CONNECT") : QStringLiteral("DISCONNECT");
    if (c.isOn(want) && c.State != IndiState::Busy)
        return;
    m_client->request(IndiKind::Switch, device, kConnection, {{want, QStringLiteral("On")}},
                      [want](const IndiProperty& p) { return p.isOn(want); }, ToMs(m_settings.ReplyTimeout),
                      on ? QStringLiteral("connecting") : QStringLiteral("disconnecting"));
}

void IndiCamera::SetLinkEnabled(bool enabled)
{
    const QString camera = m_settings.Camera;
    const QString wheel = m_settings.WheelDevice();
    if (!enabled) {
        m_exposing = false;
        setConnected(camera, false);
        if (wheel != camera)
            setConnected(wheel, false);
        return;
    }
    setConnected(camera, true);
    if (wheel != camera)
        setConnected(wheel, true);
    // The driver defines its working properties right after connecting.
    const QList<QPair<QString, QString>> needed {{camera, kExposure}, {camera, kAbort}, {camera, kBinning},
                                                 {camera, kFrame},    {camera, kInfo},  {camera, kImage},
                                                 {wheel, kSlot},      {wheel, kNames}};
    const auto missing = [&]() -> QString {
        for (const auto& [device, name] : needed)
            if (!m_client->cache().find(device, name))
                return QStringLiteral("\"%1\" property %2").arg(device, name);
        return QString();
    };
    m_client->waitUntil([&] { return missing().isEmpty() || !m_client->isConnected(); },
                        ToMs(m_settings.ReplyTimeout), QStringLiteral("waiting for the camera's properties"));
    const QString lacking = missing();
    if (!lacking.isEmpty())
        property(camera, kConnection);   // throws when the server went away
    if (!lacking.isEmpty())
        throw AutomationError(QStringLiteral("INDI device lacks the %1 a camera needs").arg(lacking));
    prepareCamera();
}

void IndiCamera::prepareCamera()
{
    const QString camera = m_settings.Camera;
    const int reply = ToMs(m_settings.ReplyTimeout);
    m_client->enableBlobs(camera);
    const auto chooseSwitch = [&](const QString& name, const QStringList& candidates, const QString& what) {
        const IndiProperty* p = m_client->cache().find(camera, name);
        if (!p)
            return;
        for (const QString& element : candidates) {
            if (!p->element(element))
                continue;
            if (p->isOn(element))
                return;
            m_client->request(IndiKind::Switch, camera, name, {{element, QStringLiteral("On")}},
                              [element](const IndiProperty& q) { return q.isOn(element); }, reply, what);
            return;
        }
    };
    // Images must come to us, uncompressed.
    chooseSwitch(QStringLiteral("UPLOAD_MODE"), {QStringLiteral("UPLOAD_CLIENT")},
                 QStringLiteral("setting the upload mode to client"));
    chooseSwitch(QStringLiteral("CCD_COMPRESSION"), {QStringLiteral("INDI_DISABLED"), QStringLiteral("CCD_RAW")},
                 QStringLiteral("turning image compression off"));
    // The driver writes FILTER from the wheel it watches.
    const QString active = QStringLiteral("ACTIVE_DEVICES");
    const QString filterKey = QStringLiteral("ACTIVE_FILTER");
    const QString wheel = m_settings.WheelDevice();
    if (const IndiProperty* p = m_client->cache().find(camera, active); p && p->element(filterKey)
        && p->element(filterKey)->Value != wheel) {
        m_client->request(IndiKind::Text, camera, active, {{filterKey, wheel}},
                          [&](const IndiProperty& q) {
                              const IndiElement* e = q.element(filterKey);
                              return e && e->Value == wheel;
                          },
                          reply, QStringLiteral("choosing the filter wheel \"%1\"").arg(wheel));
    }
}

QString IndiCamera::FilterNames(int index)
{
    const QString wheel = m_settings.WheelDevice();
    requireConnected(wheel);
    if (index < 0)
        throw AutomationError(QStringLiteral("Invalid filter index %1").arg(index));
    const IndiProperty& names = property(wheel, kNames);
    if (index < names.Elements.size())
        return names.Elements.at(index).Value;
    return QStringLiteral("Filter %1").arg(index + 1);
}

void IndiCamera::SetFilter(int index)
{
    const QString wheel = m_settings.WheelDevice();
    requireConnected(wheel);
    const IndiProperty& slot = property(wheel, kSlot);
    const int wanted = index + 1;
    checkRange(slot, kSlotValue, wanted, QStringLiteral("Filter slot"));
    if (index < 0)
        throw AutomationError(QStringLiteral("Invalid filter index %1").arg(index));
    if (same(slot.number(kSlotValue), wanted) && slot.State != IndiState::Busy && slot.State != IndiState::Alert)
        return;
    // The wheel reports Busy with the old slot while moving, then Ok with the new one.
    m_client->request(IndiKind::Number, wheel, kSlot, {{kSlotValue, QString::number(wanted)}},
                      [&](const IndiProperty& p) { return same(p.number(kSlotValue), wanted); },
                      ToMs(m_settings.FilterTimeout), QStringLiteral("moving to filter slot %1").arg(wanted));
}

int IndiCamera::binning(const char* element)
{
    requireConnected(m_settings.Camera);
    const std::optional<double> v = property(m_settings.Camera, kBinning).number(QLatin1String(element));
    if (!v)
        throw AutomationError(QStringLiteral("INDI device \"%1\" reports no %2").arg(m_settings.Camera, QLatin1String(element)));
    return int(std::lround(*v));
}

int IndiCamera::BinX() { return binning("HOR_BIN"); }
int IndiCamera::BinY() { return binning("VER_BIN"); }

void IndiCamera::setBinning(int x, int y)
{
    const QString camera = m_settings.Camera;
    requireConnected(camera);
    const IndiProperty& p = property(camera, kBinning);
    checkRange(p, QStringLiteral("HOR_BIN"), x, QStringLiteral("Binning"));
    checkRange(p, QStringLiteral("VER_BIN"), y, QStringLiteral("Binning"));
    m_client->request(IndiKind::Number, camera, kBinning,
                      {{QStringLiteral("HOR_BIN"), QString::number(x)}, {QStringLiteral("VER_BIN"), QString::number(y)}},
                      [x, y](const IndiProperty& q) {
                          return same(q.number(QStringLiteral("HOR_BIN")), x) && same(q.number(QStringLiteral("VER_BIN")), y);
                      },
                      ToMs(m_settings.ReplyTimeout), QStringLiteral("setting the binning to %1 x %2").arg(x).arg(y));
}

void IndiCamera::SetBinX(int binning) { setBinning(binning, BinY()); }
void IndiCamera::SetBinY(int binning) { setBinning(BinX(), binning); }

void IndiCamera::SetFullFrame()
{
    // Not CCD_FRAME_RESET: it also resets the binning just set.
    const QString camera = m_settings.Camera;
    requireConnected(camera);
    const IndiProperty& info = property(camera, kInfo);
    const std::optional<double> w = info.number(QStringLiteral("CCD_MAX_X"));
    const std::optional<double> h = info.number(QStringLiteral("CCD_MAX_Y"));
    if (!w || !h || *w < 1 || *h < 1)
        throw AutomationError(QStringLiteral("INDI device \"%1\" has not reported its chip size").arg(camera));
    const IndiProperty& frame = property(camera, kFrame);
    checkRange(frame, QStringLiteral("WIDTH"), *w, QStringLiteral("Frame width"));
    checkRange(frame, QStringLiteral("HEIGHT"), *h, QStringLiteral("Frame height"));
    const double width = *w, height = *h;
    m_client->request(IndiKind::Number, camera, kFrame,
                      {{QStringLiteral("X"), QStringLiteral("0")}, {QStringLiteral("Y"), QStringLiteral("0")},
                       {QStringLiteral("WIDTH"), num(width)}, {QStringLiteral("HEIGHT"), num(height)}},
                      [=](const IndiProperty& q) {
                          return same(q.number(QStringLiteral("X")), 0) && same(q.number(QStringLiteral("Y")), 0)
                              && same(q.number(QStringLiteral("WIDTH")), width)
                              && same(q.number(QStringLiteral("HEIGHT")), height);
                      },
                      ToMs(m_settings.ReplyTimeout), QStringLiteral("setting the full frame"));
}

void IndiCamera::Expose(int seconds, int filter)
{
    freeReplaced();   // before the next image's bytes arrive: two frames at most
    const QString camera = m_settings.Camera;
    requireConnected(camera);
    if (m_exposing)
        throw AutomationError(QStringLiteral("INDI device \"%1\" is already exposing").arg(camera));
    if (filter >= 0)
        SetFilter(filter);
    checkRange(property(camera, kExposure), kExposureValue, seconds, QStringLiteral("Exposure time"));
    m_client->expectBlob(camera, kImage, imageBound());
    m_exposeBlob = m_client->blob(camera, kImage).Serial;
    m_exposeSent = m_client->cache().serial();
    m_client->sendNew(IndiKind::Number, camera, kExposure, {{kExposureValue, QString::number(seconds)}});
    m_exposing = true;
    m_ready = false;
    m_exposeSeconds = seconds;
    m_exposeStartUtc = QDateTime::currentDateTimeUtc();
    m_imageDeadline = QDeadlineTimer(qint64(seconds) * 1000 + ToMs(m_settings.ImageTimeout), Qt::PreciseTimer);
}

bool IndiCamera::ImageReady()
{
    if (!m_exposing)
        return m_ready;
    const QString camera = m_settings.Camera;
    const IndiClient::Blob& b = m_client->blob(camera, kImage);
    if (b.Serial > m_exposeBlob) {
        m_exposing = false;
        m_client->ignoreBlob(camera, kImage);
        const QByteArray data = b.Data;
        const QString format = b.Format, problem = b.Problem;
        const qint64 claimed = b.Claimed;
        m_client->releaseBlob(camera, kImage);   // the document holds the only copy
        checkImage(data, format, problem, claimed);
        m_ready = true;
        // The last frame's bytes are freed on the worker, not here, and
        // after the save of this one is under way (see freeReplaced).
        freeReplaced();
        m_replaced = std::exchange(m_document, std::make_shared<IndiDocument>(data, format, knownKeywords()));
        return true;
    }
    if (!m_client->isConnected()) {
        m_exposing = false;
        m_client->ignoreBlob(camera, kImage);
        throw AutomationError(QStringLiteral("Lost the INDI server at %1 during the exposure: %2")
                                  .arg(m_client->serverName(), m_client->lostReason()));
    }
    const IndiProperty* e = m_client->cache().find(camera, kExposure);
    if (e && e->State == IndiState::Alert && e->Serial > m_exposeSent) {
        m_exposing = false;
        m_client->ignoreBlob(camera, kImage);
        const QString said = m_client->cache().messageSince(camera, m_exposeSent);
        throw AutomationError(QStringLiteral("\"%1\" failed the exposure%2")
                                  .arg(camera, said.isEmpty() ? QString() : QStringLiteral(": ") + said));
    }
    if (m_imageDeadline.hasExpired()) {
        m_exposing = false;
        m_client->ignoreBlob(camera, kImage);
        throw AutomationError(QStringLiteral("No image from \"%1\" (INDI server %2) %3 s after the end of its %4 s exposure")
                                  .arg(camera, m_client->serverName(), QString::number(m_settings.ImageTimeout))
                                  .arg(m_exposeSeconds));
    }
    return false;
}

void IndiCamera::AbortExposure()
{
    const QString camera = m_settings.Camera;
    const bool wasExposing = m_exposing;
    m_exposing = false;
    m_client->ignoreBlob(camera, kImage);
    if (wasExposing)
        m_ready = false;
    if (!m_client->isConnected()) {
        if (wasExposing)
            throw AutomationError(QStringLiteral("Cannot abort the exposure: lost the INDI server at %1: %2")
                                      .arg(m_client->serverName(), m_client->lostReason()));
        return;
    }
    if (!m_client->cache().find(camera, kAbort))
        return;   // not connected yet: nothing runs
    if (StopRequest::Requested()) {
        // The run is stopping: the abort is sent, its answer not awaited.
        m_client->sendNew(IndiKind::Switch, camera, kAbort, {{QStringLiteral("ABORT"), QStringLiteral("On")}});
        return;
    }
    m_client->request(IndiKind::Switch, camera, kAbort, {{QStringLiteral("ABORT"), QStringLiteral("On")}},
                      [](const IndiProperty&) { return true; }, ToMs(m_settings.ReplyTimeout),
                      QStringLiteral("aborting the exposure"));
    if (wasExposing) {
        m_client->waitUntil([&] {
            const IndiProperty* e = m_client->cache().find(camera, kExposure);
            return !e || e->State != IndiState::Busy || !m_client->isConnected();
        }, ToMs(m_settings.ReplyTimeout), QStringLiteral("waiting for the exposure to end after the abort"));
    }
}

std::shared_ptr<IDocument> IndiCamera::Document()
{
    if (!m_document)
        throw AutomationError(QStringLiteral("No image has been taken yet"));
    return m_document;
}

void IndiCamera::SaveImage(const QString& path, SaveMode mode)
{
    Document()->SaveImage(path, mode);
    freeReplaced();
}

void IndiCamera::freeReplaced()
{
    if (m_replaced)
        PixelWorker::Release(std::exchange(m_replaced, nullptr));
}

qint64 IndiCamera::imageBound() const
{
    // The largest image the announced sensor can send, doubled, plus room
    // for a header; 64 megapixels of 32 bits when the driver has not said.
    const IndiProperty* info = m_client->cache().find(m_settings.Camera, kInfo);
    const double width = info ? info->number(QStringLiteral("CCD_MAX_X")).value_or(0) : 0;
    const double height = info ? info->number(QStringLiteral("CCD_MAX_Y")).value_or(0) : 0;
    const double bits = info ? info->number(QStringLiteral("CCD_BITSPERPIXEL")).value_or(0) : 0;
    double pixels = width * height;
    if (!(pixels >= 1 && pixels <= 1e10))
        pixels = 64e6;
    const double bytesPerPixel = std::clamp(std::ceil(bits / 8), 2.0, 8.0);
    return qint64(pixels * bytesPerPixel * 2) + 16 * 1024 * 1024;
}

void IndiCamera::checkImage(const QByteArray& data, const QString& format, const QString& problem, qint64 claimed) const
{
    const QString camera = m_settings.Camera;
    if (!problem.isEmpty())
        throw BadImageError(QStringLiteral("\"%1\" sent a damaged image: %2").arg(camera, problem));
    const QString f = format.trimmed().toLower();
    if (f != QLatin1String(".fits") && f != QLatin1String(".fit") && f != QLatin1String("fits"))
        return;   // refused with its own words when saved
    try {
        FitsPrimaryHdu::Inspect(data);
    } catch (const ImageError& e) {
        // The announced size says whether the transfer was cut short.
        const QString arrived = claimed >= 0 && claimed != data.size()
            ? QStringLiteral(" (%1 of the %2 bytes announced arrived)").arg(data.size()).arg(claimed)
            : QString();
        throw BadImageError(QStringLiteral("\"%1\" sent an image that is not a valid FITS file: %2%3")
                                .arg(camera, e.message(), arrived));
    }
}

std::shared_ptr<ImageSave> IndiCamera::StartSaveImage(const QString& path, SaveMode mode)
{
    std::shared_ptr<ImageSave> save = Document()->StartSave(path, mode);
    freeReplaced();   // queued behind the save
    return save;
}

std::vector<FitsKeyword> IndiCamera::knownKeywords() const
{
    const QString camera = m_settings.Camera;
    const IndiPropertyCache& cache = m_client->cache();
    const auto number = [&](const QString& name, const QString& element) -> std::optional<double> {
        const IndiProperty* p = cache.find(camera, name);
        return p ? p->number(element) : std::nullopt;
    };
    std::vector<FitsKeyword> keys {
        {"DATE-OBS", DateObsText(m_exposeStartUtc), "UTC start of exposure"},
        {"EXPTIME", double(m_exposeSeconds), "exposure time in seconds"},
        {"IMAGETYP", QStringLiteral("Light Frame"), "type of image"},
        {"INSTRUME", camera, "camera"},
    };
    const int binX = int(std::lround(number(kBinning, QStringLiteral("HOR_BIN")).value_or(0)));
    const int binY = int(std::lround(number(kBinning, QStringLiteral("VER_BIN")).value_or(0)));
    if (binX > 0 && binY > 0) {
        keys.push_back({"XBINNING", binX, "binning factor, X"});
        keys.push_back({"YBINNING", binY, "binning factor, Y"});
        // Drivers report 0 until they know the chip.
        const double px = number(kInfo, QStringLiteral("CCD_PIXEL_SIZE_X")).value_or(0);
        const double py = number(kInfo, QStringLiteral("CCD_PIXEL_SIZE_Y")).value_or(0);
        if (px > 0 && py > 0) {
            keys.push_back({"XPIXSZ", px * binX, "pixel width in microns, with binning"});
            keys.push_back({"YPIXSZ", py * binY, "pixel height in microns, with binning"});
        }
    }
    if (const auto t = number(QStringLiteral("CCD_TEMPERATURE"), QStringLiteral("CCD_TEMPERATURE_VALUE")))
        keys.push_back({"CCD-TEMP", *t, "sensor temperature, deg C"});
    if (const auto g = number(QStringLiteral("CCD_GAIN"), QStringLiteral("GAIN")))
        keys.push_back({"GAIN", *g, "sensor gain"});
    if (const auto o = number(QStringLiteral("CCD_OFFSET"), QStringLiteral("OFFSET")))
        keys.push_back({"OFFSET", *o, "sensor offset"});
    const QString wheel = m_settings.WheelDevice();
    const IndiProperty* slot = cache.find(wheel, kSlot);
    const IndiProperty* names = cache.find(wheel, kNames);
    if (slot && names) {
        const int index = int(std::lround(slot->number(kSlotValue).value_or(0))) - 1;
        if (index >= 0 && index < names->Elements.size())
            keys.push_back({"FILTER", names->Elements.at(index).Value, "filter in place"});
    }
    return keys;
}

void IndiCamera::noGuider() const
{
    throw AutomationError(QStringLiteral("No guider is configured for this camera"));
}

float IndiCamera::GuiderXStarPosition() { noGuider(); }
float IndiCamera::GuiderYStarPosition() { noGuider(); }
void IndiCamera::GuiderMoveStar(float, float) { noGuider(); }
float IndiCamera::GuiderXError() { noGuider(); }
float IndiCamera::GuiderYError() { noGuider(); }
