#pragma once
// Process start-up for the restart, and the widget-backed handlers behind the
// platform's message-box, file-dialog and beep seams.
#include <QString>
#include <QStringList>

class QWidget;

// The program and arguments that run a command line. A line whose last three
// characters are "BAT" in any letter case is a batch file and runs through
// the command interpreter (/bin/sh here); anything else is the path of a
// program, started directly without a shell. The path is always one
// argument, so spaces in it are safe.
struct CommandSpec {
    QString program;
    QStringList arguments;
};
CommandSpec CommandFor(const QString& commandLine);

// The command line the Windows program would hand to CreateProcess: a batch
// file goes through "COMMAND.COM /C " with its path quoted, so a path with
// spaces reaches the interpreter as one word.
QString WindowsCommandLine(const QString& commandLine);

// Starts a command line; minimises the owner window first and restores it
// afterwards when minimise is set; waits for the process when wait is set.
// Returns whether the process was started.
bool RunCommand(QWidget* owner, const QString& commandLine, bool minimise, bool wait);

// Installs the real message box, file dialogs and beep.
void InstallWidgetHandlers();
