#include "run/SequenceRun.h"

#include "camera/ICamera.h"
#include "camera/IDocument.h"
#include "camera/ImageSave.h"
#include "platform/Error.h"
#include "platform/MessageBox.h"
#include "platform/RunState.h"
#include "run/FrameName.h"
#include "run/RunHost.h"
#include "run/RunSteps.h"
#include "run/RunWaiter.h"
#include "sequence/TSequence.h"

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
    Camera().SetFilter(item.Filter);
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

bool SequenceRun::StartExposure(const TSequenceItem& item) const
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
    } catch (const Error& e) {
        m_host.RunMessageBox(e.message(), QStringLiteral("Error"), MsgBox::WarningOk);
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

void SequenceRun::SaveFrame(const Frame& frame, const QVariantMap& keys) const
{
    ICamera& camera = Camera();
    std::shared_ptr<IDocument> document = camera.Document();
    document->SetDisplayName(frame.FileName);
    for (auto key = keys.begin(); key != keys.end(); ++key)
        document->SetFITSKey(key.key(), key.value());
    m_host.RunImageSaving(frame.Path);
    // Written on the pixel worker; the run sleeps for events meanwhile, so
    // Stop, socket reads and timers go on being handled. A stop does not cut
    // the save short: the image is kept.
    const std::shared_ptr<ImageSave> save = camera.StartSaveImage(frame.Path, SaveMode::Replace);
    while (!save->IsFinished())
        m_waiter.WaitForEvents();
    save->Result();
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

void SequenceRun::ReportFailure(const Error& error) const
{
    m_host.RunMessageBox(error.message(), QStringLiteral("Error"), MsgBox::ErrorOk);
}
