#include "app/ImageView.h"

#include <QMouseEvent>
#include <QPainter>
#include <QScrollBar>

ImageView::ImageView(QWidget* parent) : QAbstractScrollArea(parent)
{
    setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    updateScrollBars();
}

void ImageView::SetImages(const QImage& full, const QImage& fit)
{
    // Keep the 1:1 view where it was when the new frame has the same size.
    const bool sameSize = full.size() == m_full.size();
    m_full = full;
    m_fit = fit;
    updateScrollBars();
    if (!sameSize) {
        horizontalScrollBar()->setValue(horizontalScrollBar()->maximum() / 2);
        verticalScrollBar()->setValue(verticalScrollBar()->maximum() / 2);
    }
    viewport()->update();
}

void ImageView::SetOneToOne(bool oneToOne)
{
    if (oneToOne == m_oneToOne)
        return;
    m_oneToOne = oneToOne;
    updateScrollBars();
    horizontalScrollBar()->setValue(horizontalScrollBar()->maximum() / 2);
    verticalScrollBar()->setValue(verticalScrollBar()->maximum() / 2);
    viewport()->update();
}

void ImageView::updateScrollBars()
{
    const QSize view = viewport()->size();
    const QSize image = m_oneToOne ? m_full.size() : QSize();
    horizontalScrollBar()->setRange(0, std::max(0, image.width() - view.width()));
    verticalScrollBar()->setRange(0, std::max(0, image.height() - view.height()));
    horizontalScrollBar()->setPageStep(view.width());
    verticalScrollBar()->setPageStep(view.height());
}

void ImageView::resizeEvent(QResizeEvent* event)
{
    QAbstractScrollArea::resizeEvent(event);
    updateScrollBars();
}

void ImageView::paintEvent(QPaintEvent*)
{
    QPainter painter(viewport());
    const QRect view = viewport()->rect();
    painter.fillRect(view, Qt::black);   // the night sky around an image that does not fill the view
    if (m_oneToOne && !m_full.isNull()) {
        // Only the visible part of the full image is drawn; a smaller image is centred.
        const int x = horizontalScrollBar()->value(), y = verticalScrollBar()->value();
        const QRect source = QRect(x, y, view.width(), view.height()).intersected(m_full.rect());
        const QPoint at((view.width() - std::min(view.width(), m_full.width())) / 2,
                        (view.height() - std::min(view.height(), m_full.height())) / 2);
        painter.drawImage(at, m_full, source);
    } else if (!m_fit.isNull()) {
        QSize size = m_fit.size();
        size.scale(view.size(), Qt::KeepAspectRatio);
        if (m_fit.width() <= view.width() && m_fit.height() <= view.height())
            size = m_fit.size();   // made for this view: no scaling at paint time
        const QRect target(QPoint((view.width() - size.width()) / 2, (view.height() - size.height()) / 2), size);
        painter.drawImage(target, m_fit);
    }
}

void ImageView::mousePressEvent(QMouseEvent* event)
{
    m_dragFrom = event->position().toPoint();
}

void ImageView::mouseMoveEvent(QMouseEvent* event)
{
    if (!m_oneToOne || !(event->buttons() & Qt::LeftButton))
        return;
    const QPoint now = event->position().toPoint();
    const QPoint moved = now - m_dragFrom;
    m_dragFrom = now;
    horizontalScrollBar()->setValue(horizontalScrollBar()->value() - moved.x());
    verticalScrollBar()->setValue(verticalScrollBar()->value() - moved.y());
}
