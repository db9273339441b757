#include "Beep.h"

namespace {
std::function<void()>& handlerSlot()
{
    static std::function<void()> handler;
    return handler;
}
}

void Beep()
{
    if (const auto& handler = handlerSlot())
        handler();
}

std::function<void()> SetBeepHandler(std::function<void()> handler)
{
    auto previous = std::move(handlerSlot());
    handlerSlot() = std::move(handler);
    return previous;
}
