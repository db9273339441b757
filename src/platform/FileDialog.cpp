#include "FileDialog.h"

namespace {
FileDialog::Handler& handlerSlot()
{
    static FileDialog::Handler handler;
    return handler;
}
}

bool FileDialog::Execute()
{
    if (const Handler& handler = handlerSlot())
        return handler(*this);
    return false;
}

FileDialog::Handler FileDialog::SetHandler(Handler handler)
{
    Handler previous = std::move(handlerSlot());
    handlerSlot() = std::move(handler);
    return previous;
}
