#pragma once
// TSelDirectoryForm: the destination folder chooser. Browses from the
// caller's folder down into sub-folders (double-click), up to the parent, and
// creates new folders. On OK the caller's text becomes the highlighted
// sub-folder, or the current folder when none is highlighted, always with a
// trailing separator; any other end leaves the caller's text untouched.
#include "sequence/DirectoryBrowser.h"

#include <QDialog>
#include <functional>
#include <memory>

namespace Ui { class TSelDirectoryForm; }

class TSelDirectoryForm : public QDialog {
    Q_OBJECT
public:
    TSelDirectoryForm(QWidget* owner, QString& result);
    ~TSelDirectoryForm() override;

    // Asks for a new folder's name; true with the name on OK. Runs
    // TFolderNameForm modally unless a test replaced it.
    std::function<bool(QString& name)> AskFolderName;

    void done(int result) override;
    const QString& CurrentPath() const { return m_browser.Path(); }

    void Refresh();
    void DirListDblClick();
    void UpButtonClick();
    void NewButtonClick();

protected:
    void showEvent(QShowEvent* event) override;

private:
    std::unique_ptr<Ui::TSelDirectoryForm> m_ui;
    QString& m_result;
    DirectoryBrowser m_browser;
};
