#pragma once
// TDevicesButton: "Devices..." on the Setup page, beside "Setup...". It opens
// the devices dialog (TDevicesForm) on Tandexa.ini, and refuses while a
// sequence runs: devices are never changed under a run. The choices apply
// at the next "Connect MaxIm".
#include <QPushButton>
#include <functional>

class TDevicesButton : public QPushButton {
    Q_OBJECT
public:
    // `running`: the window's Running flag; `connected`: whether a camera
    // link is up.
    TDevicesButton(QWidget* parent, const bool& running, std::function<bool()> connected);

    void DevicesButtonClick();

private:
    const bool& m_running;
    std::function<bool()> m_connected;
};
