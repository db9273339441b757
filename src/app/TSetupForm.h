#pragma once
// TSetupForm: the Setup dialog, where the user chooses the operating mode.
// It shows the mode stored in Tandexa.ini (which differs from the running mode
// after a change without restart). Its result is Accepted only when the user
// confirmed a different mode, which is then already written to Tandexa.ini;
// anything else (same mode, Cancel, Esc, close box, a failed write) is
// Rejected and writes nothing.
#include <QDialog>
#include <memory>

namespace Ui { class TSetupForm; }
class QRadioButton;

class TSetupForm : public QDialog {
    Q_OBJECT
public:
    explicit TSetupForm(QWidget* parent = nullptr);
    ~TSetupForm() override;

    QRadioButton* MainPcItem() const;
    QRadioButton* SecondPcItem() const;
    QPushButton* OkButton() const;
    QPushButton* CancelButton() const;

    void done(int result) override;

protected:
    void showEvent(QShowEvent* event) override;

private:
    void FormShow();
    int FormClose(int result);

    std::unique_ptr<Ui::TSetupForm> ui;
    bool m_shownIsMainPC = true;
};
