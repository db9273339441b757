#include "platform/StandardError.h"

#include "platform/Error.h"
#include "platform/MessageBox.h"

namespace {
QString& titleSlot()
{
    static QString title = QStringLiteral("Tandexa");
    return title;
}
}

QString ApplicationTitle() { return titleSlot(); }

void SetApplicationTitle(const QString& title) { titleSlot() = title; }

QString StandardErrorText(const QString& message)
{
    return message.endsWith(QLatin1Char('.')) ? message : message + QLatin1Char('.');
}

void ShowStandardError(const QString& message)
{
    ShowMessageBox(StandardErrorText(message), ApplicationTitle(), MsgBox::ErrorOk);
}

void RunGuarded(const std::function<void()>& handler)
{
    try {
        handler();
    } catch (const Error& e) {
        ShowStandardError(e.message());
    }
}
