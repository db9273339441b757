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
    if (Seq().PixelDither.Count() > 0 && !Stopping() && !m_skippedImage) {
        // The guard for the second cameras first, then the guider's own.
        m_sync.Dither([this] {
            m_guider.Dither([this](qint64 settleLimitMs) {
                GuideStarDither dither(m_host, m_waiter, m_random);
                dither.SetSettleLimitMs(settleLimitMs);
                dither.DitherGuideStar();
            });
        });
    }
}

bool MainSequenceRun::AskReplace(const Frame& frame, const QString& unanswered)
{
    return m_log.Question(QStringLiteral("Image ") + frame.FileName + QStringLiteral(" does exist.\rOverwrite?"),
                          QStringLiteral("Warning"), MsgBox::QuestionYesNo, unanswered)
        == MsgBox::ResultYes;
}

bool MainSequenceRun::MayReplaceAppeared(const Frame& frame)
{
    return AskReplace(frame, frame.FileName + QStringLiteral(" appeared during its exposure; kept, and the new image "
                                                             "not saved (nobody to ask)"));
}

bool MainSequenceRun::RunFrame(qint64 iteration, const TSequenceItem& item, qint64 j)
{
    const Frame frame = FrameFor(iteration, item, j);
    const bool exists = QFileInfo::exists(frame.Path);
    if (exists && !AskReplace(frame, frame.FileName + QStringLiteral(" exists; kept, and the frame skipped (nobody to ask)"))) {
        SkipFrame(frame, item);
        return true;
    }
    Status(QStringLiteral("Exposing ") + frame.FileName);
    m_waiter.PumpMessages();
    return Shoot(frame, item, exists) != Shot::StartFailed;
}

void MainSequenceRun::SkipFrame(const Frame& frame, const TSequenceItem& item)
{
    Status(QStringLiteral("Skip image ") + frame.FileName);
    Tell(FrameEvent::Kind::Skipped, frame, item);
    m_skippedImage = true;
    if (item.Repeat > 1 && Seq().PixelDither.Count() > 0)
        m_log.Message(QStringLiteral("The second camera sync may get guiding error"), QStringLiteral("Warning"),
                      MsgBox::InfoOk);
    m_waiter.WaitMs(500);
    Status(frame.FileName);
}
