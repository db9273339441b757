#include "app/Application.h"

#include "platform/Error.h"
#include "platform/MessageBox.h"

Application::Application(int& argc, char** argv) : QApplication(argc, argv) {}

bool Application::notify(QObject* receiver, QEvent* event)
{
    try {
        return QApplication::notify(receiver, event);
    } catch (const Error& e) {
        ShowStandardError(e.message());
    } catch (const std::exception& e) {
        ShowStandardError(QString::fromLocal8Bit(e.what()));
    } catch (...) {
        ShowStandardError(QStringLiteral("Unknown error"));
    }
    return false;
}

QString Application::ErrorBoxText(const QString& message)
{
    if (message.endsWith('.'))
        return message;
    return message + QLatin1Char('.');
}

void Application::ShowStandardError(const QString& message)
{
    ShowMessageBox(ErrorBoxText(message), QApplication::applicationDisplayName(), MsgBox::ErrorOk);
}
