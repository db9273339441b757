#pragma once
// BadImageError: the camera delivered an image that cannot be saved as the
// frame (a FITS file whose header does not parse, data shorter than the
// header declares, a transfer cut short or larger than the camera can
// send). Its text says what was wrong; nothing was saved. The runs report
// it in their own words and go on: the next frame may be fine.
#include "camera/AutomationError.h"

class BadImageError : public AutomationError {
public:
    using AutomationError::AutomationError;
};
