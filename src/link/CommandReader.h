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
// When a piece is acted on: every piece is acted on as soon as it is in hand,
// the last one of a read included. Only a read that ends in a proper prefix of
// a keyword ("Exp", "Ab", "En") holds those few bytes back for the next read.
// Trade-off: a number cut by the network between two reads ("Expose 3" then
// "0") is taken as it stands (3) and the continuation is ignored as stray
// text. The main PC writes each command with a single write on a connection
// with Nagle's algorithm off, so a command of at most 18 bytes leaves in one
// segment and such a cut does not happen in practice; waiting for the next
// keyword instead would hold every "Expose" until the next command arrived,
// which is a whole item later. A held prefix that would complete a valid
// hexadecimal number ("Expose $1E") is taken as part of the number.
//
// Memory: the reader never holds more than a keyword's length minus one
// (at most 5 bytes), whatever the peer sends.
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
    void Reset() { m_held.clear(); }
    // Bytes held back as a possible start of a keyword (at most 5).
    qsizetype HeldBytes() const { return m_held.size(); }

    static constexpr qsizetype MaxNumberChars = 255;

private:
    void HandlePiece(QByteArrayView piece);

    RunState& m_state;
    QByteArray m_held;
};
