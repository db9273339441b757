#include "app/TSetupForm.h"

#include "ui_TSetupForm.h"

#include "app/Application.h"
#include "platform/StandardError.h"
#include "app/Glyphs.h"
#include "app/SettingsFile.h"
#include "platform/Error.h"

#include <QShowEvent>
#include <QStyle>

TSetupForm::TSetupForm(QWidget* parent) : QDialog(parent), ui(std::make_unique<Ui::TSetupForm>())
{
    ui->setupUi(this);
    setFont(Application::FormFont());
    setFixedSize(size());
    move(259, 223);   // where the form was designed to open, not centred on its owner
    ui->OkButton->setIcon(Glyphs::GreenTick());
    ui->CancelButton->setIcon(style()->standardIcon(QStyle::SP_DialogCancelButton));
    connect(ui->OkButton, &QPushButton::clicked, this, &QDialog::accept);
    connect(ui->CancelButton, &QPushButton::clicked, this, &QDialog::reject);
}

TSetupForm::~TSetupForm() = default;

QRadioButton* TSetupForm::MainPcItem() const { return ui->RGSetupItem0; }
QRadioButton* TSetupForm::SecondPcItem() const { return ui->RGSetupItem1; }
QPushButton* TSetupForm::OkButton() const { return ui->OkButton; }
QPushButton* TSetupForm::CancelButton() const { return ui->CancelButton; }

void TSetupForm::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    if (!event->spontaneous())
        FormShow();
}

void TSetupForm::FormShow()
{
    m_shownIsMainPC = SettingsFile::ReadIsMainPC();
    (m_shownIsMainPC ? ui->RGSetupItem0 : ui->RGSetupItem1)->setChecked(true);
    ui->RGSetupItem0->setFocus();
}

void TSetupForm::done(int result)
{
    QDialog::done(FormClose(result));
}

int TSetupForm::FormClose(int result)
{
    if (result != QDialog::Accepted)
        return result;
    const bool chosenIsMainPC = ui->RGSetupItem0->isChecked();
    if (chosenIsMainPC == m_shownIsMainPC)
        return QDialog::Rejected;
    try {
        SettingsFile::WriteIsMainPC(chosenIsMainPC);
    } catch (const Error& e) {
        ShowStandardError(e.message());
        return QDialog::Rejected;
    }
    return QDialog::Accepted;
}
