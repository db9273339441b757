#pragma once
// ImagePage: the "Image" page of the main window. It shows the last frame
// this PC saved (stretched for the eye, fit to the view or 1:1) with its file
// name, filter, exposure, binning, time and figures; the run's progress (the
// exposure's elapsed and remaining time on a bar, downloading, saving, the
// wait for the main PC, frame k of n, item, pass, estimated end); and the
// table of the night's frames with their figures.
//
// It follows the runs from outside, through what the window passes on: the
// frame events, the start of each save and the run status texts. Frames are
// read back from their files and measured on the pixel worker; nothing here
// touches the run or its flags.
#include "app/RunProgress.h"

#include <QPointer>
#include <QProgressBar>
#include <QTimer>
#include <QWidget>
#include <functional>

class QLabel;
class QToolButton;
class FrameHistoryTable;
class ImageView;
class PreviewWorker;
class TSequence;
struct FramePreview;

class ImagePage : public QWidget {
    Q_OBJECT
public:
    // `sequence` gives the editor's sequence at each call (for the estimate).
    ImagePage(bool isMainPC, std::function<const TSequence&()> sequence, QWidget* parent = nullptr);
    ~ImagePage() override;

    void FrameEvent(const ::FrameEvent& event);
    void ImageSaving(const QString& path);
    void RunStatus(const QString& text);

    // A small copy of the progress bar for the window's status bar.
    QProgressBar* StatusBarProgress() const { return m_statusBar; }

    const RunProgress& Progress() const { return m_progress; }
    ImageView& View() const { return *m_view; }
    FrameHistoryTable& History() const { return *m_history; }
    PreviewWorker& Worker() const { return *m_worker; }

signals:
    // A frame's preview has been shown (or its failure).
    void PreviewShown(const QString& path);

private:
    void showPreview(const FramePreview& preview, bool drawn);
    void updateProgress();

    RunProgress m_progress;
    std::function<const TSequence&()> m_sequence;
    QTimer m_tick;
    ImageView* m_view;
    QToolButton* m_fitButton;
    QToolButton* m_oneToOneButton;
    QLabel* m_file;
    QLabel* m_details;
    QLabel* m_time;
    QLabel* m_background;
    QLabel* m_stars;
    QLabel* m_phase;
    QLabel* m_frame;
    QLabel* m_end;
    QProgressBar* m_bar;
    QPointer<QProgressBar> m_statusBar;   // owned by the status bar once added there
    FrameHistoryTable* m_history;
    PreviewWorker* m_worker;
};
