#pragma once
// TDevicesForm: the devices dialog, where the user chooses the camera (the
// simulated camera or one on an INDI server, with the devices listed from
// that server) and the guider (the camera's own, PHD2 or none), and tests
// each. The choices are Tandexa.ini's [Camera] and [Guider] keys, edited
// through DeviceChoices; OK writes the changed keys (every other line keeps
// its bytes) and they apply at the next "Connect MaxIm". OK does not close
// the dialog while a field of the chosen devices is unusable, nor when the
// file cannot be written; what was typed stays.
//
// Looking for devices and the tests never block the window: they run on
// connections of their own (DeviceTester) and report when done. A server
// that cannot be reached leaves the lists and what was typed as they were.
#include "devices/DeviceChoices.h"
#include "devices/DeviceTester.h"

#include <QDialog>
#include <memory>

namespace Ui { class TDevicesForm; }
class QComboBox;
class QLineEdit;

class TDevicesForm : public QDialog {
    Q_OBJECT
public:
    // The text of the wheel list's entry that stands for IndiWheel= (empty).
    static const QString OwnWheel;

    // Reads `settingsPath` (throws Error when it cannot be read).
    // `connected`: a camera link is up, so the choices apply only at the
    // next "Connect MaxIm" (the dialog says so).
    TDevicesForm(const QString& settingsPath, bool connected, QWidget* parent = nullptr);
    ~TDevicesForm() override;

    const DeviceChoices& Choices() const { return m_choices; }
    void done(int result) override;

private:
    void showValues();
    void wire();
    void edited(DeviceChoices::Field field, const QString& text);
    void showParts();
    void showNotes();
    void fit();
    void findDevices();
    void fillLists(const FoundDevices& found);
    void fillWheelList();
    QLineEdit* editFor(DeviceChoices::Field field) const;

    std::unique_ptr<Ui::TDevicesForm> ui;
    QString m_path;
    bool m_connected;
    DeviceChoices m_choices;
    DeviceTester m_tester;
    std::optional<FoundDevices> m_found;
    bool m_loading = false;
    bool m_problemsShown = false;
};
