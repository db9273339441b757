#pragma once
// FrameHistoryTable: the night's frames, one row each as it is saved: file,
// UTC time (the exposure's start when the file says it), filter, exposure,
// background, stars and HFR; the figures follow when the frame has been
// measured ("..." until then, "-" when it could not be read). A plain table
// of texts, so a screen reader reads every cell. The newest row is last and
// kept in view.
#include <QTableWidget>

struct FrameEvent;
struct FramePreview;

class FrameHistoryTable : public QTableWidget {
    Q_OBJECT
public:
    enum Column { File, Time, Filter, Exposure, Background, Stars, Hfr, Columns };

    explicit FrameHistoryTable(QWidget* parent = nullptr);

    // A saved frame; its figures come later through SetFigures.
    void AddFrame(const FrameEvent& saved);
    // The figures of the newest row saved at preview.Path.
    void SetFigures(const FramePreview& preview);

    QString Text(int row, Column column) const;
};
