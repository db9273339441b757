#pragma once
// The application title and the standard error box. The title is "Tandexa 1"
// on the main PC and "Tandexa 2" on the second; it captions the main window
// and the standard error box, which shows an error no handler dealt with:
// the message with a full stop added when it has none, and the error icon.
#include <QString>
#include <functional>

QString ApplicationTitle();
void SetApplicationTitle(const QString& title);

QString StandardErrorText(const QString& message);
void ShowStandardError(const QString& message);

// Runs an event handler; an Error it did not catch ends it and is shown in
// the standard error box, so no failure crosses the event loop.
void RunGuarded(const std::function<void()>& handler);
