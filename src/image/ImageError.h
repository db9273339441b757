#pragma once
// ImageError: a FITS file that cannot be read, written or edited. It carries
// the whole message a user is shown; the camera drivers pass it on as their
// own failure (AutomationError) with the same text.
#include "platform/Error.h"

class ImageError : public Error {
public:
    using Error::Error;
};

// A file was asked to be created only where none exists, and one is there:
// nothing was written. The drivers pass it on as FileExistsError.
class ImageExistsError : public ImageError {
public:
    using ImageError::ImageError;
};
