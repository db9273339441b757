#pragma once
// TMainForm: the one main window. It owns everything that outlives one
// operation: the setup values, the camera link, the peer sockets, run control
// with its wait timer, the filter list, the run flags and the sequence editor.
// Handlers keep the names of the events they serve and stay short: the work
// lives in the classes of the other folders, which see the window through
// small host interfaces.
//
// The role (main PC or second PC) is fixed for the life of the window.
#include "app/CameraConnectionHost.h"
#include "app/SetupFile.h"
#include "camera/IMaxImApplication.h"
#include "link/PeerLinkHost.h"
#include "platform/FileDialog.h"
#include "platform/RunState.h"
#include "run/RunHost.h"

#include <QMainWindow>
#include <QStringList>
#include <functional>
#include <memory>

namespace Ui { class TMainForm; }
class QLabel;
class CameraConnection;
class PeerLink;
class TSequenceFrame;
class RunControl;
class ImagePage;
class NightPage;

class TMainForm : public QMainWindow, private RunHost, private CameraConnectionHost,
                  private PeerLinkHost {
    Q_OBJECT
public:
    // The window's client area; with the classic 4-pixel borders and caption
    // this is the 472 x 368 outer size of the original window.
    static constexpr int ClientWidth = 464;
    static constexpr int ClientHeight = 341;

    // factory creates the camera software's application object on connect;
    // empty means the driver named in Tandexa.ini.
    explicit TMainForm(bool isMainPC, MaxImFactory factory = {}, QWidget* parent = nullptr);
    ~TMainForm() override;

    bool IsMainPC() const { return m_isMainPC; }

    // Setup page (settings and setup files).
    void LoadSetup(bool takeNameFromBox);
    void SaveSetup();
    void SetupFileEditChange();
    void SetupOpenButtonClick();
    void SetupSaveButtonClick();
    void SetupButtonClick();

    // Camera link.
    void ConnectMaxImButtonClick();
    void DisconnectMaxImButtonClick();
    CameraConnection& Camera() { return *m_camera; }

    // Peer link.
    void ConnectIpButtonClick();
    void DisconnectIpButtonClick();
    bool SendToPeer(const QString& command) override;
    PeerLink& Link() { return *m_link; }

    TSequenceFrame& SequenceFrame();

    // Run control.
    void StartButtonClick();
    void StopButtonClick();

    const QString& SetupFileName() const { return m_setup.FileName; }
    QString PeerAddress() const override { return m_setup.PeerAddress; }
    int PeerPort() const override { return m_setup.PeerPort; }
    bool LoadingSetup() const { return m_setup.Loading; }
    bool SetupChanged() const { return m_setup.Changed; }
    RunState& State() { return m_state; }
    QStringList& FilterList() override { return m_filterList; }
    FileDialog& OpenSetupDialog() { return m_openSetupDialog; }
    FileDialog& SaveSetupDialog() { return m_saveSetupDialog; }
    QString LinkStatusText() const;
    bool Listening() const;

    // Starts the new copy of the program for a restart; replaceable in tests.
    void SetRestartLauncher(std::function<bool(const QString& program)> launcher);

protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    void FormCreate();
    void FormShow();
    void FormCloseQuery();
    void FormClose();
    void ApplyRole();
    void LoadFilterList();
    void RestartListener();
    void WireHandlers();
    void SetGlyphs();

    // RunHost
    void SetStartEnabled(bool enabled) override;
    void SetStopEnabled(bool enabled) override;
    void SetRunStatusText(const QString& text) override;
    void SelectGridRow(int row) override;
    void SetStartIterationPosition(int position) override;
    int RunMessageBox(const QString& text, const QString& caption, int flags) override;
    ICamera* RunCamera() override;
    TSequence& RunSequence() override;
    const QStringList& RunFilterList() override { return m_filterList; }
    RunState& RunFlags() override { return m_state; }
    SyncHub* RunSyncHub() override;
    SecondSync* RunSecondSync() override;
    void RunFrameEvent(const FrameEvent& event) override;
    void RunImageSaving(const QString& path) override;
    NightOptions RunNightOptions() override;
    void RunNightEvent(const QDateTime& utc, const QString& text) override;
    bool RunReconnectCamera(QString* why) override;

    // CameraConnectionHost
    void SetConnectEnabled(bool enabled) override;
    void SetDisconnectEnabled(bool enabled) override;
    bool IsRunning() const override { return m_state.Running; }
    void WaitMs(int ms) override;

    // PeerLinkHost
    void SetStatusText(const QString& text) override;
    void SetLinkControls(bool linked) override;
    void ShowStandardError(const QString& message) override;

    bool RunCommandForRestart(const QString& program);
    void RunMainSequence();
    void RunSecondSequence();

    std::unique_ptr<Ui::TMainForm> ui;
    const bool m_isMainPC;

    SetupFile m_setup;
    RunState m_state;
    QStringList m_filterList;
    FileDialog m_openSetupDialog{FileDialog::Kind::Open};
    FileDialog m_saveSetupDialog{FileDialog::Kind::Save};

    QLabel* m_linkStatus = nullptr;
    ImagePage* m_imagePage = nullptr;   // the "Image" page: last frame, figures, progress
    std::unique_ptr<PeerLink> m_link;
    std::unique_ptr<RunControl> m_runControl;
    std::unique_ptr<CameraConnection> m_camera;
    NightPage* m_nightPage = nullptr;
    std::function<bool(const QString&)> m_restartLauncher;

    bool m_shown = false;
    bool m_closeStepsDone = false;
    bool m_closeWhenRunEnds = false;
};
