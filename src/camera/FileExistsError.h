#pragma once
// FileExistsError: a save in SaveMode::CreateNew found a file at its path
// (one that appeared after the run last looked). Nothing was written. The
// runs tell it from other failures: the main PC then asks as for any
// existing file, the second PC skips the frame.
#include "camera/AutomationError.h"

class FileExistsError : public AutomationError {
public:
    using AutomationError::AutomationError;
};
