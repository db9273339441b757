#pragma once
// NightPage: the "Night" page of the main window. Its upper half sets what a
// run does when nobody is at the window (NightOptions, kept in the settings
// file's section "Night" and written at each change); its lower half lists
// every event of the night the runs report (failures, retries, frames marked
// for lost guiding), newest last, for the user coming back in the morning.
// The same events are in the night's record beside the images.
#include "run/NightOptions.h"

#include <QDateTime>
#include <QWidget>

class QCheckBox;
class QListWidget;
class QSpinBox;

class NightPage : public QWidget {
    Q_OBJECT
public:
    // Events kept in the list; older ones drop off the top.
    static constexpr int MaxEvents = 5000;

    // Reads the options from `settingsPath` (a missing file gives the defaults).
    explicit NightPage(const QString& settingsPath, QWidget* parent = nullptr);

    NightOptions Options() const { return m_options; }
    void AddEvent(const QDateTime& utc, const QString& text);
    QListWidget& Events() const { return *m_events; }

private:
    void showOptions();
    // Takes the controls' values and writes them; a write that fails is
    // shown in the standard error box and the controls go back.
    void optionsEdited();

    QString m_settingsPath;
    NightOptions m_options;
    bool m_showing = false;
    QCheckBox* m_retry;
    QSpinBox* m_tries;
    QSpinBox* m_pause;
    QSpinBox* m_guiderWait;
    QCheckBox* m_guiderLost;   // checked: stop the run
    QCheckBox* m_noBoxes;
    QCheckBox* m_retake;
    QListWidget* m_events;
};
