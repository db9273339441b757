#pragma once
// NightOptions: what a run does when nobody is at the window, all off by
// default (the run then behaves exactly as without them). Kept in the
// settings file Tandexa.ini, section "Night":
//  "Retry"             1: when the camera or its server fails during a frame,
//                      connect again (RetryTries times, waiting RetryPause
//                      seconds before the second try and twice as long before
//                      each further one, at most 10 minutes), retake the frame
//                      under the same name and go on; when the guider is
//                      lost, wait for it up to GuiderWait minutes, then go on
//                      without dithering (GuiderLost=Continue) or stop
//                      (GuiderLost=Stop);
//  "RetryTries"        1..100, default 5;
//  "RetryPause"        seconds, 1..3600, default 10;
//  "GuiderWait"        minutes, 1..1440, default 10;
//  "GuiderLost"        "Continue" (default) or "Stop";
//  "NoBoxes"           1: a failure during a run goes to the night's record
//                      and the status line instead of a box, and a question
//                      nobody answers takes the safe answer (an existing file
//                      is never replaced);
//  "RetakeLostGuiding" 1: a frame during which guiding was interrupted is
//                      taken again once guiding is back (it is marked in its
//                      header either way).
// A missing or unusable value reads as its default.
#include <QString>

class IniFile;

struct NightOptions {
    enum class GuiderLostAction { Continue, Stop };

    bool Retry = false;
    int RetryTries = 5;
    int RetryPauseSeconds = 10;
    int GuiderWaitMinutes = 10;
    GuiderLostAction GuiderLost = GuiderLostAction::Continue;
    bool NoBoxes = false;
    bool RetakeLostGuiding = false;

    // Whether the run keeps the night's record at all.
    bool AnyOn() const { return Retry || NoBoxes || RetakeLostGuiding; }
    // Milliseconds to wait before reconnect try `attempt` (from 1; 0 for the first).
    qint64 PauseBeforeTryMs(int attempt) const;

    static NightOptions FromIni(const IniFile& ini);
    // Writes every key; throws Error("Unable to write to ...") like any write.
    void Write(IniFile& ini) const;
};
