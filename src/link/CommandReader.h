#pragma once
// CommandReader: turns the bytes the second PC receives from the main PC into
// the run flags. The wire carries bare ASCII commands with no terminator:
// "Expose" + " " + n, "Abort" and "End".
//
// The bytes are read as a stream, not one read event per command, because TCP
// keeps no message boundaries: two commands written back to back arrive in
// one read, and a command may arrive in two. The received text is cut at every
// occurrence of "Expose", "Abort" and "End" (case-sensitive); each piece runs
// from its keyword to the next keyword and is judged on its own:
//   - a piece starting with "Expose": ExposeReceived := true; its 7th
//     character is skipped, whatever it is, and the next (at most 255)
//     characters are converted by ParseExposeNumber; ExposeSeconds := that
//     number, or 0 when it does not convert;
//   - a piece that is exactly "End": ExposeReceived := false;
//   - a piece that is exactly "Abort": ExposeReceived := false and
//     StopRequested := true;
//   - anything else ("End\r\n", "abort", text before the first keyword) is
//     ignored without a message.
//
// When a piece is acted on: at once, the last one of a read included, so an
// "Expose" takes effect the moment its bytes arrive (the main PC writes each
// command with one write on a connection with Nagle's algorithm off, so a
// command normally arrives whole). Two things cover a command cut by the
// network:
//   - a read that ends in a proper prefix of a keyword ("Exp", "Ab", "En")
//     holds those bytes back until the next read (unless they lie inside the
//     number window of a trailing "Expose" and complete a valid hexadecimal
//     number there, as in "Expose $1E"; past the window they are held);
//   - the last "Expose" piece stays open: bytes of the next read that come
//     before any keyword continue it, and ExposeSeconds is converted again
//     from the longer piece ("Expose 3" then "0" ends with 30).
// So however a stream is cut into reads, the flags end as when it arrives
// in one read, except for the "End"/"Abort" case below.
// Trade-off: between such reads the run may already have consumed the flag
// with the shorter number; waiting for the next keyword instead would hold
// every "Expose" until the next command, a whole item later. "End" and
// "Abort" cannot be taken back, so they are acted on once complete: "End"
// and then "\r\n" in a later read counts as "End", while "End\r\n" in one read
// is ignored.
//
// Time: linear in the bytes of a read (all keywords are found in one pass),
// so a peer flooding keywords cannot stall the window.
//
// Memory: the reader never holds more than MaxHeldBytes (an open "Expose"
// piece up to the end of its number window plus a keyword prefix), whatever
// the peer sends.
#include "platform/RunState.h"

#include <QByteArray>
#include <QByteArrayView>

class CommandReader {
public:
    explicit CommandReader(RunState& state) : m_state(state) {}

    // Handles the bytes of one read event (any length).
    void Feed(QByteArrayView data);
    // Drops held bytes, e.g. when the connection is closed: a new connection
    // starts a new stream.
    void Reset()
    {
        m_open.clear();
        m_held.clear();
    }
    // Bytes kept for the next read (at most MaxHeldBytes).
    qsizetype HeldBytes() const { return m_open.size() + m_held.size(); }

    static constexpr qsizetype MaxNumberChars = 255;
    // "Expose", the separator, the number window and a 5-byte keyword prefix.
    static constexpr qsizetype MaxHeldBytes = 6 + 1 + MaxNumberChars + 5;

private:
    void HandlePiece(QByteArrayView piece);

    RunState& m_state;
    QByteArray m_open; // the last "Expose" piece, already acted on
    QByteArray m_held; // a possible keyword start at the end of the last read
};
