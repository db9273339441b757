#include "app/RunProgress.h"

#include "sequence/TSequence.h"

#include <algorithm>
#include <cmath>

void RunProgress::FrameEvent(const ::FrameEvent& event)
{
    switch (event.What) {
    case ::FrameEvent::Kind::Started:
        m_frame = event;
        m_haveFrame = true;
        m_exposing = true;
        m_saving = false;
        m_status = Phase::Exposing;
        break;
    case ::FrameEvent::Kind::Saved:
        if (m_exposing && event.Path == m_frame.Path) {
            const double seconds = m_frame.Utc.msecsTo(event.Utc) / 1000.0 - m_frame.Exposure;
            m_overheadSum += std::max(0.0, seconds);
            ++m_samples;
        }
        [[fallthrough]];
    case ::FrameEvent::Kind::Aborted:
    case ::FrameEvent::Kind::Failed:
        m_exposing = false;
        m_saving = false;
        break;
    case ::FrameEvent::Kind::Skipped:
        break;
    }
}

void RunProgress::ImageSaving()
{
    if (m_exposing)
        m_saving = true;
}

void RunProgress::StatusText(const QString& text)
{
    m_statusText = text;
    if (text == QLatin1String("Camera Idle")) {
        m_status = Phase::Idle;
        m_exposing = m_saving = m_haveFrame = false;
    } else if (text == QLatin1String("Waiting for remote start...")) {
        m_status = Phase::Waiting;
    } else if (text == QLatin1String("Delay")) {
        m_status = Phase::Delay;
    } else if (text.startsWith(QLatin1String("Changing filter "))) {
        m_status = Phase::Changing;
    } else if (text == QLatin1String("Moving telescope") || text.startsWith(QLatin1String("Waiting for error correction"))) {
        m_status = Phase::Dithering;
    } else if (text.startsWith(QLatin1String("Exposing "))) {
        m_status = Phase::Exposing;
    }
}

RunProgress::Phase RunProgress::PhaseAt(const QDateTime& now) const
{
    if (m_exposing) {
        if (m_saving)
            return Phase::Saving;
        return ElapsedMs(now) >= ExposureMs() ? Phase::Downloading : Phase::Exposing;
    }
    return m_status == Phase::Exposing ? Phase::Changing : m_status;
}

qint64 RunProgress::ElapsedMs(const QDateTime& now) const
{
    if (!m_exposing)
        return 0;
    return std::clamp<qint64>(m_frame.Utc.msecsTo(now), 0, ExposureMs());
}

QString RunProgress::PhaseText(const QDateTime& now) const
{
    switch (PhaseAt(now)) {
    case Phase::Idle:
        return QString();
    case Phase::Exposing: {
        const qint64 elapsed = ElapsedMs(now) / 1000;
        return QStringLiteral("Exposing %1 s of %2 s, %3 s left")
            .arg(elapsed)
            .arg(m_frame.Exposure)
            .arg(m_frame.Exposure - elapsed);
    }
    case Phase::Downloading:
        return QStringLiteral("Downloading");
    case Phase::Saving:
        return QStringLiteral("Saving");
    case Phase::Waiting:
        return QStringLiteral("Waiting for the main PC");
    case Phase::Delay:
        return QStringLiteral("Delay");
    case Phase::Dithering:
        return QStringLiteral("Dithering");
    case Phase::Changing:
        return m_statusText.startsWith(QLatin1String("Changing filter ")) ? m_statusText : QString();
    }
    return QString();
}

QString RunProgress::FrameText(const TSequence& sequence) const
{
    if (!m_haveFrame)
        return QString();
    QString text = QStringLiteral("Frame %1 of %2, item %3").arg(m_frame.Frame).arg(m_frame.Repeat).arg(m_frame.Item);
    if (!m_frame.FilterName.isEmpty())
        text += QStringLiteral(" (%1)").arg(m_frame.FilterName);
    return text + QStringLiteral(", pass %1 of %2").arg(m_frame.Pass).arg(sequence.Iterations);
}

double RunProgress::secondsLeftAfterFrame(const TSequence& sequence) const
{
    const double overhead = OverheadSeconds();
    const double delay = m_isMainPC ? std::max(0, sequence.DelayFrame) : 0.0;
    const auto itemSeconds = [&](const TSequenceItem& item) {
        return std::max<qint64>(0, item.Repeat) * (std::max(0, item.Exposure) + overhead) + delay;
    };
    double left = 0.0;
    // The rest of this item, with its own copy's exposure and repeat.
    left += std::max<qint64>(0, m_frame.Repeat - m_frame.Frame) * (std::max(0, m_frame.Exposure) + overhead) + delay;
    const int items = int(sequence.Items.size());
    for (int k = std::max(0, m_frame.Item); k < items; ++k)
        left += itemSeconds(sequence.Items.at(k));
    double pass = 0.0;
    for (const TSequenceItem& item : sequence.Items)
        pass += itemSeconds(item);
    left += std::max<qint64>(0, qint64(sequence.Iterations) - m_frame.Pass) * pass;
    return left;
}

QDateTime RunProgress::EstimatedEnd(const QDateTime& now, const TSequence& sequence) const
{
    if (!m_haveFrame || m_status == Phase::Idle)
        return QDateTime();
    // What is left of the frame in progress: its exposure, then the measured
    // time beyond it.
    double frameLeft = 0.0;
    if (m_exposing)
        frameLeft = std::max(0.0, m_frame.Exposure + OverheadSeconds() - m_frame.Utc.msecsTo(now) / 1000.0);
    const double seconds = std::min(frameLeft + secondsLeftAfterFrame(sequence), 1e9);
    return now.addMSecs(qint64(seconds * 1000.0));
}

QString RunProgress::Duration(qint64 seconds)
{
    seconds = std::max<qint64>(0, seconds);
    if (seconds < 60)
        return QStringLiteral("%1 s").arg(seconds);
    const qint64 minutes = (seconds + 30) / 60;
    if (minutes < 60)
        return QStringLiteral("%1 min").arg(minutes);
    if (minutes < 48 * 60)
        return QStringLiteral("%1 h %2 min").arg(minutes / 60).arg(minutes % 60, 2, 10, QLatin1Char('0'));
    return QStringLiteral("%1 days").arg(minutes / (24 * 60));
}

QString RunProgress::EndText(const QDateTime& now, const TSequence& sequence) const
{
    const QDateTime end = EstimatedEnd(now, sequence);
    if (!end.isValid())
        return QString();
    return QStringLiteral("Ends about %1 (in %2)")
        .arg(end.toLocalTime().toString(QStringLiteral("HH:mm")), Duration(now.secsTo(end)));
}
