#include "CameraConnection.h"

#include "app/CameraConnectionHost.h"
#include "camera/AutomationError.h"
#include "camera/ICamera.h"
#include "camera/IMaxImApplication.h"
#include "devices/DeviceFactory.h"
#include "platform/Error.h"
#include "platform/MessageBox.h"

namespace {
const QString kCaption = QStringLiteral("MaxIm Application");
}

CameraConnection::CameraConnection(CameraConnectionHost& host, MaxImFactory factory)
    : m_host(host), m_factory(std::move(factory))
{
    if (!m_factory)
        m_factory = [] { return CreateMaxImApplication(); };
}

CameraConnection::~CameraConnection() { releaseQuietly(); }

void CameraConnection::releaseQuietly()
{
    // Camera before application. A reference whose release fails is dropped
    // all the same: nothing more can be done with it.
    if (m_camera) {
        try {
            m_camera->Release();
        } catch (const AutomationError&) {
        }
        m_camera.reset();
    }
    if (m_application) {
        try {
            m_application->Release();
        } catch (const AutomationError&) {
        }
        m_application.reset();
    }
}

void CameraConnection::failConnection(const QString& message)
{
    releaseQuietly();
    ShowMessageBox(message, kCaption, MsgBox::ErrorOk);
    m_host.SetConnectEnabled(true);
}

void CameraConnection::ConnectMaxImButtonClick()
{
    m_host.SetConnectEnabled(false);
    releaseQuietly(); // only if called while connected: never hold two links

    try {
        m_application = m_factory();
        if (!m_application)
            throw AutomationError(QStringLiteral("No application object"));
    } catch (const AutomationError&) {
        failConnection(QStringLiteral("Error in connection. MaxIm/DL must be set up before conntecting."));
        return;
    }

    try {
        m_camera = m_application->CCDCamera();
        if (!m_camera)
            throw AutomationError(QStringLiteral("No camera object"));
    } catch (const AutomationError&) {
        failConnection(QStringLiteral("Error getting CCD Camera"));
        return;
    }

    try {
        m_camera->SetLinkEnabled(true);
        m_host.WaitMs(1000);
        QStringList& filters = m_host.FilterList();
        filters.clear();
        for (int index = 0; index < MaxFilterIndexes; ++index) {
            const QString name = m_camera->FilterNames(index);
            if (name.startsWith(QLatin1String("Filter"), Qt::CaseSensitive))
                break;
            filters.append(name);
        }
    } catch (const AutomationError&) {
        // The names read before the error stay in the list.
        failConnection(QStringLiteral("Error linking CCD Camera"));
        return;
    }

    m_host.SetConnectEnabled(false);
    m_host.SetDisconnectEnabled(true);
    m_host.SetStartEnabled(true);
    m_host.SetStopEnabled(false);
}

bool CameraConnection::Reconnect(QString* why)
{
    releaseQuietly();
    try {
        m_application = m_factory();
        if (!m_application)
            throw AutomationError(QStringLiteral("No application object"));
        m_camera = m_application->CCDCamera();
        if (!m_camera)
            throw AutomationError(QStringLiteral("No camera object"));
        m_camera->SetLinkEnabled(true);
        m_host.WaitMs(1000);
    } catch (const Error& e) {
        *why = e.message();
        releaseQuietly();
        m_host.SetConnectEnabled(true);
        m_host.SetDisconnectEnabled(false);
        return false;
    }
    m_host.SetConnectEnabled(false);
    m_host.SetDisconnectEnabled(true);
    return true;
}

void CameraConnection::DisconnectMaxImButtonClick()
{
    if (m_host.IsRunning()) {
        ShowMessageBox(QStringLiteral("Sequence in progress. Can't disconnect MaxIm."), QStringLiteral("Error"),
                       MsgBox::ErrorOk);
        return;
    }

    try {
        // An object whose release fails stays held, so Disconnect can be
        // tried again; the camera goes first, and the application is not
        // touched while the camera is still held.
        if (m_camera) {
            m_camera->Release();
            m_camera.reset();
        }
        if (m_application) {
            m_application->Release();
            m_application.reset();
        }
    } catch (const AutomationError&) {
        ShowMessageBox(QStringLiteral("Error disconnecting MaxIm / Camera"), kCaption, MsgBox::ErrorOk);
        // The buttons stay as they are, except that a run cannot start
        // without the camera it would drive.
        if (!m_camera)
            m_host.SetStartEnabled(false);
        return;
    }

    m_host.SetConnectEnabled(true);
    m_host.SetDisconnectEnabled(false);
    m_host.SetStartEnabled(false);
    m_host.SetStopEnabled(false);
}
