#pragma once
// TFolderNameForm: asks for the name of a new folder. The caller's text is
// written only when the dialog ends with OK. OK starts enabled and is then
// enabled exactly while the name is not empty.
#include <QDialog>
#include <memory>

namespace Ui { class TFolderNameForm; }

class TFolderNameForm : public QDialog {
    Q_OBJECT
public:
    TFolderNameForm(QWidget* owner, QString& result);
    ~TFolderNameForm() override;

    void done(int result) override;

private:
    void FolderEditChange(const QString& text);

    std::unique_ptr<Ui::TFolderNameForm> m_ui;
    QString& m_result;
};
