#include "app/Application.h"

#include "platform/Error.h"
#include "platform/MessageBox.h"

namespace {
QString g_title = QStringLiteral("Tandexa");
}

QString Application::Title() { return g_title; }
void Application::SetTitle(const QString& title) { g_title = title; }

QFont Application::FormFont()
{
    // Liberation Sans has the metrics of the classic 8-point dialog font.
    QFont font(QStringLiteral("Liberation Sans"));
    font.setFamilies({QStringLiteral("Liberation Sans"), QStringLiteral("DejaVu Sans Condensed")});
    font.setPixelSize(11);
    return font;
}

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
    ShowMessageBox(ErrorBoxText(message), g_title, MsgBox::ErrorOk);
}
