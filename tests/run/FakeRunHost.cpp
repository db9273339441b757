#include "FakeRunHost.h"

#include "run/FrameEvent.h"

#include "platform/MessageBox.h"

void FakeRunHost::add(const QString& entry)
{
    Log << entry;
    LogTimes << m_clock.NowMs();
}

QStringList FakeRunHost::Entries(const QString& prefix) const
{
    QStringList found;
    for (const QString& entry : Log) {
        if (entry.startsWith(prefix))
            found << entry.mid(prefix.size());
    }
    return found;
}

qint64 FakeRunHost::TimeOf(const QString& entry) const
{
    const qsizetype at = Log.indexOf(entry);
    return at < 0 ? -1 : LogTimes.at(at);
}

void FakeRunHost::PressStop()
{
    SetRunStatusText(QStringLiteral("User break"));
    Flags.StopRequested = true;
}

int FakeRunHost::RunMessageBox(const QString& text, const QString& caption, int flags)
{
    add(QString("Box %1 %2: %3").arg(caption).arg(flags).arg(text));
    if (!BoxAnswers.isEmpty())
        return BoxAnswers.takeFirst();
    return flags == MsgBox::QuestionYesNo ? MsgBox::ResultNo : MsgBox::ResultOk;
}

void FakeRunHost::RunFrameEvent(const FrameEvent& e)
{
    static const char* const kinds[] = {"Started", "Saved", "Skipped", "Aborted", "Failed"};
    Frames << QString("%1 %2 %3/%4/%5 of %6 @%7")
                  .arg(kinds[int(e.What)], e.FileName)
                  .arg(e.Pass)
                  .arg(e.Item)
                  .arg(e.Frame)
                  .arg(e.Repeat)
                  .arg(m_clock.NowMs());
    if (OnFrame)
        OnFrame(e);
}

void FakeRunHost::RunNightEvent(const QDateTime& utc, const QString& text)
{
    Q_UNUSED(utc);
    NightEvents << QString("@%1 %2").arg(m_clock.NowMs()).arg(text);
}

bool FakeRunHost::RunReconnectCamera(QString* why)
{
    add("Reconnect");
    return Reconnect ? Reconnect(why) : RunHost::RunReconnectCamera(why);
}
