#include "DeviceTester.h"

#include "camera/AutomationError.h"
#include "camera/ICamera.h"
#include "camera/SteadyCameraClock.h"
#include "camera/indi/IndiCameraProbe.h"
#include "camera/indi/IndiDeviceLister.h"
#include "camera/indi/IndiProbeClient.h"
#include "camera/simulator/SimulatedApplication.h"
#include "devices/DeviceChoices.h"
#include "guider/GuiderSettings.h"
#include "guider/phd2/Phd2Probe.h"

#include <QTimer>

namespace {
// The first problem among the fields a test needs, or "".
QString firstProblem(const DeviceChoices& choices, std::initializer_list<DeviceChoices::Field> fields)
{
    for (const auto& [field, text] : choices.Problems())
        if (std::find(fields.begin(), fields.end(), field) != fields.end())
            return text;
    return QString();
}

QString simulatorReport(const DeviceChoices& choices)
{
    const SimulatorSettings settings = choices.Simulator();
    SimulatedApplication application(settings, std::make_shared<SteadyCameraClock>());
    const std::unique_ptr<ICamera> camera = application.CCDCamera();
    camera->SetLinkEnabled(true);
    QStringList filters;
    for (int i = 0; i < 256; ++i) {
        const QString name = camera->FilterNames(i);
        if (name.startsWith(QLatin1String("Filter")))
            break;
        filters << name;
    }
    camera->Release();
    return QStringLiteral("Simulated camera: %1 x %2 pixels of %3\" on the sky, binning 1 to 3, exposures %4.\n"
                          "Filters: %5.")
        .arg(settings.SensorWidth)
        .arg(settings.SensorHeight)
        .arg(settings.PixelScale)
        .arg(settings.TimeScale == 1.0 ? QStringLiteral("in real time")
             : settings.TimeScale == 0.0 ? QStringLiteral("at once")
                                         : QStringLiteral("%1 times as long as asked").arg(settings.TimeScale))
        .arg(filters.join(QStringLiteral(", ")));
}
}

DeviceTester::DeviceTester(QObject* parent) : QObject(parent) {}

DeviceTester::~DeviceTester() = default;

void DeviceTester::later(void (DeviceTester::*signal)(bool, const QString&), bool ok, const QString& report)
{
    QTimer::singleShot(0, this, [this, signal, ok, report] { emit(this->*signal)(ok, report); });
}

void DeviceTester::FindIndiDevices(const DeviceChoices& choices)
{
    delete m_lister;
    m_lister = nullptr;
    const QString problem = firstProblem(choices, {DeviceChoices::IndiHost, DeviceChoices::IndiPort,
                                                   DeviceChoices::IndiConnectTimeout, DeviceChoices::IndiReplyTimeout});
    if (!problem.isEmpty()) {
        QTimer::singleShot(0, this, [this, problem] { emit devicesNotFound(problem); });
        return;
    }
    const IndiSettings settings = choices.Indi();
    m_lister = new IndiDeviceLister(this);
    const QString where = QStringLiteral("%1:%2").arg(settings.Host).arg(settings.Port);
    connect(m_lister, &IndiDeviceLister::finished, this, [this, where](const QList<IndiDeviceInfo>& devices, bool overflow) {
        m_lister->deleteLater();
        m_lister = nullptr;
        FoundDevices found;
        for (const IndiDeviceInfo& d : devices) {
            if (d.Camera)
                found.Cameras << d.Name;
            if (d.Wheel && !d.Camera)
                found.Wheels << d.Name;
            if (d.Wheel && d.Camera)
                found.CamerasWithWheel << d.Name;
        }
        const auto count = [](qsizetype n, const char* one, const char* many) {
            return QStringLiteral("%1 %2").arg(n).arg(QLatin1String(n == 1 ? one : many));
        };
        found.Summary = QStringLiteral("%1 has %2 and %3 (%4 in all)%5.")
                            .arg(where, count(found.Cameras.size(), "camera", "cameras"),
                                 count(found.Wheels.size(), "filter wheel", "filter wheels"),
                                 count(devices.size(), "device", "devices"))
                            .arg(overflow ? QStringLiteral(" (it announced more; only the first %1 are listed)")
                                                .arg(IndiProbeClient::MaxDevices)
                                          : QString());
        emit devicesFound(found);
    });
    connect(m_lister, &IndiDeviceLister::failed, this, [this](const QString& message) {
        m_lister->deleteLater();
        m_lister = nullptr;
        emit devicesNotFound(message);
    });
    m_lister->Start(settings.Host, settings.Port, ToMs(settings.ConnectTimeout), ToMs(settings.ReplyTimeout));
}

void DeviceTester::TestCamera(const DeviceChoices& choices)
{
    delete m_cameraProbe;
    m_cameraProbe = nullptr;
    const QList<DeviceChoices::Problem> problems = choices.Problems();
    for (const auto& [field, text] : problems) {
        if (field != DeviceChoices::GuiderDriver && field != DeviceChoices::Phd2Host && field != DeviceChoices::Phd2Instance) {
            later(&DeviceTester::cameraTested, false, text);
            return;
        }
    }
    if (choices.IsSimulator()) {
        QString report;
        try {
            report = simulatorReport(choices);
        } catch (const AutomationError& e) {
            later(&DeviceTester::cameraTested, false, e.message());
            return;
        }
        later(&DeviceTester::cameraTested, true, report);
        return;
    }
    m_cameraProbe = new IndiCameraProbe(this);
    connect(m_cameraProbe, &IndiCameraProbe::finished, this, [this](bool ok, const QString& report) {
        m_cameraProbe->deleteLater();
        m_cameraProbe = nullptr;
        emit cameraTested(ok, report);
    });
    m_cameraProbe->Start(choices.Indi());
}

void DeviceTester::TestGuider(const DeviceChoices& choices)
{
    delete m_guiderProbe;
    m_guiderProbe = nullptr;
    const QString problem = firstProblem(choices, {DeviceChoices::GuiderDriver, DeviceChoices::Phd2Host,
                                                   DeviceChoices::Phd2Instance, DeviceChoices::CameraDriver});
    if (!problem.isEmpty()) {
        later(&DeviceTester::guiderTested, false, problem);
        return;
    }
    const GuiderSettings settings = choices.Guider();
    switch (settings.Driver) {
    case GuiderSettings::Kind::Camera:
        if (choices.IsIndi())
            later(&DeviceTester::guiderTested, false, choices.Notes().value(0));
        else
            later(&DeviceTester::guiderTested, true,
                  QStringLiteral("The simulated camera's own guider: a guide star that jumps after a dither and "
                                 "settles in %1 s.").arg(choices.Simulator().GuiderSettle));
        return;
    case GuiderSettings::Kind::None:
        later(&DeviceTester::guiderTested, true,
              QStringLiteral("No guider: sequences must not dither (a dither stops the run)."));
        return;
    case GuiderSettings::Kind::Unknown:
    case GuiderSettings::Kind::Phd2:
        break;
    }
    m_guiderProbe = new Phd2Probe(this);
    connect(m_guiderProbe, &Phd2Probe::finished, this, [this](bool ok, const QString& report) {
        m_guiderProbe->deleteLater();
        m_guiderProbe = nullptr;
        emit guiderTested(ok, report);
    });
    m_guiderProbe->Start(settings.Phd2Host, settings.Phd2Port(), settings.ConnectTimeoutMs(), settings.ReplyTimeoutMs());
}
