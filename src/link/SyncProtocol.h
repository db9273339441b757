#pragma once
// SyncProtocol: the messages of the link's extension, by which a second PC
// reports back and the main PC holds its dithers for it. The three bare
// commands ("Expose n", "Abort", "End", no terminator) stay what they are; a
// main PC sends anything else only to a peer that greeted it, and only after
// answering the greeting. Every message of the extension is one line of
// ASCII ending in "\n" (LineReader), at most LineReader::MaxLineBytes long.
//
// Second PC -> main PC (a main PC without the extension reads and drops them):
//   "Tandexa sync 1"             greeting, sent on connecting
//   "Run started", "Run ended"
//   "Frame started <s> <ms>"     exposure seconds, ms until it should end
//   "Frame saved" | "Frame skipped" | "Frame aborted" | "Frame failed"
//   "Held"                       answer to "Hold": no frame starts from now
//                                on until the next "Expose"
// Main PC -> a second PC that greeted (after the answer, only framed lines):
//   "Tandexa sync 1"             answer to the greeting: lines from here on
//   "Tandexa sync 0"             back to the bare commands (extension off)
//   "Expose <s> <place>"         an item starts (the bare "Expose n" plus the place)
//   "Frame <place>"              a main frame starts
//   "Hold"                       the main PC is about to dither
//   "Abort", "End"               as the bare commands
// where <place> is "window=<ms> pass=<n> item=<row> frame=<n> dithers=<n>":
// the ms until the main PC's next dither, the pass, item row and frame it is
// at, and the dithers of its run so far. Unknown words are ignored, so
// later versions may add fields.
#include <QByteArray>
#include <QByteArrayView>
#include <QtGlobal>

namespace SyncProtocol {

inline constexpr char Greeting[] = "Tandexa sync 1";
inline constexpr char Leave[] = "Tandexa sync 0";

// Where the main PC's run is, as "Expose" and "Frame" carry it.
struct Place {
    qint64 WindowMs = -1;   // ms until the next dither; -1 not known
    qint64 Pass = 0;
    qint64 Item = 0;        // grid row, from 1
    qint64 Frame = 0;       // frame within the item, from 1 (0 before the first)
    qint64 Dithers = 0;
};

QByteArray PlaceText(const Place& place);
// Reads the fields it knows from `words`; anything else is skipped.
Place ParsePlace(QByteArrayView words);
// `line` starts with `verb` followed by a blank or the end; `rest` is what follows the blank.
bool Verb(QByteArrayView line, QByteArrayView verb, QByteArrayView* rest = nullptr);

} // namespace SyncProtocol
