#pragma once
// SetupFile: the Setup page's record, without the page: the setup file's
// name, the main PC's address and the port it holds (section "Setup",
// "Ip2Address" then "IpPort"), and the two editor flags. The window moves
// values between this record and its boxes and dialogs; the rules live here.
//
// Loading is true from construction until the first load has put its values
// into the boxes, and again during every later load: the boxes' change
// handler then takes nothing. Changed is set by every edit taken and cleared
// by a save (and by the window when it is first shown).
#include <QString>

class SetupFile {
public:
    QString FileName;     // SetupFileName: the file last loaded or saved
    QString PeerAddress;  // "Ip2Address", default empty; not validated
    int PeerPort = 0;     // "IpPort", default 0
    bool Loading = true;  // LoadingSetup
    bool Changed = false; // SetupChanged

    // Reads `path` into the fields; a missing file or key gives the default.
    // FileName becomes the path. A file that exists but cannot be read (too
    // large, not a regular file) throws Error naming it, and no field
    // changes. Leaves Loading to the caller.
    void Load(const QString& path);

    // Writes "Ip2Address" and then "IpPort" to FileName and clears Changed.
    // Throws Error("Unable to write to <path>"); Changed then stays set.
    void Save();

    // The boxes' change rule: each non-empty text replaces its field, in the
    // order file name, address, port; the port text converts as an integer
    // (decimal, or hexadecimal after "0x" or "$"). Nothing happens while
    // Loading (returns false). A port that does not convert throws
    // Error("'<text>' is not a valid integer value") after the other two were
    // taken, and Changed is then not set. Returns true when the edit was taken.
    bool TakeEdits(const QString& fileText, const QString& addressText, const QString& portText);
};
