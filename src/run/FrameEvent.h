#pragma once
// FrameEvent: one step in the life of a frame of a run, as the runs tell the
// window (RunHost::RunFrameEvent) and, through it, whoever follows the run
// (preview, progress, the peer link, the night's record).
#include <QDateTime>
#include <QString>
#include <QtGlobal>

struct FrameEvent {
    enum class Kind {
        Started,   // the exposure was started
        Saved,     // the image was saved at Path
        Skipped,   // not taken: the file exists (or the user declined to replace it)
        Aborted,   // the exposure was aborted by a stop; nothing saved
        Failed,    // the exposure could not be started (the run goes on)
    };
    Kind What = Kind::Started;
    QString FileName;     // as the status line shows it
    QString Path;         // where the image is (or would be) saved
    QString FilterName;
    int Exposure = 0;     // seconds
    int Binning = 1;
    qint64 Pass = 0;      // the pass (iteration) number
    int Item = 0;         // the item's grid row, from 1
    qint64 Frame = 0;     // the frame within the item, from 1
    qint64 Repeat = 0;    // frames in the item
    QDateTime Utc;        // when it happened (RunWaiter::NowUtc)
};
