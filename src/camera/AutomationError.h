#pragma once
// AutomationError: the failure of one camera operation. It carries the
// camera server's own message text; the connection handlers and the runs
// catch exactly this kind and show that text (or their own message).
#include "platform/Error.h"

class AutomationError : public Error {
public:
    using Error::Error;
};
