#include "app/ImagePage.h"

#include "app/FrameHistoryTable.h"
#include "app/ImageView.h"
#include "app/PreviewWorker.h"
#include "image/FramePreview.h"
#include "platform/PixelWorker.h"
#include "run/FrameEvent.h"
#include "sequence/TSequence.h"

#include <QButtonGroup>
#include <QFileInfo>
#include <QLabel>
#include <QProgressBar>
#include <QToolButton>

namespace {
QLabel* label(QWidget* parent, const char* name, const QRect& where)
{
    auto* l = new QLabel(parent);
    l->setObjectName(QLatin1String(name));
    l->setGeometry(where);
    return l;
}

QProgressBar* bar(QWidget* parent, const char* name)
{
    auto* b = new QProgressBar(parent);
    b->setObjectName(QLatin1String(name));
    b->setRange(0, 1);
    b->setValue(0);
    b->setTextVisible(true);
    b->setFormat(QString());
    return b;
}

QString number(double v, int decimals) { return QString::number(v, 'f', decimals); }
}

ImagePage::ImagePage(bool isMainPC, std::function<const TSequence&()> sequence, QWidget* parent)
    : QWidget(parent), m_progress(isMainPC), m_sequence(std::move(sequence))
{
    m_view = new ImageView(this);
    m_view->setObjectName(QStringLiteral("ImageView"));
    m_view->setGeometry(4, 4, 232, 174);
    m_view->setAccessibleName(QStringLiteral("Last image"));

    const int x = 244, w = 208;
    m_file = label(this, "ImageFileLabel", {x, 2, w, 15});
    QFont bold = m_file->font();
    bold.setBold(true);
    m_file->setFont(bold);
    m_file->setText(QStringLiteral("No image yet"));
    m_details = label(this, "ImageDetailsLabel", {x, 18, w, 15});
    m_time = label(this, "ImageTimeLabel", {x, 33, w, 15});
    m_background = label(this, "ImageBackgroundLabel", {x, 51, w, 15});
    m_stars = label(this, "ImageStarsLabel", {x, 66, w, 15});
    for (QLabel* l : {m_details, m_background})
        l->setWordWrap(false);

    m_fitButton = new QToolButton(this);
    m_fitButton->setObjectName(QStringLiteral("FitButton"));
    m_fitButton->setText(QStringLiteral("Fit"));
    m_fitButton->setGeometry(x, 86, 48, 21);
    m_oneToOneButton = new QToolButton(this);
    m_oneToOneButton->setObjectName(QStringLiteral("OneToOneButton"));
    m_oneToOneButton->setText(QStringLiteral("1:1"));
    m_oneToOneButton->setGeometry(x + 52, 86, 48, 21);
    auto* group = new QButtonGroup(this);
    for (QToolButton* b : {m_fitButton, m_oneToOneButton}) {
        b->setCheckable(true);
        group->addButton(b);
    }
    m_fitButton->setChecked(true);
    connect(m_oneToOneButton, &QToolButton::toggled, m_view, &ImageView::SetOneToOne);

    m_phase = label(this, "ProgressPhaseLabel", {x, 114, w, 15});
    m_frame = label(this, "ProgressFrameLabel", {x, 129, w, 30});
    m_frame->setWordWrap(true);
    m_frame->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    m_end = label(this, "ProgressEndLabel", {x, 160, w, 15});

    m_bar = bar(this, "ExposureProgress");
    m_bar->setGeometry(4, 182, 448, 14);
    m_statusBar = bar(nullptr, "StatusBarProgress");
    m_statusBar->setFixedSize(110, 14);
    m_statusBar->setVisible(false);

    m_history = new FrameHistoryTable(this);
    m_history->setObjectName(QStringLiteral("FrameHistory"));
    m_history->setGeometry(4, 200, 448, 90);

    m_worker = new PreviewWorker(this);
    connect(m_worker, &PreviewWorker::Ready, this, &ImagePage::showPreview);

    m_tick.setInterval(250);
    connect(&m_tick, &QTimer::timeout, this, &ImagePage::updateProgress);
}

ImagePage::~ImagePage()
{
    // The status bar owns its copy once added; otherwise it is ours.
    if (m_statusBar && !m_statusBar->parent())
        delete m_statusBar;
}

void ImagePage::FrameEvent(const ::FrameEvent& event)
{
    m_progress.FrameEvent(event);
    if (event.What == ::FrameEvent::Kind::Saved) {
        m_history->AddFrame(event);
        // The view's inner size, right even before the page was first shown.
        m_worker->Request(event.Path, m_view->contentsRect().size());
    }
    updateProgress();
}

void ImagePage::ImageSaving(const QString&)
{
    m_progress.ImageSaving();
    updateProgress();
}

void ImagePage::RunStatus(const QString& text)
{
    m_progress.StatusText(text);
    updateProgress();
}

void ImagePage::updateProgress()
{
    const QDateTime now = QDateTime::currentDateTimeUtc();
    const RunProgress::Phase phase = m_progress.PhaseAt(now);
    const QString text = m_progress.PhaseText(now);
    const qint64 total = m_progress.ExposureMs();
    QList<QProgressBar*> bars {m_bar};
    if (m_statusBar)
        bars << m_statusBar;
    for (QProgressBar* b : bars) {
        if (phase == RunProgress::Phase::Exposing && total > 0) {
            b->setRange(0, int(total / 100));
            b->setValue(int(m_progress.ElapsedMs(now) / 100));
        } else {
            // Downloading and saving show a full bar; waiting and the rest an empty one.
            b->setRange(0, 1);
            b->setValue(phase == RunProgress::Phase::Downloading || phase == RunProgress::Phase::Saving ? 1 : 0);
        }
    }
    m_bar->setFormat(text);
    if (m_statusBar) {
        m_statusBar->setFormat(phase == RunProgress::Phase::Exposing
                                   ? QStringLiteral("%1 / %2 s").arg(m_progress.ElapsedMs(now) / 1000).arg(total / 1000)
                                   : text);
        m_statusBar->setVisible(phase != RunProgress::Phase::Idle);
    }
    // Assistive technology reads the bars by the text they show.
    for (QProgressBar* b : bars) {
        if (b->accessibleName() != b->format())
            b->setAccessibleName(b->format());
    }
    m_phase->setText(text);
    m_frame->setText(phase == RunProgress::Phase::Idle ? QString() : m_progress.FrameText(m_sequence()));
    m_end->setText(m_progress.EndText(now, m_sequence()));
    if (phase == RunProgress::Phase::Idle)
        m_tick.stop();
    else if (!m_tick.isActive())
        m_tick.start();
}

void ImagePage::showPreview(const FramePreview& preview, bool drawn)
{
    m_history->SetFigures(preview);
    if (!drawn) {
        emit PreviewShown(preview.Path);
        return;
    }
    m_file->setText(QFileInfo(preview.Path).fileName());
    if (!preview.Error.isEmpty()) {
        m_view->SetImages(QImage(), QImage());
        m_details->setText(QString());
        m_time->setText(QString());
        m_background->setText(QStringLiteral("Cannot be shown:"));
        m_stars->setText(preview.Error);
        m_stars->setToolTip(preview.Error);
        emit PreviewShown(preview.Path);
        return;
    }
    m_stars->setToolTip(QString());
    // The last image's buffer (half a frame) is freed on the worker.
    QImage last = m_view->FullImage();
    m_view->SetImages(preview.Full, preview.Fit);
    PixelWorker::Release(std::move(last));
    QStringList details;
    if (!preview.Filter.isEmpty())
        details << preview.Filter;
    details << QStringLiteral("%1 s").arg(preview.Exposure, 0, 'g', 6);
    if (preview.BinX > 0)
        details << QStringLiteral("bin %1x%2").arg(preview.BinX).arg(preview.BinY);
    details << QStringLiteral("%1 x %2").arg(preview.Width).arg(preview.Height);
    m_details->setText(details.join(QStringLiteral(", ")));
    m_time->setText(preview.DateObs.isValid()
                        ? preview.DateObs.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss.zzz")) + QStringLiteral(" UTC")
                        : QString());
    const FrameFigures& f = preview.Figures;
    m_background->setText(QStringLiteral("Background %1, noise %2").arg(number(f.Background, 0), number(f.Noise, 1)));
    m_stars->setText(f.Stars ? QStringLiteral("Stars %1, HFR %2 px").arg(f.Stars).arg(number(f.Hfr, 2))
                             : QStringLiteral("Stars 0"));
    m_view->setAccessibleDescription(m_file->text());
    emit PreviewShown(preview.Path);
}
