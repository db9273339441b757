#pragma once
// RunHost: what run control needs of the window: the Start and Stop buttons,
// the run status line and the sequence grid's selected row.
#include <QString>

class RunHost {
public:
    virtual ~RunHost() = default;
    virtual void SetStartEnabled(bool enabled) = 0;
    virtual void SetStopEnabled(bool enabled) = 0;
    // The run status line on the Sequence page.
    virtual void SetRunStatusText(const QString& text) = 0;
    // Row 0 is the grid's heading; row 1 the first item.
    virtual void SelectGridRow(int row) = 0;
};
