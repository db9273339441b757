#pragma once
// ImageView: shows the last frame's stretched image, fit to the view or at
// 1:1 (one image pixel per screen pixel) with scroll bars and dragging.
// Painting draws only what is visible, from images made off the UI thread,
// so a 61-megapixel frame costs a paint no more than a small one.
#include <QAbstractScrollArea>
#include <QImage>
#include <QPoint>

class ImageView : public QAbstractScrollArea {
    Q_OBJECT
public:
    explicit ImageView(QWidget* parent = nullptr);

    // `full` at its own size, `fit` already scaled to the view (either may
    // be null: nothing to show).
    void SetImages(const QImage& full, const QImage& fit);
    void SetOneToOne(bool oneToOne);
    bool OneToOne() const { return m_oneToOne; }
    const QImage& FullImage() const { return m_full; }
    const QImage& FitImage() const { return m_fit; }

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;

private:
    void updateScrollBars();

    QImage m_full;
    QImage m_fit;
    bool m_oneToOne = false;
    QPoint m_dragFrom;
};
