// TMainForm: the Setup page's handlers, moving values between the boxes, the
// file dialogs and the setup record (SetupFile), which holds the rules.
#include "app/TMainForm.h"

#include "ui_TMainForm.h"

#include "platform/Error.h"
#include "platform/ProgramDir.h"
#include "platform/StandardError.h"

#include <QDir>

void TMainForm::LoadSetup(bool takeNameFromBox)
{
    const QString boxText = ui->SetupFileEdit->text();
    if (takeNameFromBox && !boxText.isEmpty()) {
        // A bare name is taken relative to the program's directory.
        m_openSetupDialog.FileName = QDir::isAbsolutePath(boxText) ? boxText : ProgramFile(boxText);
    } else if (!m_openSetupDialog.Execute()) {
        return;
    }
    try {
        m_setup.Load(m_openSetupDialog.FileName);
    } catch (const Error& e) {
        // A file that cannot be read (too large, not a regular file) loads
        // nothing and says so; start-up goes on with the values it has, and
        // the boxes take edits again.
        m_setup.Loading = false;
        ::ShowStandardError(e.message());
        return;
    }
    m_setup.Loading = true;
    ui->SetupFileEdit->setText(m_setup.FileName);
    ui->Ip2Edit->setText(m_setup.PeerAddress);
    ui->PortEdit->setText(QString::number(m_setup.PeerPort));
    m_setup.Loading = false;
}

void TMainForm::SaveSetup()
{
    if (m_setup.Changed) {
        m_saveSetupDialog.FileName = ui->SetupFileEdit->text();
        if (!m_saveSetupDialog.Execute())
            return;
        m_setup.FileName = m_saveSetupDialog.FileName;
        ui->SetupFileEdit->setText(m_setup.FileName);
    }
    m_setup.Save();
}

void TMainForm::SetupFileEditChange()
{
    if (m_setup.TakeEdits(ui->SetupFileEdit->text(), ui->Ip2Edit->text(), ui->PortEdit->text()))
        RestartListener();
}

void TMainForm::SetupOpenButtonClick() { LoadSetup(false); }

void TMainForm::SetupSaveButtonClick() { SaveSetup(); }
