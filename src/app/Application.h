#pragma once
// Application: the QApplication of Tandexa. It is the one place that catches
// an exception a handler did not: the error is shown in the standard error box
// (the message with a full stop added, the application title as caption, an
// error icon) and the program goes on. No exception ever crosses Qt's event
// loop, which would unwind a running sequence's nested loops.
#include <QApplication>
#include <QFont>

class Application : public QApplication {
    Q_OBJECT
public:
    Application(int& argc, char** argv);
    bool notify(QObject* receiver, QEvent* event) override;

    // The text of the standard error box for an error message.
    static QString ErrorBoxText(const QString& message);
    // Shows the standard error box (through the message-box handler).
    static void ShowStandardError(const QString& message);

    // The application title: "Tandexa 1" on the main PC, "Tandexa 2" on the
    // second. Caption of the main window and of the standard error box.
    static QString Title();
    static void SetTitle(const QString& title);

    // The forms' font: small enough for the classic layouts' fixed positions.
    static QFont FormFont();
};
