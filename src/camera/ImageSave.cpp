#include "camera/ImageSave.h"

#include "camera/AutomationError.h"
#include "platform/PixelWorker.h"

std::shared_ptr<ImageSave> ImageSave::Start(std::function<void()> write)
{
    auto save = std::make_shared<ImageSave>();
    PixelWorker::Run([save, write = std::move(write)] {
        std::optional<QString> error;
        try {
            write();
        } catch (const Error& e) {
            error = e.message();
        } catch (const std::bad_alloc&) {
            error = QStringLiteral("Unable to save image: not enough memory");
        } catch (const std::exception& e) {
            error = QString::fromLocal8Bit(e.what());
        }
        save->finish(error);
        PixelWorker::WakeUiThread();
    }, PixelWorker::Save);
    return save;
}

std::shared_ptr<ImageSave> ImageSave::Done()
{
    auto save = std::make_shared<ImageSave>();
    save->finish(std::nullopt);
    return save;
}

void ImageSave::finish(const std::optional<QString>& error)
{
    {
        QMutexLocker lock(&m_mutex);
        m_error = error;
    }
    m_finished.store(true, std::memory_order_release);
}

void ImageSave::Result() const
{
    QMutexLocker lock(&m_mutex);
    if (m_error)
        throw AutomationError(*m_error);
}
