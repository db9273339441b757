#pragma once
// Error: the one exception type of the program. Every failure is reported by
// throwing an Error (or a subclass) carrying the text a user is shown. The
// application's standard error box displays message() with a full stop added.
#include <QString>
#include <stdexcept>

class Error : public std::runtime_error {
public:
    explicit Error(const QString& message)
        : std::runtime_error(message.toStdString()), m_message(message) {}
    const QString& message() const { return m_message; }

private:
    QString m_message;
};
