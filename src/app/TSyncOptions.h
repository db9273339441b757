#pragma once
// TSyncOptions: the main PC's check box "Hold dithering until the second
// cameras finish" (on the Setup page) and, in the status bar, how many second
// PCs are linked, with the last note of the dither guard. The check box shows
// and stores SyncSettings' "HoldDither" and switches the link's extension on
// and off at once; the margin comes from "HoldMargin". On the second PC the
// check box is disabled (a second PC follows whatever its main PC does) and
// the status bar says "Main PC holds its dithers for this camera" while
// linked to a main PC that does.
//
// The status label has no accessible name of its own: assistive technology
// reads its text, which changes with every peer that comes or goes.
#include <QWidget>

class PeerLink;
class QCheckBox;
class QLabel;
class QStatusBar;

class TSyncOptions : public QWidget {
    Q_OBJECT
public:
    // `page` is the parent the check box lives on; `bar` gets the status label.
    TSyncOptions(PeerLink& link, bool isMainPC, QStatusBar& bar, QWidget* page);

    QCheckBox& HoldBox() { return *m_hold; }
    QLabel& StatusLabel() { return *m_status; }

private:
    void HoldToggled(bool on);
    void ShowStatus();

    PeerLink& m_link;
    const bool m_isMainPC;
    QCheckBox* m_hold;
    QLabel* m_status;
};
