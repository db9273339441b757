#pragma once
// Application: the QApplication of Tandexa. It is the one place that catches
// an exception a handler did not: the error is shown in the standard error box
// and the program goes on. No exception ever crosses Qt's event loop, which
// would unwind a running sequence's nested loops.
#include <QApplication>
#include <QFont>

class Application : public QApplication {
    Q_OBJECT
public:
    Application(int& argc, char** argv);
    bool notify(QObject* receiver, QEvent* event) override;

    // The forms' font: small enough for the classic layouts' fixed positions.
    static QFont FormFont();
};
