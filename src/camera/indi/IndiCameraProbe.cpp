#include "IndiCameraProbe.h"

#include "camera/indi/IndiProbeClient.h"

namespace {
const QString kConnection = QStringLiteral("CONNECTION");
constexpr int kSettleMs = 1500;

QString num(std::optional<double> v) { return v ? QString::number(*v, 'g', 4) : QStringLiteral("?"); }

QString range(const IndiProperty* p, const QString& element)
{
    const IndiElement* e = p ? p->element(element) : nullptr;
    if (!e || !e->Min || !e->Max)
        return QStringLiteral("unknown");
    return QStringLiteral("%1 to %2").arg(num(e->Min), num(e->Max));
}
}

IndiCameraProbe::IndiCameraProbe(QObject* parent) : QObject(parent)
{
    m_settle.setSingleShot(true);
    m_deadline.setSingleShot(true);
    connect(&m_settle, &QTimer::timeout, this, &IndiCameraProbe::onSettled);
    connect(&m_deadline, &QTimer::timeout, this, &IndiCameraProbe::onDeadline);
}

IndiCameraProbe::~IndiCameraProbe() = default;

QStringList IndiCameraProbe::devices() const
{
    QStringList list {m_settings.Camera};
    if (m_settings.WheelDevice() != m_settings.Camera)
        list << m_settings.WheelDevice();
    return list;
}

bool IndiCameraProbe::connectionOn(const QString& device) const
{
    const IndiProperty* c = m_client->Cache().find(device, kConnection);
    return c && c->isOn(QStringLiteral("CONNECT")) && c->State != IndiState::Busy;
}

void IndiCameraProbe::Start(const IndiSettings& settings)
{
    m_settings = settings;
    m_phase = Phase::Devices;
    m_connectedByUs.clear();
    m_client = new IndiProbeClient(settings.Host, settings.Port, this);
    connect(m_client, &IndiProbeClient::changed, this, &IndiCameraProbe::step);
    connect(m_client, &IndiProbeClient::ended, this, [this](const QString& reason) {
        if (m_phase == Phase::Disconnecting)
            done();
        else
            conclude(false, QStringLiteral("The INDI server at %1 cannot be used: %2").arg(m_client->Where(), reason));
    });
    m_deadline.start(ToMs(settings.ConnectTimeout + 3 * settings.ReplyTimeout));
    m_client->Start(ToMs(settings.ConnectTimeout));
}

void IndiCameraProbe::step()
{
    m_settle.start(kSettleMs);
    const IndiPropertyCache& cache = m_client->Cache();
    if (m_phase == Phase::Disconnecting) {
        for (const QString& d : m_connectedByUs)
            if (const IndiProperty* c = cache.find(d, kConnection); c && c->isOn(QStringLiteral("CONNECT")))
                return;
        done();
        return;
    }
    for (const QString& d : devices()) {
        const IndiProperty* c = cache.find(d, kConnection);
        if (!c)
            return;   // not announced yet
        if (c->State == IndiState::Alert && m_connectedByUs.contains(d)) {
            const QString said = cache.messageSince(d, 0);
            conclude(false, QStringLiteral("\"%1\" could not be connected%2").arg(d, said.isEmpty() ? QString() : ": " + said));
            return;
        }
        if (!c->isOn(QStringLiteral("CONNECT")) && !m_connectedByUs.contains(d)) {
            m_connectedByUs.insert(d);
            m_client->SendNew(IndiKind::Switch, d, kConnection, {{QStringLiteral("CONNECT"), QStringLiteral("On")}});
        }
    }
    m_phase = Phase::Info;
    for (const QString& d : devices())
        if (!connectionOn(d))
            return;
    const IndiProperty* info = cache.find(m_settings.Camera, QStringLiteral("CCD_INFO"));
    const bool sized = info && info->number(QStringLiteral("CCD_MAX_X")).value_or(0) > 0
        && info->number(QStringLiteral("CCD_PIXEL_SIZE_X")).value_or(0) > 0;
    if (sized && cache.find(m_settings.Camera, QStringLiteral("CCD_BINNING"))
        && cache.find(m_settings.WheelDevice(), QStringLiteral("FILTER_NAME")))
        conclude(true, describe());
}

void IndiCameraProbe::onSettled()
{
    // Nothing new came for a while: say what is missing rather than wait on.
    if (m_phase == Phase::Disconnecting) {
        done();
        return;
    }
    const IndiPropertyCache& cache = m_client->Cache();
    for (const QString& d : devices()) {
        if (!cache.find(d, kConnection)) {
            const QStringList known = cache.devices();
            conclude(false, QStringLiteral("The INDI server at %1 has no device \"%2\" (it has: %3)")
                                .arg(m_client->Where(), d,
                                     known.isEmpty() ? QStringLiteral("none") : known.join(QStringLiteral(", "))));
            return;
        }
    }
    if (m_phase == Phase::Info && !cache.find(m_settings.Camera, QStringLiteral("CCD_INFO")) && connectionOn(m_settings.Camera)) {
        conclude(false, QStringLiteral("\"%1\" is not a camera: it has no chip (CCD_INFO)").arg(m_settings.Camera));
        return;
    }
    if (m_phase == Phase::Info && connectionOn(m_settings.WheelDevice())
        && !cache.find(m_settings.WheelDevice(), QStringLiteral("FILTER_NAME"))) {
        conclude(false, QStringLiteral("\"%1\" has no filter wheel (FILTER_NAME)").arg(m_settings.WheelDevice()));
        return;
    }
    // Connected, but a size not reported yet: report what there is.
    if (m_phase == Phase::Info && connectionOn(m_settings.Camera) && connectionOn(m_settings.WheelDevice()))
        conclude(true, describe());
}

void IndiCameraProbe::onDeadline()
{
    if (m_phase == Phase::Disconnecting) {
        done();
        return;
    }
    QStringList waiting;
    for (const QString& d : devices())
        if (!connectionOn(d))
            waiting << QStringLiteral("\"%1\"").arg(d);
    conclude(false, waiting.isEmpty()
                        ? QStringLiteral("The INDI server at %1 did not report the camera's details in time").arg(m_client->Where())
                        : QStringLiteral("%1 did not connect within %2 s").arg(waiting.join(QStringLiteral(" and ")))
                              .arg(m_deadline.interval() / 1000.0));
}

QString IndiCameraProbe::describe() const
{
    const IndiPropertyCache& cache = m_client->Cache();
    const QString camera = m_settings.Camera;
    const IndiProperty* info = cache.find(camera, QStringLiteral("CCD_INFO"));
    const IndiProperty* bin = cache.find(camera, QStringLiteral("CCD_BINNING"));
    const auto value = [&](const char* e) { return info ? info->number(QLatin1String(e)) : std::nullopt; };
    QString text = QStringLiteral("Camera \"%1\": %2 x %3 pixels of %4 x %5 \u00b5m, binning %6 (x), %7 (y).")
                       .arg(camera, num(value("CCD_MAX_X")), num(value("CCD_MAX_Y")), num(value("CCD_PIXEL_SIZE_X")),
                            num(value("CCD_PIXEL_SIZE_Y")), range(bin, QStringLiteral("HOR_BIN")),
                            range(bin, QStringLiteral("VER_BIN")));
    QStringList names;
    if (const IndiProperty* p = cache.find(m_settings.WheelDevice(), QStringLiteral("FILTER_NAME")))
        for (const IndiElement& e : p->Elements)
            names << e.Value;
    text += m_settings.Wheel.isEmpty() ? QStringLiteral("\nIts own filter wheel: ")
                                       : QStringLiteral("\nFilter wheel \"%1\": ").arg(m_settings.Wheel);
    text += names.isEmpty() ? QStringLiteral("no filter names.") : names.join(QStringLiteral(", ")) + QLatin1Char('.');
    for (int i = 0; i < names.size(); ++i) {
        if (names.at(i).startsWith(QLatin1String("Filter"))) {
            text += QStringLiteral("\nTandexa reads filter names up to the first that begins with \"Filter\", "
                                   "so only the first %1 will be offered.").arg(i);
            break;
        }
    }
    return text;
}

void IndiCameraProbe::conclude(bool ok, const QString& report)
{
    if (m_phase == Phase::Disconnecting || m_phase == Phase::Idle)
        return;
    m_ok = ok;
    m_report = report;
    m_phase = Phase::Disconnecting;
    // Leave the devices as they were found.
    for (const QString& d : m_connectedByUs)
        m_client->SendNew(IndiKind::Switch, d, kConnection, {{QStringLiteral("DISCONNECT"), QStringLiteral("On")}});
    if (m_connectedByUs.isEmpty() || !m_client->IsConnected()) {
        done();
        return;
    }
    m_settle.start(kSettleMs);
    m_deadline.start(ToMs(m_settings.ReplyTimeout));
}

void IndiCameraProbe::done()
{
    if (m_phase == Phase::Idle)
        return;
    m_phase = Phase::Idle;
    m_settle.stop();
    m_deadline.stop();
    m_client->Stop();
    emit finished(m_ok, m_report);
}
