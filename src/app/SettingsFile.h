#pragma once
// The settings file Tandexa.ini in the program's directory, section "Setup":
// "MainCCD" (the role, "1" main PC, "0" second PC; default main PC), and
// "Top"/"Left" (the main window's position; default 100, 100).
// Reads never fail: a file that cannot be read (too large, not a regular
// file) is reported in the standard error box and gives the defaults. Writes
// throw Error("Unable to write to ...") or the size error, and keep the file.
#include <QPoint>
#include <QString>

class SettingsFile {
public:
    static QString Path();
    static bool ReadIsMainPC();
    static void WriteIsMainPC(bool isMainPC);
    // x = "Left", y = "Top".
    static QPoint ReadPosition();
    // Writes "Top" first, then "Left".
    static void WritePosition(const QPoint& topLeft);
};
