#include "run/MainSequenceRun.h"

#include "camera/ICamera.h"
#include "platform/Error.h"
#include "platform/MessageBox.h"
#include "platform/RunState.h"
#include "run/GuideStarDither.h"
#include "run/RunHost.h"
#include "run/RunSteps.h"
#include "run/RunWaiter.h"
#include "sequence/TSequence.h"

#include <QFileInfo>
#include <limits>

MainSequenceRun::MainSequenceRun(RunHost& host, RunWaiter& waiter, RandomSource& random)
    : SequenceRun(host, waiter), m_random(random), m_sync(host, waiter)
{
}

void MainSequenceRun::Run()
{
    RunSteps::Open(m_host);
    m_skippedImage = false;
    try {
        RunPasses();
    } catch (const Error& e) {
        ReportFailure(e);
        m_host.SendToPeer(QStringLiteral("Abort"));
    }
    RunSteps::Close(m_host);
}

void MainSequenceRun::RunPasses()
{
    // 64-bit pass numbers: Iterations may be the largest int in a file.
    for (qint64 i = Seq().StartIteration; i <= Seq().Iterations && !Stopping(); ++i) {
        for (int k = 0; k < Seq().Items.size() && !Stopping(); ++k)
            RunItem(i, k);
        if (Stopping())
            m_host.SendToPeer(QStringLiteral("Abort"));
        else
            Seq().StartIteration = int(qMin<qint64>(i + 1, std::numeric_limits<int>::max()));
        m_host.SetStartIterationPosition(Seq().StartIteration);
    }
    if (!Stopping())
        m_host.SendToPeer(QStringLiteral("End"));
}

void MainSequenceRun::RunItem(qint64 iteration, int k)
{
    const TSequenceItem item = BeginItem(k);
    m_sync.ItemStarting(iteration, k + 1, item);
    m_host.SendToPeer(QStringLiteral("Expose ") + QString::number(item.Exposure));
    for (qint64 j = 1; j <= item.Repeat && !Stopping(); ++j) {
        if (!RunFrame(iteration, item, j))
            break;
    }
    if (Seq().DelayFrame != 0) {
        Status(QStringLiteral("Delay"));
        const qint64 ms = qint64(Seq().DelayFrame) * 1000;
        m_waiter.WaitMs(int(qBound(qint64(0), ms, qint64(std::numeric_limits<int>::max()))));
    }
    if (Seq().PixelDither.Count() > 0 && !Stopping() && !m_skippedImage)
        m_sync.Dither([this] { GuideStarDither(m_host, m_waiter, m_random).DitherGuideStar(); });
}

bool MainSequenceRun::RunFrame(qint64 iteration, const TSequenceItem& item, qint64 j)
{
    const Frame frame = FrameFor(iteration, item, j);
    if (QFileInfo::exists(frame.Path)
        && m_host.RunMessageBox(QStringLiteral("Image ") + frame.FileName + QStringLiteral(" does exist.\rOverwrite?"),
                                QStringLiteral("Warning"), MsgBox::QuestionYesNo) != MsgBox::ResultYes) {
        SkipFrame(frame, item);
        return true;
    }
    Status(QStringLiteral("Exposing ") + frame.FileName);
    m_waiter.PumpMessages();
    if (!StartExposure(item)) {
        Tell(FrameEvent::Kind::Failed, frame, item);
        return false;
    }
    m_sync.FrameStarted(iteration, frame.Item, j, item);
    Tell(FrameEvent::Kind::Started, frame, item);
    AwaitImage();
    if (Stopping()) {
        Camera().AbortExposure();
        Tell(FrameEvent::Kind::Aborted, frame, item);
        m_waiter.WaitMs(500);
        return true;
    }
    SaveFrame(frame, m_sync.Keys(iteration, frame.Item, j));
    m_sync.FrameEnded();
    Tell(FrameEvent::Kind::Saved, frame, item);
    return true;
}

void MainSequenceRun::SkipFrame(const Frame& frame, const TSequenceItem& item)
{
    Status(QStringLiteral("Skip image ") + frame.FileName);
    Tell(FrameEvent::Kind::Skipped, frame, item);
    m_skippedImage = true;
    if (item.Repeat > 1 && Seq().PixelDither.Count() > 0)
        m_host.RunMessageBox(QStringLiteral("The second camera sync may get guiding error"), QStringLiteral("Warning"),
                             MsgBox::InfoOk);
    m_waiter.WaitMs(500);
    Status(frame.FileName);
}
