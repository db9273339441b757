#pragma once
// PreviewWorker: makes the previews of saved frames on the pixel worker and
// hands them back on the UI thread (Ready), one frame at a time in the order
// asked. Every frame gets its figures; the stretched images are made only
// for the newest frame asked for (a frame that another has overtaken in the
// queue is measured but not drawn), so a fast run never piles up images.
// At most one frame's pixels are in memory for previews at any time.
#include "image/FramePreview.h"

#include <QObject>
#include <QSize>
#include <QStringList>

class PreviewWorker : public QObject {
    Q_OBJECT
public:
    explicit PreviewWorker(QObject* parent = nullptr);
    // Waits for a preview still being made (it posts back to this object).
    ~PreviewWorker() override;

    void Request(const QString& path, QSize fitSize);
    bool Busy() const { return m_busy; }

signals:
    // `drawn` false: Full and Fit were left out (a newer frame was waiting).
    void Ready(const FramePreview& preview, bool drawn);

private:
    void startNext();

    QStringList m_queue;
    QSize m_fitSize;
    bool m_busy = false;
};
