#include "TSelDirectoryForm.h"

#include "TFolderNameForm.h"
#include "ui_TSelDirectoryForm.h"

#include "platform/MessageBox.h"

#include <QStyle>

TSelDirectoryForm::TSelDirectoryForm(QWidget* owner, QString& result)
    : QDialog(owner), m_ui(std::make_unique<Ui::TSelDirectoryForm>()), m_result(result),
      m_browser(result)
{
    m_ui->setupUi(this);
    // A read-only path display: the button face colour, like a label.
    QPalette palette = m_ui->DirEdit->palette();
    palette.setColor(QPalette::Base, palette.color(QPalette::Button));
    m_ui->DirEdit->setPalette(palette);
    m_ui->UpButton->setIcon(style()->standardIcon(QStyle::SP_FileDialogToParent));
    m_ui->NewButton->setIcon(style()->standardIcon(QStyle::SP_FileDialogNewFolder));

    AskFolderName = [this](QString& name) {
        TFolderNameForm form(this, name);
        return form.exec() == QDialog::Accepted;
    };
    connect(m_ui->UpButton, &QToolButton::clicked, this, &TSelDirectoryForm::UpButtonClick);
    connect(m_ui->NewButton, &QToolButton::clicked, this, &TSelDirectoryForm::NewButtonClick);
    connect(m_ui->DirList, &QListWidget::itemDoubleClicked, this, &TSelDirectoryForm::DirListDblClick);
    connect(m_ui->OkButton, &QPushButton::clicked, this, &QDialog::accept);
    connect(m_ui->CancelButton, &QPushButton::clicked, this, &QDialog::reject);
}

TSelDirectoryForm::~TSelDirectoryForm() = default;

void TSelDirectoryForm::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    Refresh();
}

void TSelDirectoryForm::Refresh()
{
    m_ui->DirList->clear();
    const QStringList names = m_browser.Refresh();
    m_ui->DirList->addItems(names);
    m_ui->DirList->setCurrentRow(-1);
    // Caret before the last character, so the end of a long path is in view.
    const QString& path = m_browser.Path();
    m_ui->DirEdit->setText(path);
    m_ui->DirEdit->setSelection(int(path.size()) - 1, 0);
    m_ui->DirEdit->setCursorPosition(int(path.size()) - 1);
}

void TSelDirectoryForm::DirListDblClick()
{
    const QListWidgetItem* item = m_ui->DirList->currentItem();
    if (!item || !item->isSelected())
        return;
    m_browser.Down(item->text());
    Refresh();
}

void TSelDirectoryForm::UpButtonClick()
{
    m_browser.Up();
    Refresh();
}

void TSelDirectoryForm::NewButtonClick()
{
    QString name;
    if (!AskFolderName(name))
        return;
    if (!m_browser.CreateFolder(name)) {
        ShowMessageBox(QStringLiteral("Error creating directory"), QStringLiteral("Error"), MsgBox::ErrorOk);
        return;
    }
    Refresh();
}

void TSelDirectoryForm::done(int result)
{
    if (result == QDialog::Accepted) {
        const QListWidgetItem* item = m_ui->DirList->currentItem();
        const QString selected = item && item->isSelected() ? item->text() : QString();
        m_result = m_browser.Accept(selected);
    }
    QDialog::done(result);
}
