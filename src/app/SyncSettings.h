#pragma once
// SyncSettings: the main PC's options for second PCs that report back, in
// section "Sync" of Tandexa.ini:
//   "HoldDither"  1: hold each dither until the second cameras finish their
//                 frames, and everything that goes with it (the second PCs
//                 fill the time between dithers, keywords, the night's
//                 record); 0 (default): the link as without it;
//   "HoldMargin"  seconds a second camera may run past the end it announced
//                 before the main PC dithers anyway (default 60, 0 to 3600).
// Reads never fail (a file that cannot be read gives the defaults); a write
// throws Error("Unable to write to ...").
class SyncSettings {
public:
    bool HoldDither = false;
    int HoldMargin = 60;

    static SyncSettings Read();
    static void WriteHoldDither(bool on);
};
