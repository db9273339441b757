#include "app/NightPage.h"

#include "platform/Error.h"
#include "platform/IniFile.h"
#include "platform/StandardError.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QLabel>
#include <QListWidget>
#include <QSpinBox>

namespace {
QSpinBox* spin(QWidget* parent, const char* name, int low, int high)
{
    auto* box = new QSpinBox(parent);
    box->setObjectName(QLatin1String(name));
    box->setRange(low, high);
    return box;
}

QLabel* label(const QString& text, QWidget* buddy, QWidget* parent)
{
    auto* l = new QLabel(text, parent);
    l->setBuddy(buddy);
    return l;
}
}

NightPage::NightPage(const QString& settingsPath, QWidget* parent)
    : QWidget(parent), m_settingsPath(settingsPath)
{
    m_retry = new QCheckBox(QStringLiteral("Retry instead of giving up: connect the camera again and retake the frame"), this);
    m_retry->setObjectName(QStringLiteral("NightRetry"));
    m_tries = spin(this, "NightRetryTries", 1, 100);
    m_pause = spin(this, "NightRetryPause", 1, 3600);
    m_pause->setSuffix(QStringLiteral(" s"));
    m_guiderWait = spin(this, "NightGuiderWait", 1, 1440);
    m_guiderWait->setSuffix(QStringLiteral(" min"));
    // A check box, not a drop-down: the window keeps one drop-down (the
    // sequence grid's filter), and a check box says the choice in one line.
    m_guiderLost = new QCheckBox(QStringLiteral("then stop the run (else go on without dithering)"), this);
    m_guiderLost->setObjectName(QStringLiteral("NightGuiderLost"));
    m_noBoxes = new QCheckBox(QStringLiteral("No box waits for nobody: failures go to the night's record"), this);
    m_noBoxes->setObjectName(QStringLiteral("NightNoBoxes"));
    m_retake = new QCheckBox(QStringLiteral("Retake a frame spoilt by lost guiding (it is marked GUIDLOST either way)"), this);
    m_retake->setObjectName(QStringLiteral("NightRetake"));
    m_events = new QListWidget(this);
    m_events->setObjectName(QStringLiteral("NightEvents"));
    m_events->setUniformItemSizes(true);

    auto* grid = new QGridLayout(this);
    grid->setContentsMargins(8, 6, 8, 6);
    grid->setVerticalSpacing(3);
    grid->addWidget(m_retry, 0, 0, 1, 5);
    grid->addWidget(label(QStringLiteral("Tries"), m_tries, this), 1, 0);
    grid->addWidget(m_tries, 1, 1);
    grid->addWidget(label(QStringLiteral("First pause"), m_pause, this), 1, 2);
    grid->addWidget(m_pause, 1, 3);
    grid->addWidget(label(QStringLiteral("Wait for the guider"), m_guiderWait, this), 2, 0);
    grid->addWidget(m_guiderWait, 2, 1);
    grid->addWidget(m_guiderLost, 2, 2, 1, 3);
    grid->addWidget(m_noBoxes, 3, 0, 1, 5);
    grid->addWidget(m_retake, 4, 0, 1, 5);
    const QString eventsCaption = QStringLiteral("Events of the night (UTC)");
    grid->addWidget(label(eventsCaption, m_events, this), 5, 0, 1, 5);
    m_events->setAccessibleName(eventsCaption);   // the caption never changes
    grid->addWidget(m_events, 6, 0, 1, 5);
    grid->setRowStretch(6, 1);
    grid->setColumnStretch(4, 1);   // the fields keep their own width

    try {
        m_options = NightOptions::FromIni(IniFile(m_settingsPath));
    } catch (const Error&) {
        // A settings file that cannot be read is reported where the window
        // reads its role; the night keeps its defaults.
    }
    showOptions();
    for (QCheckBox* box : {m_retry, m_guiderLost, m_noBoxes, m_retake})
        connect(box, &QCheckBox::toggled, this, &NightPage::optionsEdited);
    for (QSpinBox* box : {m_tries, m_pause, m_guiderWait})
        connect(box, &QSpinBox::valueChanged, this, &NightPage::optionsEdited);
}

void NightPage::showOptions()
{
    m_showing = true;
    m_retry->setChecked(m_options.Retry);
    m_tries->setValue(m_options.RetryTries);
    m_pause->setValue(m_options.RetryPauseSeconds);
    m_guiderWait->setValue(m_options.GuiderWaitMinutes);
    m_guiderLost->setChecked(m_options.GuiderLost == NightOptions::GuiderLostAction::Stop);
    m_noBoxes->setChecked(m_options.NoBoxes);
    m_retake->setChecked(m_options.RetakeLostGuiding);
    for (QWidget* w : std::initializer_list<QWidget*> {m_tries, m_pause, m_guiderWait, m_guiderLost})
        w->setEnabled(m_options.Retry);
    m_showing = false;
}

void NightPage::optionsEdited()
{
    if (m_showing)
        return;
    NightOptions edited;
    edited.Retry = m_retry->isChecked();
    edited.RetryTries = m_tries->value();
    edited.RetryPauseSeconds = m_pause->value();
    edited.GuiderWaitMinutes = m_guiderWait->value();
    edited.GuiderLost = m_guiderLost->isChecked() ? NightOptions::GuiderLostAction::Stop
                                                  : NightOptions::GuiderLostAction::Continue;
    edited.NoBoxes = m_noBoxes->isChecked();
    edited.RetakeLostGuiding = m_retake->isChecked();
    try {
        IniFile ini(m_settingsPath);
        edited.Write(ini);
        m_options = edited;
    } catch (const Error& e) {
        ShowStandardError(e.message());
    }
    showOptions();
}

void NightPage::AddEvent(const QDateTime& utc, const QString& text)
{
    if (m_events->count() >= MaxEvents)
        delete m_events->takeItem(0);
    auto* item = new QListWidgetItem(utc.toUTC().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss.zzz")) + QStringLiteral("  ") + text);
    item->setToolTip(text);
    m_events->addItem(item);
    m_events->scrollToBottom();
}
