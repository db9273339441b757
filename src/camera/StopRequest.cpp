#include "camera/StopRequest.h"

namespace {
std::function<bool()>& check()
{
    static std::function<bool()> installed;
    return installed;
}
}

void StopRequest::Install(std::function<bool()> check_)
{
    check() = std::move(check_);
}

bool StopRequest::Requested()
{
    return check() && check()();
}
