#include "app/TSyncOptions.h"

#include "app/SyncSettings.h"
#include "link/PeerLink.h"
#include "platform/Error.h"
#include "platform/StandardError.h"

#include <QCheckBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPointer>
#include <QStatusBar>

TSyncOptions::TSyncOptions(PeerLink& link, bool isMainPC, QStatusBar& bar, QWidget* page)
    : QWidget(page), m_link(link), m_isMainPC(isMainPC), m_hold(new QCheckBox(QStringLiteral("Hold dithering until the second cameras finish"), this)),
      m_status(new QLabel(&bar))
{
    setObjectName(QStringLiteral("SyncOptions"));
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(m_hold);
    m_hold->setObjectName(QStringLiteral("CBHoldDither"));
    m_status->setObjectName(QStringLiteral("SyncStatusPanel"));
    m_status->setAccessibleDescription(QStringLiteral("Second PCs"));
    bar.addPermanentWidget(m_status);

    const SyncSettings settings = SyncSettings::Read();
    SyncHub& hub = m_link.Hub();
    hub.SetMarginMs(qint64(settings.HoldMargin) * 1000);
    m_hold->setChecked(isMainPC && settings.HoldDither);
    m_hold->setEnabled(isMainPC);
    hub.SetEnabled(m_hold->isChecked());
    connect(m_hold, &QCheckBox::toggled, this, &TSyncOptions::HoldToggled);
    connect(&hub, &SyncHub::Changed, this, &TSyncOptions::ShowStatus);
    m_link.Second().SetOnExtendedChanged([self = QPointer<TSyncOptions>(this)] {
        if (self)
            self->ShowStatus();
    });
    ShowStatus();
}

void TSyncOptions::HoldToggled(bool on)
{
    m_link.Hub().SetEnabled(on);
    try {
        SyncSettings::WriteHoldDither(on);
    } catch (const Error& e) {
        ShowStandardError(e.message());
    }
}

void TSyncOptions::ShowStatus()
{
    const SyncHub& hub = m_link.Hub();
    const bool held = m_link.Second().Extended();
    m_status->setText(m_isMainPC ? hub.StatusText() : held ? QStringLiteral("Main PC holds its dithers for this camera") : QString());
    m_status->setVisible(m_isMainPC ? hub.Enabled() : held);
}
