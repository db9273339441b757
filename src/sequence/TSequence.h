#pragma once
// TSequence: what one run executes - the sequence parameters and the ordered
// item list - and its file (".seq", INI text, section "Sequence").
//
// The fields are public: the editor writes all of them, the runs read them
// afresh at each step and the main run advances StartIteration. Items are held
// by value; a run that needs an item across waits copies it first, because the
// editor may change or remove items while a run pumps messages.
#include "sequence/Decimal4.h"
#include "sequence/TSequenceItem.h"

#include <QList>
#include <QString>

class TSequence {
public:
    explicit TSequence(const QString& fileName = QString());

    // "C:\" on Windows, the home directory with a trailing "/" elsewhere.
    static QString DefaultDestDir();
    // The sequence file the editor loads at start-up, in the program directory.
    static const QString DefaultFileName;

    QString FileName;          // full path of the file last loaded or chosen for saving
    QString ImgFileName;       // prefix of the image file names
    QString DestDir;           // directory the images are saved into
    int Iterations = 0;        // passes over the items, numbered from 1
    int StartIteration = 0;    // the pass a run starts with
    int DelayFrame = 0;        // seconds after each item (main PC)
    Decimal4 PixelDither;      // dithering amplitude in pixels; 0 means none
    Decimal4 WhileGuideError;  // after a dither, wait while the guide error exceeds this
    bool AllowList = false;    // second PC: expose without waiting for each start
    QList<TSequenceItem> Items;

    // Item numbers (from 0) whose line the last Load could not read in full;
    // such an item is kept with the fields that did read, zeros for the rest
    // and an empty suffix (so its Repeat of 0 takes no frames unless read).
    QList<int> MalformedItems;

    void Clear();   // empties the item list

    // Reads fileName into the model and sets FileName to it. An absent file,
    // key or unparsable value gives the key's default (ImgFileName "Img",
    // DestDir "C:\" on Windows and the home directory elsewhere, Iterations,
    // StartIteration 1, DelayFrame 10, PixelDither and WhileGuideError 1,
    // AllowList false, Items 0). Nothing is validated. Throws only for a file
    // that is too large or not a regular file (SmallFile), and then before
    // anything changes.
    void Load(const QString& fileName);

    // Writes the whole model to FileName in one piece through a temporary file
    // and a rename, so the file holds exactly the current sequence and a
    // failure leaves the old file as it was. The text fields are quoted where
    // reading would otherwise change them, so every field reads back as it
    // was. The encoding (and byte-order mark) of the file replaced is kept: a
    // file written on Windows stays Windows-1252; a new file is UTF-8.
    // Throws Error("Unable to write to <FileName>...") when the file cannot be
    // written, when a text holds a line break, or when a character cannot be
    // stored in the encoding; nothing is written then. (ImgFileName and
    // DestDir read back whole up to IniFile::MaxValueLength characters; the
    // editor's fields take no more.)
    void Save() const;

    // The text Save writes, before encoding (CR LF line ends).
    QString FileText() const;

    // The longest item count Load accepts; larger counts in a damaged file
    // are cut here so a stray number cannot exhaust memory.
    static constexpr int MaxItems = 100000;
};
