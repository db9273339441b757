#pragma once
// RunProgress: what the run is doing and how far it has come, for the
// progress display: the phase (exposing, downloading, saving, waiting for
// the main PC, ...), the exposure's elapsed and remaining time, the frame k
// of n, the item and the pass, and an estimate of when the sequence ends.
//
// It follows the run from the outside: the frame events, the start of each
// save and the run's status texts. The estimate adds up what is left of the
// sequence (read afresh each time, as the run reads it): every remaining
// frame's exposure plus the time per frame measured so far beyond the
// exposure (readout, download, saving), and on the main PC each item's
// delay. Dithering and the second PC's waits are not foreseeable and are
// not counted. Logic only: no widgets, no timers; the caller gives the time.
#include "run/FrameEvent.h"

#include <QDateTime>
#include <QString>

class TSequence;

class RunProgress {
public:
    enum class Phase { Idle, Changing, Exposing, Downloading, Saving, Waiting, Delay, Dithering };

    explicit RunProgress(bool isMainPC) : m_isMainPC(isMainPC) {}

    void FrameEvent(const ::FrameEvent& event);
    void ImageSaving();
    void StatusText(const QString& text);

    Phase PhaseAt(const QDateTime& now) const;
    // Exposure milliseconds gone and in all (0, 0 outside an exposure).
    qint64 ElapsedMs(const QDateTime& now) const;
    qint64 ExposureMs() const { return m_exposing ? qint64(m_frame.Exposure) * 1000 : 0; }
    // "Exposing 12 s of 60 s, 48 s left", "Downloading", "Saving",
    // "Waiting for the main PC", "Delay", ...; empty when idle.
    QString PhaseText(const QDateTime& now) const;
    // "Frame 2 of 5, item 1 (Red), pass 1 of 3"; empty before the first frame.
    QString FrameText(const TSequence& sequence) const;
    // When the sequence should end; invalid while idle.
    QDateTime EstimatedEnd(const QDateTime& now, const TSequence& sequence) const;
    // "Ends about 23:45 (in 1 h 05 min)" in local time; empty while idle.
    QString EndText(const QDateTime& now, const TSequence& sequence) const;
    // Seconds a frame has taken beyond its exposure, on average (0 before
    // the first saved frame).
    double OverheadSeconds() const { return m_samples ? m_overheadSum / m_samples : 0.0; }

    static QString Duration(qint64 seconds);

private:
    double secondsLeftAfterFrame(const TSequence& sequence) const;

    const bool m_isMainPC;
    ::FrameEvent m_frame;        // the last frame started
    bool m_haveFrame = false;
    bool m_exposing = false;     // started, not yet saved, aborted or failed
    bool m_saving = false;
    Phase m_status = Phase::Idle;   // from the status texts
    QString m_statusText;
    double m_overheadSum = 0.0;
    int m_samples = 0;
};
