#pragma once
// IMaxImApplication: the application object of the camera server, created
// through CreateMaxImApplication() ("MaxIm.Application"). Every method throws
// AutomationError carrying the server's message on failure.
#include <functional>
#include <memory>

class ICamera;

class IMaxImApplication {
public:
    virtual ~IMaxImApplication() = default;

    // The application's camera object (its CCDCamera property). The caller
    // owns the returned object and releases it before the application.
    virtual std::unique_ptr<ICamera> CCDCamera() = 0;

    // Lets go of the server's application object.
    virtual void Release() = 0;
};

// Whatever creates the application object: the configured drivers in the
// program, a scripted camera server in tests.
using MaxImFactory = std::function<std::unique_ptr<IMaxImApplication>()>;
