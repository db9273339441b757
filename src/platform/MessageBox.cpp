#include "MessageBox.h"

namespace {
MessageBoxHandler& handlerSlot()
{
    static MessageBoxHandler handler;
    return handler;
}
}

int ShowMessageBox(const QString& text, const QString& caption, int flags)
{
    if (const MessageBoxHandler& handler = handlerSlot())
        return handler(text, caption, flags);
    return (flags & 0x0F) == 4 ? MsgBox::ResultNo : MsgBox::ResultOk;
}

MessageBoxHandler SetMessageBoxHandler(MessageBoxHandler handler)
{
    MessageBoxHandler previous = std::move(handlerSlot());
    handlerSlot() = std::move(handler);
    return previous;
}
