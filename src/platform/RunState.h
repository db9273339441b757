#pragma once
// RunState: the flags a run shares with the window, the peer link and the
// sequence editor. One instance, owned by the main window; everything runs on
// the UI thread, so these are plain values without locks.
struct RunState {
    bool Running = false;         // a sequence run is in progress
    bool StopRequested = false;   // Stop pressed or "Abort" arrived; cleared when a run starts
    bool ExposeReceived = false;  // second PC: an "Expose" arrived and is not yet consumed
    int ExposeSeconds = 0;        // second PC: the number of the last "Expose"
};
