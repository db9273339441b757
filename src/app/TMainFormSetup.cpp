// TMainForm: the Setup page's setup-file handlers.
#include "app/TMainForm.h"

#include "ui_TMainForm.h"

#include "platform/Convert.h"
#include "platform/Error.h"
#include "platform/IniFile.h"
#include "platform/ProgramDir.h"
#include "platform/StandardError.h"

#include <QDir>

namespace {
const QString kSection = QStringLiteral("Setup");
}

void TMainForm::LoadSetup(bool takeNameFromBox)
{
    const QString boxText = ui->SetupFileEdit->text();
    if (takeNameFromBox && !boxText.isEmpty()) {
        // A bare name is taken relative to the program's directory.
        m_openSetupDialog.FileName = QDir::isAbsolutePath(boxText) ? boxText : ProgramFile(boxText);
    } else if (!m_openSetupDialog.Execute()) {
        return;
    }
    const IniFile ini(m_openSetupDialog.FileName);
    QString address;
    int port = 0;
    try {
        address = ini.ReadString(kSection, QStringLiteral("Ip2Address"), QString());
        port = ini.ReadInteger(kSection, QStringLiteral("IpPort"), 0);
    } catch (const Error& e) {
        // A file that cannot be read (too large, not a regular file) loads
        // nothing and says so; start-up goes on with the values it has, and
        // the boxes take edits again.
        m_loadingSetup = false;
        ::ShowStandardError(e.message());
        return;
    }
    m_loadingSetup = true;
    m_setupFileName = ini.fileName();
    m_peerAddress = address;
    m_peerPort = port;
    ui->SetupFileEdit->setText(m_setupFileName);
    ui->Ip2Edit->setText(m_peerAddress);
    ui->PortEdit->setText(QString::number(m_peerPort));
    m_loadingSetup = false;
}

void TMainForm::SaveSetup()
{
    if (m_setupChanged) {
        m_saveSetupDialog.FileName = ui->SetupFileEdit->text();
        if (!m_saveSetupDialog.Execute())
            return;
        m_setupFileName = m_saveSetupDialog.FileName;
        ui->SetupFileEdit->setText(m_setupFileName);
    }
    IniFile ini(m_setupFileName);
    ini.WriteString(kSection, QStringLiteral("Ip2Address"), m_peerAddress);
    ini.WriteInteger(kSection, QStringLiteral("IpPort"), m_peerPort);
    m_setupChanged = false;
}

void TMainForm::SetupFileEditChange()
{
    if (m_loadingSetup)
        return;
    if (!ui->SetupFileEdit->text().isEmpty())
        m_setupFileName = ui->SetupFileEdit->text();
    if (!ui->Ip2Edit->text().isEmpty())
        m_peerAddress = ui->Ip2Edit->text();
    if (!ui->PortEdit->text().isEmpty())
        m_peerPort = StrToInt(ui->PortEdit->text());
    RestartListener();
    m_setupChanged = true;
}

void TMainForm::SetupOpenButtonClick() { LoadSetup(false); }

void TMainForm::SetupSaveButtonClick() { SaveSetup(); }
