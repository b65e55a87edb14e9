// The hidden main window: owns what lives as long as the program (the tray icon, the window
// that stands in for it on a desktop without a tray, the progress window, the update engine)
// and turns the menu commands, the timer, the messages of other programs and the exit into
// the engine's operations. It is never shown.
#pragma once

#include "engine/RunServices.h"
#include "engine/UpdateController.h"
#include "settings/SettingsPaths.h"
#include "ui/shell/CTrayIcon.h"
#include "ui/shell/ProgressWindow.h"
#include "ui/shell/TrayStatus.h"

#include <QTimer>
#include <QWidget>

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

namespace ostrel {

class CConfigDlg;
class DescriptorWatch;
class CNoTrayDlg;
class CPluFileSettingDlg;
class MessageSink;
class ScaleLibrary;

class CMainDlg final : public QWidget
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(CMainDlg)

public:
    struct Dependencies
    {
        SettingsPaths paths;
        ScaleLibrary& library;
        MessageSink& messages;
        UpdateTimer& timer; // ticks come back through OnTimer
        const Clock& clock;
        // Whether a tray is there now; unset, Qt's answer. Asked at creation and then
        // every few seconds, as Qt tells nobody when a tray comes or goes.
        std::function<bool()> trayAvailable = {};
    };

    explicit CMainDlg(Dependencies dependencies, QWidget* parent = nullptr);
    ~CMainDlg() override;

    // Window creation: the tray icon. False when no tray is there: the program runs on and
    // shows the no-tray window instead.
    bool OnCreate();
    // Looks again whether a tray is there: when one came, the no-tray window hides and the
    // icon takes over; when it went, the window comes back.
    void checkTray();
    // A second start from the menu: the no-tray window, or with a tray the configuration
    // window.
    void showWayIn();
    // The start-up: settings, timer, progress window, discovery, the first run.
    void OnInitDialog();

    void OnCommand(int commandId);
    void OnTimer();
    void OnCopyData(int code);
    void OnReloadSettings();
    // MSG_CONNECT_SCALE: ConnectProcessScale for the scan and the connection test. It only
    // calls the scale library, so their query worker calls it from its own thread.
    int OnConnectScale(const std::string& ipText, std::uint16_t port, std::uint16_t model);
    // "Exit" and the exit message: the icon goes, the registry value is written, ended() is
    // emitted. Once only.
    void OnExit();

    // Hidden whatever is asked: the program lives in the tray.
    void setVisible(bool visible) override;

    UpdateController& controller() { return *m_controller; }
    CTrayIcon& trayIcon() { return m_tray; }
    ProgressWindow& progress() { return m_progress; }
    TrayStatus& trayStatus() { return m_status; }
    CNoTrayDlg& noTrayDlg() { return *m_noTray; }
    // The settings holder's window; null before OnInitDialog.
    CConfigDlg* configDlg() const { return m_config.get(); }
    CPluFileSettingDlg& pluFileSettingDlg() { return *m_pluFileSettingDlg; }
    bool hasEnded() const { return m_ended; }

signals:
    void ended();

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void openAbout();
    void openConfiguration();
    // The configuration window reported its hiding: reload, and its part of the flag falls.
    void configurationHidden();
    void openPluFileSetting();

    SettingsPaths m_paths;
    MessageSink& m_messages;
    ScaleLibrary& m_library;
    CTrayIcon m_tray;
    TrayStatus m_status;
    ProgressWindow m_progress;
    std::unique_ptr<UpdateController> m_controller;
    std::unique_ptr<DescriptorWatch> m_folderWatch; // the PLU folder, when it is watched
    std::unique_ptr<CConfigDlg> m_config;
    bool m_configOpen = false;
    CPluFileSettingDlg* m_pluFileSettingDlg = nullptr; // one object for the program's life
    // A window of its own, not a child: it must show in the task bar like any program.
    std::unique_ptr<CNoTrayDlg> m_noTray;
    std::function<bool()> m_trayAvailable;
    QTimer m_trayWatch;
    bool m_trayThere = true;
    int m_openWindows = 0; // windows from the menu that are open now
    bool m_ended = false;
};

} // namespace ostrel
