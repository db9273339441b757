#include "TFolderNameForm.h"

#include "ui_TFolderNameForm.h"

TFolderNameForm::TFolderNameForm(QWidget* owner, QString& result)
    : QDialog(owner), m_ui(std::make_unique<Ui::TFolderNameForm>()), m_result(result)
{
    m_ui->setupUi(this);
    connect(m_ui->FolderEdit, &QLineEdit::textChanged, this, &TFolderNameForm::FolderEditChange);
    connect(m_ui->OkButton, &QPushButton::clicked, this, &QDialog::accept);
    connect(m_ui->CancelButton, &QPushButton::clicked, this, &QDialog::reject);
}

TFolderNameForm::~TFolderNameForm() = default;

void TFolderNameForm::FolderEditChange(const QString& text)
{
    m_ui->OkButton->setEnabled(!text.isEmpty());
}

void TFolderNameForm::done(int result)
{
    if (result == QDialog::Accepted)
        m_result = m_ui->FolderEdit->text();
    QDialog::done(result);
}
