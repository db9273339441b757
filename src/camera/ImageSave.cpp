#include "camera/ImageSave.h"

#include "camera/AutomationError.h"
#include "platform/PixelWorker.h"

std::shared_ptr<ImageSave> ImageSave::Start(std::function<void()> write)
{
    auto save = std::make_shared<ImageSave>();
    PixelWorker::Run([save, write = std::move(write)] {
        std::exception_ptr error;
        try {
            write();
        } catch (const AutomationError&) {
            error = std::current_exception();
        } catch (const Error& e) {
            error = std::make_exception_ptr(AutomationError(e.message()));
        } catch (const std::bad_alloc&) {
            error = std::make_exception_ptr(AutomationError(QStringLiteral("Unable to save image: not enough memory")));
        } catch (const std::exception& e) {
            error = std::make_exception_ptr(AutomationError(QString::fromLocal8Bit(e.what())));
        }
        save->finish(error);
        PixelWorker::WakeUiThread();
    }, PixelWorker::Save);
    return save;
}

std::shared_ptr<ImageSave> ImageSave::Done()
{
    auto save = std::make_shared<ImageSave>();
    save->finish(nullptr);
    return save;
}

void ImageSave::finish(std::exception_ptr error)
{
    {
        QMutexLocker lock(&m_mutex);
        m_error = std::move(error);
    }
    m_finished.store(true, std::memory_order_release);
}

void ImageSave::Result() const
{
    QMutexLocker lock(&m_mutex);
    if (m_error)
        std::rethrow_exception(m_error);
}
