#include "run/NightLog.h"

#include "platform/MessageBox.h"
#include "run/NightRecord.h"
#include "run/RunHost.h"
#include "run/RunWaiter.h"
#include "sequence/TSequence.h"

NightLog::NightLog(RunHost& host, RunWaiter& waiter)
    : m_host(host), m_waiter(waiter), m_options(host.RunNightOptions())
{
}

void NightLog::Event(const QString& text)
{
    const QDateTime now = m_waiter.NowUtc();
    m_host.RunNightEvent(now, text);
    if (!m_options.AnyOn())
        return;
    NightRecord record(m_host.RunSequence().DestDir, [now] { return now; });
    if (!record.Append(text) && !m_recordFailed) {
        m_recordFailed = true;
        m_host.RunNightEvent(now, record.Error());
    }
}

void NightLog::Message(const QString& text, const QString& caption, int flags)
{
    Event(text);
    if (m_options.NoBoxes)
        m_host.SetRunStatusText(text);
    else
        m_host.RunMessageBox(text, caption, flags);
}

int NightLog::Question(const QString& text, const QString& caption, int flags, const QString& unanswered)
{
    if (!m_options.NoBoxes)
        return m_host.RunMessageBox(text, caption, flags);
    Event(unanswered);
    return MsgBox::ResultNo;
}
