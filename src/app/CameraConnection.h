#pragma once
// CameraConnection: the "Connect MaxIm" and "Disconnect MaxIm" handlers and
// the automation objects they hold. Owned by the main window, which calls the
// two handlers from its buttons; the runs reach the connected camera through
// Camera().
//
// Connect creates the application object, gets its camera, links it and
// reads the filter names into the host's FilterList (up to the first name
// beginning with "Filter", at most MaxFilterIndexes slots). Every automation
// error is caught step by step and shown with caption "MaxIm Application";
// a failed connection leaves both objects released and "Connect MaxIm"
// enabled. Other exceptions pass to the caller.
#include "camera/IMaxImApplication.h"

#include <QString>
#include <memory>

class CameraConnectionHost;
class ICamera;
class IMaxImApplication;

class CameraConnection {
public:
    // Filter slots read at most; a wheel that never answers "Filter..." ends
    // there instead of looping for ever.
    static constexpr int MaxFilterIndexes = 256;

    // `factory` creates "MaxIm.Application"; empty means CreateMaxImApplication().
    explicit CameraConnection(CameraConnectionHost& host, MaxImFactory factory = {});
    // Releases the camera, then the application; errors are ignored here
    // (the window is ending).
    ~CameraConnection();

    CameraConnection(const CameraConnection&) = delete;
    CameraConnection& operator=(const CameraConnection&) = delete;

    void ConnectMaxImButtonClick();
    void DisconnectMaxImButtonClick();
    // For a run that lost its camera: releases both objects and connects
    // again as Connect does (the filter list kept), showing nothing. False
    // with the reason in *why when any step fails; "Connect MaxIm" is then
    // enabled, so the user can try once the run is over.
    bool Reconnect(QString* why);

    // The connected camera, or nullptr when not connected.
    ICamera* Camera() const { return m_camera.get(); }
    IMaxImApplication* Application() const { return m_application.get(); }
    bool IsConnected() const { return m_camera != nullptr; }

private:
    void failConnection(const QString& message);
    void releaseQuietly();

    CameraConnectionHost& m_host;
    MaxImFactory m_factory;
    std::unique_ptr<IMaxImApplication> m_application;
    std::unique_ptr<ICamera> m_camera;
};
