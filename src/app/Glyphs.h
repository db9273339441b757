#pragma once
// Glyphs: the 16 x 16 pictures of the buttons and the two role icons, drawn
// in code. QIcon derives the greyed twin for the disabled state itself.
#include <QIcon>

class Glyphs {
public:
    static QIcon OpenFolder();
    static QIcon Diskette();
    static QIcon Play();
    static QIcon Pause();
    static QIcon Link();
    static QIcon RedCross();
    static QIcon Gears();
    static QIcon StopSquare();
    static QIcon GreenTick();
    // A white digit filling a dark cyan square: 1 for the main PC, 2 for the second.
    static QIcon RoleIcon(int digit);
};
