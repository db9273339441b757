#pragma once
// NightLog: where a run puts what happened during the night. Every event
// goes to the window's list (RunHost::RunNightEvent) and, when any night
// option is on, to the night's record (NightRecord) in the sequence's
// destination folder, on the waiter's clock. Failures go to a box as
// before, or, with the option NoBoxes, to the record and the status line.
//
// A record that cannot be written never stops a run: the reason goes to the
// window's list, once per run.
#include "run/NightOptions.h"

#include <QString>

class RunHost;
class RunWaiter;

class NightLog {
public:
    NightLog(RunHost& host, RunWaiter& waiter);

    const NightOptions& Options() const { return m_options; }

    void Event(const QString& text);
    // Something the user must see: an event and a box (`caption`, `flags`
    // as for ShowMessageBox), or with NoBoxes the event and the status line.
    void Message(const QString& text, const QString& caption, int flags);
    // A failure: Message with caption "Error".
    void Failure(const QString& text, int flags) { Message(text, QStringLiteral("Error"), flags); }
    // A question; with NoBoxes nobody answers: the event says `unanswered`
    // and the result is "No".
    int Question(const QString& text, const QString& caption, int flags, const QString& unanswered);

private:
    RunHost& m_host;
    RunWaiter& m_waiter;
    NightOptions m_options;
    bool m_recordFailed = false;
};
