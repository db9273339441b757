#include "app/TMainForm.h"

#include "ui_TMainForm.h"

#include "app/Application.h"
#include "app/Common.h"
#include "app/FilterSetFile.h"
#include "app/Glyphs.h"
#include "app/ImagePage.h"
#include "app/SettingsFile.h"
#include "app/TDevicesButton.h"
#include "app/TSetupForm.h"
#include "app/TSyncOptions.h"
#include "app/CameraConnection.h"
#include "app/NightPage.h"
#include "guider/GuiderStatus.h"
#include "link/PeerLink.h"
#include "sequence/TSequenceFrame.h"
#include "platform/MessageBox.h"
#include "platform/ProgramDir.h"
#include "platform/StandardError.h"
#include "run/MainSequenceRun.h"
#include "run/FrameEvent.h"
#include "run/RandomSource.h"
#include "run/RunControl.h"
#include "run/SecondSequenceRun.h"

#include <QCloseEvent>
#include <QLabel>
#include <QProgressBar>
#include <QShowEvent>
#include <cstdlib>
#include <ctime>

TMainForm::TMainForm(bool isMainPC, MaxImFactory factory, QWidget* parent)
    : QMainWindow(parent), ui(std::make_unique<Ui::TMainForm>()), m_isMainPC(isMainPC)
{
    ui->setupUi(this);
    ui->PortEdit->SetCharFilter(chNumber);
    setFont(Application::FormFont());
    // Captions size themselves to their text, like auto-sized labels.
    for (QLabel* label : {ui->Label1, ui->Ip2Label, ui->Label2})
        label->adjustSize();
    setFixedSize(ClientWidth, ClientHeight);
    ui->Pannello->setTabWidth(80);
    ui->SBar->setFixedHeight(20);
    m_linkStatus = new QLabel(this);
    m_linkStatus->setObjectName(QStringLiteral("SBarPanel0"));
    // No fixed name: a label without one gives assistive technology its text.
    m_linkStatus->setAccessibleDescription(QStringLiteral("Link status"));
    ui->SBar->addWidget(m_linkStatus, 1);
    // The separate guider's state (PHD2) at the status bar's right end; hidden
    // while the camera driver's own guider is used. Its text is what assistive
    // technology reads.
    auto* guiderStatus = new QLabel(this);
    guiderStatus->setObjectName(QStringLiteral("GuiderStatusPanel"));
    ui->SBar->addPermanentWidget(guiderStatus);
    const auto showGuiderStatus = [guiderStatus](const QString& text) {
        guiderStatus->setText(text);
        guiderStatus->setVisible(!text.isEmpty());
    };
    showGuiderStatus(GuiderStatus::Instance().Text());
    connect(&GuiderStatus::Instance(), &GuiderStatus::changed, guiderStatus, showGuiderStatus);
    m_imagePage = new ImagePage(isMainPC, [this]() -> const TSequence& { return RunSequence(); }, this);
    m_imagePage->setObjectName(QStringLiteral("TSImage"));
    ui->Pannello->addTab(m_imagePage, QStringLiteral("Image"));
    ui->SBar->addPermanentWidget(m_imagePage->StatusBarProgress());
    m_link = std::make_unique<PeerLink>(static_cast<PeerLinkHost&>(*this), m_state);
    (new TSyncOptions(*m_link, m_isMainPC, *ui->SBar, ui->TSSetup))->setGeometry(22, 172, 420, 20);
    m_runControl = std::make_unique<RunControl>(m_state, static_cast<RunHost&>(*this));
    m_camera = std::make_unique<CameraConnection>(static_cast<CameraConnectionHost&>(*this), std::move(factory));
    m_restartLauncher = [this](const QString& program) { return RunCommandForRestart(program); };
    m_nightPage = new NightPage(SettingsFile::Path(), ui->Pannello);
    m_nightPage->setObjectName(QStringLiteral("TSNight"));
    ui->Pannello->addTab(m_nightPage, QStringLiteral("Night"));
    m_openSetupDialog.Filter = QStringLiteral("Camera control|*.ccd");
    m_openSetupDialog.DefaultExt = QStringLiteral("*.ccd");
    m_saveSetupDialog.Filter = QStringLiteral("Camera control 1|*.cd1");
    m_saveSetupDialog.DefaultExt = QStringLiteral("*.cd1");
    SetGlyphs();
    WireHandlers();
    // "Devices..." beside "Setup...": the camera and guider, in their own dialog.
    auto* devices = new TDevicesButton(ui->TSSetup, m_state.Running, [this] { return m_camera->IsConnected(); });
    devices->setGeometry(346, 212, 89, 25);
    setTabOrder(ui->SetupButton, devices);
    FormCreate();
}

TMainForm::~TMainForm() = default;

void TMainForm::FormCreate()
{
    m_filterList.clear();
    ui->MySequenceFrame->SetFilterList(&m_filterList);
    ui->MySequenceFrame->SetRunningFlag(&m_state.Running);
    m_state.Running = false;
    std::srand(unsigned(std::time(nullptr)));
}

void TMainForm::SetGlyphs()
{
    ui->SetupOpenButton->setIcon(Glyphs::OpenFolder());
    ui->SetupSaveButton->setIcon(Glyphs::Diskette());
    ui->ConnectMaxImButton->setIcon(Glyphs::Play());
    ui->DisconnectMaxImButton->setIcon(Glyphs::Pause());
    ui->ConnectIpButton->setIcon(Glyphs::Link());
    ui->DisconnectIpButton->setIcon(Glyphs::RedCross());
    ui->SetupButton->setIcon(Glyphs::Gears());
    ui->StartButton->setIcon(Glyphs::Play());
    ui->StopButton->setIcon(Glyphs::StopSquare());
}

void TMainForm::WireHandlers()
{
    auto onClick = [this](QAbstractButton* button, void (TMainForm::*handler)()) {
        connect(button, &QAbstractButton::clicked, this, [this, handler] { RunGuarded([this, handler] { (this->*handler)(); }); });
    };
    onClick(ui->SetupOpenButton, &TMainForm::SetupOpenButtonClick);
    onClick(ui->SetupSaveButton, &TMainForm::SetupSaveButtonClick);
    onClick(ui->SetupButton, &TMainForm::SetupButtonClick);
    onClick(ui->ConnectMaxImButton, &TMainForm::ConnectMaxImButtonClick);
    onClick(ui->DisconnectMaxImButton, &TMainForm::DisconnectMaxImButtonClick);
    onClick(ui->ConnectIpButton, &TMainForm::ConnectIpButtonClick);
    onClick(ui->DisconnectIpButton, &TMainForm::DisconnectIpButtonClick);
    onClick(ui->StartButton, &TMainForm::StartButtonClick);
    onClick(ui->StopButton, &TMainForm::StopButtonClick);
    for (QLineEdit* edit : {ui->SetupFileEdit, ui->Ip2Edit, ui->PortEdit})
        connect(edit, &QLineEdit::textChanged, this, [this] { RunGuarded([this] { SetupFileEditChange(); }); });
}

void TMainForm::showEvent(QShowEvent* event)
{
    QMainWindow::showEvent(event);
    if (m_shown)
        return;
    m_shown = true;
    RunGuarded([this] { FormShow(); });
}

void TMainForm::FormShow()
{
    const QPoint position = SettingsFile::ReadPosition();
    move(position);
    setWindowTitle(ApplicationTitle());
    m_setup.Changed = false;
    m_openSetupDialog.InitialDir = ProgramDir();
    m_saveSetupDialog.InitialDir = ProgramDir();
    ui->Pannello->setCurrentWidget(ui->TSSetup);
    ui->DisconnectMaxImButton->setEnabled(false);
    ui->DisconnectIpButton->setEnabled(false);
    ui->StartButton->setEnabled(false);
    ui->StopButton->setEnabled(false);
    LoadSetup(true);
    ApplyRole();
    LoadFilterList();
    ui->MySequenceFrame->LoadSequence(true);
}

void TMainForm::ApplyRole()
{
    const QIcon icon = Glyphs::RoleIcon(m_isMainPC ? 1 : 2);
    setWindowIcon(icon);
    if (m_isMainPC) {
        m_link->OpenListener(m_setup.PeerPort);
        for (QWidget* w : std::initializer_list<QWidget*>{ui->Ip2Label, ui->Ip2Edit, ui->ConnectIpButton, ui->DisconnectIpButton})
            w->setEnabled(false);
    }
    ui->MySequenceFrame->ApplyRole(m_isMainPC);
}

void TMainForm::LoadFilterList()
{
    m_filterList = FilterSetFile::Load(FilterSetFile::Path());
}

void TMainForm::RestartListener() { m_link->RestartListener(m_setup.PeerPort); }

bool TMainForm::Listening() const { return m_link->Server().Active(); }

QString TMainForm::LinkStatusText() const { return m_linkStatus->text(); }

void TMainForm::closeEvent(QCloseEvent* event)
{
    if (!m_closeStepsDone) {
        m_closeStepsDone = true;
        FormCloseQuery();
        FormClose();
    }
    // A run still holds the thread inside the Start click: keep the window
    // shown and working, and end the program when the run returns.
    if (m_state.Running) {
        m_closeWhenRunEnds = true;
        event->ignore();
        return;
    }
    event->accept();
}

void TMainForm::FormCloseQuery()
{
    if (m_setup.Changed)
        RunGuarded([this] { SaveSetup(); });
}

void TMainForm::FormClose()
{
    // Each step runs even when an earlier one failed, so one unwritable file
    // does not lose the others.
    m_link->CloseAll();
    RunGuarded([this] { FilterSetFile::Save(FilterSetFile::Path(), m_filterList); });
    ui->MySequenceFrame->SaveSequence(false);
    RunGuarded([this] { SettingsFile::WritePosition(pos()); });
}

void TMainForm::SetupButtonClick()
{
    int result = 0;
    {
        TSetupForm dialog(this);
        result = dialog.exec();
    }
    if (result != QDialog::Accepted)
        return;
    if (ShowMessageBox(QStringLiteral("Tandexa needs to restart.\rProceed?"), QStringLiteral("Warning"),
                       MsgBox::QuestionYesNo) != MsgBox::ResultYes)
        return;
    m_restartLauncher(QCoreApplication::applicationFilePath());
    // The window then closes through its normal steps once this handler returns.
    QMetaObject::invokeMethod(this, &QWidget::close, Qt::QueuedConnection);
}

void TMainForm::SetRestartLauncher(std::function<bool(const QString&)> launcher)
{
    m_restartLauncher = std::move(launcher);
}

bool TMainForm::RunCommandForRestart(const QString& program)
{
    return RunCommand(this, program, false, false);
}

void TMainForm::StartButtonClick()
{
    if (m_isMainPC)
        RunMainSequence();
    else
        RunSecondSequence();
    if (m_closeWhenRunEnds)
        close();
}

void TMainForm::ConnectMaxImButtonClick()
{
    m_camera->ConnectMaxImButtonClick();
    // The names just read from the camera (also after a failed link) are
    // what the grid shows.
    ui->MySequenceFrame->FillGrid();
}

void TMainForm::ConnectIpButtonClick() { m_link->ConnectIpButtonClick(); }

void TMainForm::DisconnectIpButtonClick() { m_link->DisconnectIpButtonClick(); }

bool TMainForm::SendToPeer(const QString& command) { return m_link->SendToPeer(command); }

TSequenceFrame& TMainForm::SequenceFrame() { return *ui->MySequenceFrame; }

void TMainForm::DisconnectMaxImButtonClick() { m_camera->DisconnectMaxImButtonClick(); }

void TMainForm::StopButtonClick() { m_runControl->StopButtonClick(); }

void TMainForm::WaitMs(int ms) { m_runControl->WaitMs(ms); }

void TMainForm::RunMainSequence()
{
    CRandomSource random;   // std::rand, seeded when the window was created
    MainSequenceRun(*this, *m_runControl, random).Run();
}

void TMainForm::RunSecondSequence()
{
    m_link->Second().ReportRun(true);
    SecondSequenceRun(*this, *m_runControl).Run();
    m_link->Second().ReportRun(false);
}

SyncHub* TMainForm::RunSyncHub() { return &m_link->Hub(); }

SecondSync* TMainForm::RunSecondSync() { return &m_link->Second(); }

void TMainForm::RunFrameEvent(const FrameEvent& event)
{
    static_assert(int(FrameEvent::Kind::Started) == int(SecondSync::Report::Started)
                  && int(FrameEvent::Kind::Failed) == int(SecondSync::Report::Failed));
    m_link->Second().ReportFrame(SecondSync::Report(int(event.What)), event.Exposure);
    m_imagePage->FrameEvent(event);
}

void TMainForm::SetStartIterationPosition(int position) { ui->MySequenceFrame->SetStartIteration(position); }

int TMainForm::RunMessageBox(const QString& text, const QString& caption, int flags)
{
    return ShowMessageBox(text, caption, flags);
}

ICamera* TMainForm::RunCamera() { return m_camera->Camera(); }

NightOptions TMainForm::RunNightOptions() { return m_nightPage->Options(); }

void TMainForm::RunNightEvent(const QDateTime& utc, const QString& text) { m_nightPage->AddEvent(utc, text); }

bool TMainForm::RunReconnectCamera(QString* why) { return m_camera->Reconnect(why); }

TSequence& TMainForm::RunSequence() { return ui->MySequenceFrame->Sequence(); }

void TMainForm::SetStartEnabled(bool enabled) { ui->StartButton->setEnabled(enabled); }
void TMainForm::SetStopEnabled(bool enabled) { ui->StopButton->setEnabled(enabled); }
void TMainForm::SetRunStatusText(const QString& text)
{
    ui->StatusText->setText(text);
    m_imagePage->RunStatus(text);
}

void TMainForm::RunImageSaving(const QString& path) { m_imagePage->ImageSaving(path); }
void TMainForm::SelectGridRow(int row) { ui->MySequenceFrame->SelectRow(row); }
void TMainForm::SetConnectEnabled(bool enabled) { ui->ConnectMaxImButton->setEnabled(enabled); }
void TMainForm::SetDisconnectEnabled(bool enabled) { ui->DisconnectMaxImButton->setEnabled(enabled); }
void TMainForm::SetStatusText(const QString& text) { m_linkStatus->setText(text); }

void TMainForm::SetLinkControls(bool linked)
{
    ui->ConnectIpButton->setEnabled(!linked);
    ui->DisconnectIpButton->setEnabled(linked);
    ui->Ip2Edit->setEnabled(!linked);
    ui->PortEdit->setEnabled(!linked);
}

void TMainForm::ShowStandardError(const QString& message) { ::ShowStandardError(message); }
