#include "camera/simulator/PendingFrame.h"

#include "platform/PixelWorker.h"

PendingFrame::PendingFrame(std::shared_ptr<const StarField> field, const FrameSpec& spec)
    : m_field(std::move(field)), m_spec(spec)
{
}

std::shared_ptr<PendingFrame> PendingFrame::Start(std::shared_ptr<const StarField> field, const FrameSpec& spec)
{
    auto frame = std::make_shared<PendingFrame>(std::move(field), spec);
    // Ahead of previews: the save that follows must find it done.
    PixelWorker::Run([frame] { frame->render(); }, PixelWorker::Save);
    return frame;
}

void PendingFrame::render()
{
    {
        QMutexLocker lock(&m_mutex);
        if (m_taken)
            return;
    }
    std::vector<uint16_t> pixels = m_field->Render(m_spec);
    QMutexLocker lock(&m_mutex);
    if (!m_taken) {
        m_pixels = std::move(pixels);
        m_ready = true;
    }
}

std::vector<uint16_t> PendingFrame::Take()
{
    {
        QMutexLocker lock(&m_mutex);
        const bool ready = m_ready && !m_taken;
        m_taken = true;
        m_ready = false;
        if (ready)
            return std::move(m_pixels);
    }
    return m_field->Render(m_spec);
}

void PendingFrame::Cancel()
{
    QMutexLocker lock(&m_mutex);
    m_taken = true;
    m_ready = false;
    m_pixels = std::vector<uint16_t>();
}
