#include "app/PreviewWorker.h"

#include "platform/PixelWorker.h"

#include <QMetaObject>

PreviewWorker::PreviewWorker(QObject* parent) : QObject(parent) {}

PreviewWorker::~PreviewWorker()
{
    if (m_busy)
        PixelWorker::WaitForIdle();
}

void PreviewWorker::Request(const QString& path, QSize fitSize)
{
    m_queue.append(path);
    m_fitSize = fitSize;
    if (!m_busy)
        startNext();
}

void PreviewWorker::startNext()
{
    if (m_queue.isEmpty())
        return;
    const QString path = m_queue.takeFirst();
    const bool draw = m_queue.isEmpty();
    m_busy = true;
    PixelWorker::Run([this, path, draw, size = m_fitSize] {
        FramePreview preview = FramePreview::Make(path, size, draw, &PixelWorker::Yield);
        QMetaObject::invokeMethod(this, [this, preview = std::move(preview), draw] {
            m_busy = false;
            emit Ready(preview, draw);
            startNext();
        }, Qt::QueuedConnection);
    }, PixelWorker::Preview);
}
