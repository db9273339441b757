#include "IndiDeviceLister.h"

#include "camera/indi/IndiProbeClient.h"

#include <algorithm>

namespace {
constexpr int kCameraBit = 2;
constexpr int kWheelBit = 16;
}

IndiDeviceLister::IndiDeviceLister(QObject* parent) : QObject(parent)
{
    m_quiet.setSingleShot(true);
    m_deadline.setSingleShot(true);
    connect(&m_quiet, &QTimer::timeout, this, &IndiDeviceLister::finish);
    connect(&m_deadline, &QTimer::timeout, this, [this] {
        if (m_known > 0)
            finish();
        else
            fail(QStringLiteral("it announced no devices within %1 s").arg(m_deadline.interval() / 1000.0));
    });
}

IndiDeviceLister::~IndiDeviceLister() = default;

void IndiDeviceLister::Start(const QString& host, int port, int connectTimeoutMs, int listTimeoutMs)
{
    Stop();
    m_known = 0;
    // A child, so that one still waiting for its deferred deletion goes with the lister.
    m_client = new IndiProbeClient(host, port, this);
    connect(m_client, &IndiProbeClient::ended, this, [this](const QString& reason) { fail(reason); });
    connect(m_client, &IndiProbeClient::changed, this, [this] {
        const int known = m_client->DeviceCount();
        if (known != m_known) {
            m_known = known;
            m_quiet.start(QuietMs);
        }
    });
    m_deadline.start(listTimeoutMs);
    m_client->Start(connectTimeoutMs);
}

void IndiDeviceLister::Stop()
{
    m_quiet.stop();
    m_deadline.stop();
    if (m_client) {
        m_client->Stop();
        // Not deleted here: Stop() may be called from the client's own signal.
        m_client->deleteLater();
        m_client = nullptr;
    }
}

void IndiDeviceLister::finish()
{
    if (!m_client)
        return;
    const QList<IndiDeviceInfo> devices = Classify(m_client->Cache());
    const bool overflow = m_client->Overflowed();
    Stop();
    emit finished(devices, overflow);
}

void IndiDeviceLister::fail(const QString& reason)
{
    if (!m_client)
        return;
    const QString where = m_client->Where();
    Stop();
    emit failed(QStringLiteral("The INDI server at %1 cannot be used: %2").arg(where, reason));
}

QList<IndiDeviceInfo> IndiDeviceLister::Classify(const IndiPropertyCache& cache)
{
    QList<IndiDeviceInfo> result;
    for (const QString& name : cache.devices()) {
        IndiDeviceInfo d;
        d.Name = name;
        const IndiProperty* info = cache.find(name, QStringLiteral("DRIVER_INFO"));
        const IndiElement* bits = info ? info->element(QStringLiteral("DRIVER_INTERFACE")) : nullptr;
        bool ok = false;
        const int interface = bits ? bits->Value.toInt(&ok) : 0;
        if (ok) {
            d.Camera = interface & kCameraBit;
            d.Wheel = interface & kWheelBit;
        } else {
            d.Camera = cache.find(name, QStringLiteral("CCD_EXPOSURE")) != nullptr;
            d.Wheel = cache.find(name, QStringLiteral("FILTER_SLOT")) != nullptr;
        }
        if (const IndiElement* exec = info ? info->element(QStringLiteral("DRIVER_EXEC")) : nullptr)
            d.Driver = exec->Value;
        result << d;
    }
    std::sort(result.begin(), result.end(),
              [](const IndiDeviceInfo& a, const IndiDeviceInfo& b) { return a.Name.localeAwareCompare(b.Name) < 0; });
    return result;
}
