#include "app/TDevicesButton.h"

#include "app/SettingsFile.h"
#include "app/TDevicesForm.h"
#include "platform/MessageBox.h"
#include "platform/StandardError.h"

#include <QPainter>

namespace {
// A small camera body with its lens, in the manner of the other glyphs.
QIcon cameraGlyph()
{
    QPixmap pixmap(16, 16);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QColor(32, 32, 48));
    p.setBrush(QColor(96, 104, 128));
    p.drawRoundedRect(QRectF(1.5, 4.5, 13, 9), 1.5, 1.5);
    p.drawRect(QRectF(4.5, 2.5, 4, 2));
    p.setBrush(QColor(160, 200, 240));
    p.drawEllipse(QPointF(8, 9), 3, 3);
    p.end();
    return QIcon(pixmap);
}
}

TDevicesButton::TDevicesButton(QWidget* parent, const bool& running, std::function<bool()> connected)
    : QPushButton(QStringLiteral("Devices..."), parent), m_running(running), m_connected(std::move(connected))
{
    setObjectName(QStringLiteral("DevicesButton"));
    setIcon(cameraGlyph());
    connect(this, &QPushButton::clicked, this, [this] { RunGuarded([this] { DevicesButtonClick(); }); });
}

void TDevicesButton::DevicesButtonClick()
{
    if (m_running) {
        ShowMessageBox(QStringLiteral("Sequence in progress. Can't change devices."), QStringLiteral("Error"),
                       MsgBox::ErrorOk);
        return;
    }
    // On the stack: the dialog is gone when this handler returns.
    TDevicesForm dialog(SettingsFile::Path(), m_connected(), window());
    dialog.exec();
}
