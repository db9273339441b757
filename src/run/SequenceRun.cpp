#include "run/SequenceRun.h"

#include "camera/BadImageError.h"
#include "camera/FileExistsError.h"
#include "camera/ICamera.h"
#include "camera/IDocument.h"
#include "camera/ImageSave.h"
#include "camera/StopRequest.h"
#include "platform/Error.h"
#include "platform/MessageBox.h"
#include "platform/RunState.h"
#include "run/FrameName.h"
#include "run/RunHost.h"
#include "run/RunSteps.h"
#include "run/RunWaiter.h"
#include "sequence/TSequence.h"

#include <QFileInfo>

SequenceRun::SequenceRun(RunHost& host, RunWaiter& waiter)
    : m_host(host), m_waiter(waiter), m_log(host, waiter), m_guider(host, waiter, m_log)
{
}

TSequence& SequenceRun::Seq() const { return m_host.RunSequence(); }

bool SequenceRun::Stopping() const { return m_host.RunFlags().StopRequested; }

ICamera& SequenceRun::Camera() const { return RunSteps::Camera(m_host); }

void SequenceRun::Status(const QString& text) const { m_host.SetRunStatusText(text); }

TSequenceItem SequenceRun::BeginItem(int k) const
{
    m_host.SelectGridRow(k + 1);
    m_itemRow = k + 1;
    const TSequenceItem item = Seq().Items.at(k);
    const QStringList& names = m_host.RunFilterList();
    if (item.Filter < 0 || item.Filter >= names.size())
        throw Error(QStringLiteral("Item %1 uses filter %2, which has no name in the filter list (%3 names); "
                                   "connect the camera again or correct the item")
                        .arg(k + 1)
                        .arg(item.Filter)
                        .arg(names.size()));
    Status(QStringLiteral("Changing filter ") + names.at(item.Filter));
    try {
        Camera().SetFilter(item.Filter);
    } catch (const StopRequestedError&) {
        throw;
    } catch (const AutomationError& e) {
        // With the night's Retry a lost camera is connected again (which
        // moves the wheel too); otherwise, or when that fails, the run ends.
        if (!m_log.Options().Retry)
            throw;
        m_log.Event(QStringLiteral("Moving the filter wheel to %1: %2").arg(names.at(item.Filter), e.message()));
        if (!Reconnect(item, QStringLiteral("moving the filter wheel to ") + names.at(item.Filter)) && !Stopping())
            throw Error(QStringLiteral("Gave up moving the filter wheel to %1 after %2 tries: %3")
                            .arg(names.at(item.Filter)).arg(m_log.Options().RetryTries).arg(e.message()));
    }
    return item;
}

SequenceRun::Frame SequenceRun::FrameFor(qint64 iteration, const TSequenceItem& item, qint64 frame) const
{
    const QString number = FrameName::NumberText(FrameName::Number(iteration, item.Repeat, frame));
    Frame f;
    f.FileName = FrameName::FileName(Seq().ImgFileName, number, item.Suffix);
    f.Path = FrameName::FullPath(Seq().DestDir, f.FileName);
    f.Pass = iteration;
    f.Item = m_itemRow;
    f.Number = frame;
    return f;
}

bool SequenceRun::StartExposure(const TSequenceItem& item)
{
    try {
        ICamera& camera = Camera();
        if (camera.BinX() != item.Binning || camera.BinY() != item.Binning) {
            camera.SetBinX(item.Binning);
            camera.SetBinY(item.Binning);
        }
        camera.SetFullFrame();
        camera.Expose(item.Exposure, -1);
        return true;
    } catch (const StopRequestedError&) {
        return false;   // the stop shows itself
    } catch (const Error& e) {
        if (m_log.Options().Retry && dynamic_cast<const AutomationError*>(&e))
            throw;   // Shoot connects again and retakes
        m_log.Message(e.message(), QStringLiteral("Error"), MsgBox::WarningOk);
        return false;
    }
}

void SequenceRun::AwaitImage() const
{
    for (;;) {
        m_waiter.WaitMs(100);
        const bool ready = Camera().ImageReady();
        if (ready || Stopping())
            return;
    }
}

void SequenceRun::AbortAfterStop(const Frame& frame, const TSequenceItem& item)
{
    try {
        Camera().AbortExposure();
    } catch (const StopRequestedError&) {
        // The abort went out; its answer is not awaited once stopping.
    }
    Tell(FrameEvent::Kind::Aborted, frame, item);
    m_waiter.WaitMs(AbortPauseMs());
}

bool SequenceRun::Save(const Frame& frame, bool replaceApproved, const std::shared_ptr<IDocument>& kept)
{
    // Replace only the file the user agreed to replace; anything that
    // appeared since is asked about (or kept) first.
    bool replace = replaceApproved;
    if (!replaceApproved && QFileInfo::exists(frame.Path)) {
        if (!MayReplaceAppeared(frame))
            return false;
        replace = true;
    }
    for (;;) {
        try {
            const SaveMode mode = replace ? SaveMode::Replace : SaveMode::CreateNew;
            m_host.RunImageSaving(frame.Path);
            const std::shared_ptr<ImageSave> save = kept ? kept->StartSave(frame.Path, mode)
                                                         : Camera().StartSaveImage(frame.Path, mode);
            while (!save->IsFinished())
                m_waiter.WaitForEvents();
            save->Result();
            return true;
        } catch (const FileExistsError&) {
            // Appeared in the last instant, between the look and the save.
            if (!MayReplaceAppeared(frame))
                return false;
            replace = true;
        } catch (const AutomationError& e) {
            // Not a camera failure to retry: the disk refused.
            throw Error(e.message());
        }
    }
}

bool SequenceRun::Reconnect(const TSequenceItem& item, const QString& next) const
{
    const NightOptions& night = m_log.Options();
    for (int attempt = 1; attempt <= night.RetryTries; ++attempt) {
        const qint64 pause = night.PauseBeforeTryMs(attempt);
        if (pause > 0) {
            Status(QStringLiteral("Connecting the camera again in %1 s (try %2 of %3)")
                       .arg(pause / 1000).arg(attempt).arg(night.RetryTries));
            m_waiter.WaitMs(int(pause));
        }
        if (Stopping())
            return false;
        Status(QStringLiteral("Connecting the camera again (try %1 of %2)").arg(attempt).arg(night.RetryTries));
        QString why;
        try {
            if (m_host.RunReconnectCamera(&why)) {
                Camera().SetFilter(item.Filter);
                m_log.Event(QStringLiteral("Camera connected again (try %1 of %2); %3")
                                .arg(attempt).arg(night.RetryTries).arg(next));
                return true;
            }
        } catch (const Error& e) {
            why = e.message();
        }
        if (Stopping())
            return false;
        m_log.Event(QStringLiteral("Connecting the camera again failed (try %1 of %2): %3")
                        .arg(attempt).arg(night.RetryTries).arg(why));
    }
    return false;
}

SequenceRun::Shot SequenceRun::Shoot(const Frame& frame, const TSequenceItem& item, bool replaceApproved)
{
    const NightOptions& night = m_log.Options();
    int failures = 0;                    // camera failures during this frame
    int retakes = 0;                     // retakes for lost guiding
    std::shared_ptr<IDocument> spoilt;   // the last image spoilt by lost guiding
    // A retake that does not come to a better image leaves the spoilt one.
    const auto keepSpoilt = [&] {
        if (spoilt && Save(frame, replaceApproved, spoilt))
            Tell(FrameEvent::Kind::Saved, frame, item);
    };
    for (;;) {
        try {
            ICamera& camera = Camera();
            const quint64 guiding = camera.GuidingInterruptions();
            if (!StartExposure(item)) {
                Tell(FrameEvent::Kind::Failed, frame, item);
                keepSpoilt();
                return Shot::StartFailed;
            }
            Tell(FrameEvent::Kind::Started, frame, item);
            ExposureStarted(frame, item);
            AwaitImage();
            if (Stopping()) {
                AbortAfterStop(frame, item);
                keepSpoilt();
                return Shot::Aborted;
            }
            std::shared_ptr<IDocument> document = camera.Document();
            document->SetDisplayName(frame.FileName);
            const QVariantMap keys = FrameKeys(frame);
            for (auto key = keys.begin(); key != keys.end(); ++key)
                document->SetFITSKey(key.key(), key.value());
            if (camera.GuidingInterruptions() != guiding) {
                document->SetFITSKey(QLatin1String(GuidingLostKey), true);
                m_log.Event(QStringLiteral("%1: guiding was interrupted during the exposure (marked %2 in its header)")
                                .arg(frame.FileName, QLatin1String(GuidingLostKey)));
                if (night.RetakeLostGuiding && retakes < night.RetryTries) {
                    ++retakes;
                    spoilt = document;
                    if (!m_guider.WaitForGuiding() || Stopping()) {
                        keepSpoilt();
                        return Stopping() ? Shot::Aborted : Shot::Saved;
                    }
                    m_log.Event(QStringLiteral("%1: guiding is back; taking it again").arg(frame.FileName));
                    Status(QStringLiteral("Exposing ") + frame.FileName);
                    continue;
                }
            }
            if (!Save(frame, replaceApproved, nullptr)) {
                Tell(FrameEvent::Kind::Skipped, frame, item);
                FrameNotSaved(frame, item);
                return Shot::NotSaved;
            }
            Tell(FrameEvent::Kind::Saved, frame, item);
            FrameSaved();
            return Shot::Saved;
        } catch (const StopRequestedError&) {
            if (!Stopping())
                throw;
            Tell(FrameEvent::Kind::Aborted, frame, item);
            keepSpoilt();
            return Shot::Aborted;
        } catch (const BadImageError& e) {
            Tell(FrameEvent::Kind::Failed, frame, item);
            if (night.Retry && ++failures <= night.RetryTries) {
                m_log.Event(QStringLiteral("%1: %2; taking it again").arg(frame.FileName, e.message()));
                continue;
            }
            m_log.Failure(QStringLiteral("%1 was not saved: %2").arg(frame.FileName, e.message()), MsgBox::ErrorOk);
            keepSpoilt();
            return Shot::NotSaved;
        } catch (const AutomationError& e) {
            if (!night.Retry) {
                keepSpoilt();
                throw;
            }
            Tell(FrameEvent::Kind::Failed, frame, item);
            m_log.Event(QStringLiteral("%1: %2").arg(frame.FileName, e.message()));
            if (++failures > night.RetryTries
                || !Reconnect(item, QStringLiteral("taking %1 again").arg(frame.FileName))) {
                keepSpoilt();
                if (Stopping())
                    return Shot::Aborted;
                throw Error(QStringLiteral("Gave up on %1 after %2 tries: %3").arg(frame.FileName).arg(night.RetryTries).arg(e.message()));
            }
            Status(QStringLiteral("Exposing ") + frame.FileName);
        }
    }
}

void SequenceRun::Tell(FrameEvent::Kind what, const Frame& frame, const TSequenceItem& item) const
{
    FrameEvent e;
    e.What = what;
    e.FileName = frame.FileName;
    e.Path = frame.Path;
    const QStringList& names = m_host.RunFilterList();
    e.FilterName = item.Filter >= 0 && item.Filter < names.size() ? names.at(item.Filter) : QString();
    e.Exposure = item.Exposure;
    e.Binning = item.Binning;
    e.Pass = frame.Pass;
    e.Item = frame.Item;
    e.Frame = frame.Number;
    e.Repeat = item.Repeat;
    e.Utc = m_waiter.NowUtc();
    m_host.RunFrameEvent(e);
}

void SequenceRun::ReportFailure(const Error& error)
{
    if (dynamic_cast<const StopRequestedError*>(&error) && Stopping())
        return;   // Stop cut a request short: that is the stop, not a failure
    m_log.Failure(error.message(), MsgBox::ErrorOk);
}
