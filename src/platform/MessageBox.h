#pragma once
// ShowMessageBox: the one way the program asks or tells the user something.
// Flags and results are the classic message-box values:
//   flags 16 error icon + OK, 36 question icon + Yes/No, 48 warning + OK,
//   64 information + OK; results 1 OK, 6 Yes, 7 No.
// The box itself is a replaceable handler: the application installs one that
// shows a real modal box; tests install a scripted answerer. With no handler
// installed the call returns 1 (OK) for OK boxes and 7 (No) for questions.
#include <QString>
#include <functional>

namespace MsgBox {
constexpr int ErrorOk = 16;
constexpr int QuestionYesNo = 36;
constexpr int WarningOk = 48;
constexpr int InfoOk = 64;
constexpr int ResultOk = 1;
constexpr int ResultYes = 6;
constexpr int ResultNo = 7;
}

using MessageBoxHandler = std::function<int(const QString& text, const QString& caption, int flags)>;

int ShowMessageBox(const QString& text, const QString& caption, int flags);
// Installs a handler and returns the previous one (so a test can restore it).
MessageBoxHandler SetMessageBoxHandler(MessageBoxHandler handler);
