#include "ui/shell/CMainDlg.h"

#include "engine/UpdateController.h"
#include "eventloop/DescriptorWatch.h"
#include "platform/MessageBox.h"
#include "platform/Registry.h"
#include "protocol/ScaleBlocks.h"
#include "settings/SettingsHolder.h"
#include "ui/format/CPluFileSettingDlg.h"
#include "ui/settings/CConfigDlg.h"
#include "ui/shell/CAboutDlg.h"
#include "ui/shell/CNoTrayDlg.h"
#include "ui/shell/DialogUnits.h"
#include "ui/shell/ProgramIcon.h"

#include <QCloseEvent>

#include <cstdio>

namespace ostrel {
namespace {

constexpr int kCopyDataReloadAndRun = 1094;
constexpr int kTrayWatchMs = 2000;

// Holds the window-open flag while a window opened from the menu is open. The menu still
// works while one is open, so windows can nest: the flag falls with the last of them.
class WindowOpenScope final
{
public:
    WindowOpenScope(UpdateController& controller, int& openWindows)
        : m_controller(controller), m_openWindows(openWindows)
    {
        ++m_openWindows;
        m_controller.setWindowOpen(true);
    }
    ~WindowOpenScope()
    {
        if (--m_openWindows == 0) {
            m_controller.setWindowOpen(false);
        }
    }
    WindowOpenScope(const WindowOpenScope&) = delete;
    WindowOpenScope& operator=(const WindowOpenScope&) = delete;

private:
    UpdateController& m_controller;
    int& m_openWindows;
};

} // namespace

CMainDlg::CMainDlg(Dependencies deps, QWidget* parent)
    : QWidget(parent), m_paths(deps.paths), m_messages(deps.messages), m_library(deps.library),
      m_status(m_tray, deps.paths.tarvikIni),
      m_controller(std::make_unique<UpdateController>(UpdateController::Dependencies{
          deps.paths, deps.library, deps.messages, m_progress, deps.timer, deps.clock}))
{
    setObjectName(QStringLiteral("mainDlg"));
    setWindowTitle(QStringLiteral("Ostrel"));
    setWindowIcon(programIcon());
    setFont(dialogFont());
    setFixedSize(DialogUnits(font()).size(95, 13));
    connect(&m_tray, &CTrayIcon::commandChosen, this, &CMainDlg::OnCommand);
    m_pluFileSettingDlg = new CPluFileSettingDlg(deps.paths, deps.messages, this);

    m_trayAvailable = deps.trayAvailable ? std::move(deps.trayAvailable)
                                         : [] { return QSystemTrayIcon::isSystemTrayAvailable(); };
    m_noTray = std::make_unique<CNoTrayDlg>();
    connect(m_noTray.get(), &CNoTrayDlg::commandChosen, this, &CMainDlg::OnCommand);
    connect(&m_status, &TrayStatus::changed, this, [this] {
        m_noTray->showStatus(m_status.toolTip(), TrayStatus::icon(m_status.state()));
    });
    m_trayWatch.setInterval(kTrayWatchMs);
    connect(&m_trayWatch, &QTimer::timeout, this, &CMainDlg::checkTray);
}

CMainDlg::~CMainDlg()
{
    // The configuration window edits the engine's holder, so it goes first, once no reply
    // can reach its scan or test any more; then the engine: no run may reach the progress
    // window while it is destroyed.
    m_controller->setScaleQueryReplyHandler({});
    m_config.reset();
    m_folderWatch.reset();
    m_controller.reset();
}

bool CMainDlg::OnCreate()
{
    m_tray.Add(QStringLiteral("Ostrel"), programIcon());
    m_trayThere = m_trayAvailable();
    m_trayWatch.start();
    if (m_trayThere) {
        return true;
    }
    std::fputs("ostrel: no system tray is available; the Ostrel window stands in for the tray "
               "icon until one appears\n",
               stderr);
    m_noTray->bringUp();
    return false;
}

void CMainDlg::checkTray()
{
    const bool there = m_trayAvailable();
    if (there == m_trayThere || m_ended) {
        return;
    }
    m_trayThere = there;
    if (there) {
        m_noTray->hide(); // Qt shows the requested icon in the new tray itself
    } else {
        m_noTray->bringUp();
    }
}

void CMainDlg::showWayIn()
{
    if (m_trayThere) {
        OnCommand(Command::Configuration);
    } else {
        m_noTray->bringUp();
    }
}

void CMainDlg::OnInitDialog()
{
    // The progress window exists before the first run can start.
    m_progress.window();
    m_progress.setDetailsSource([this] { return m_controller->progressLines(); });
    connect(&m_progress, &ProgressWindow::runStarted, &m_status, &TrayStatus::runStarted);
    m_controller->setRunFinishedHandler([this](const RunSummary& summary) {
        // May come from the scale library's thread.
        QMetaObject::invokeMethod(
            this, [this, summary] { m_status.runFinished(summary); }, Qt::QueuedConnection);
    });
    m_controller->startUp();
    m_folderWatch = std::make_unique<DescriptorWatch>(m_controller->folderWatchDescriptor(),
                                                      [this] { m_controller->onFolderActivity(); });
    // The settings holder's window: created hidden and loaded once.
    m_config = std::make_unique<CConfigDlg>(m_paths, m_controller->settingsHolder(), m_messages);
    // Its scan and test connect scales through the engine from their own thread; the
    // engine hands them the library's answers while the run mode says so.
    m_config->attachDiscovery(
        m_library,
        [this](const std::string& ip, std::uint16_t port, std::uint16_t model) {
            return OnConnectScale(ip, port, model);
        },
        [this] { return m_controller->runBusy(); });
    ScaleDiscovery* discovery = m_config->discovery();
    m_controller->setScaleQueryReplyHandler(
        [discovery](const SendBlock& block) { return discovery->OnScaleReply(block); });
    m_config->Load();
    connect(m_config.get(), &CConfigDlg::reloadSettingsRequested, this,
            &CMainDlg::configurationHidden);
}

void CMainDlg::OnCommand(int commandId)
{
    switch (commandId) {
    case Command::Configuration:
        openConfiguration();
        break;
    case Command::PluFileSetting:
        openPluFileSetting();
        break;
    case Command::About:
        openAbout();
        break;
    case Command::DirectDownload:
        if (const std::string why = m_controller->onDirectDownload(); !why.empty()) {
            m_status.nothingSent(why);
        }
        break;
    case Command::Exit:
        OnExit();
        break;
    default:
        break;
    }
}

void CMainDlg::OnTimer()
{
    m_controller->onTimerTick();
}

void CMainDlg::OnCopyData(int code)
{
    if (code == kCopyDataReloadAndRun) {
        CProgressDlg* existing = m_progress.existing();
        if (existing != nullptr) {
            existing->setFocus();
        } else {
            m_progress.window();
        }
    }
    m_controller->onCopyData(code);
}

void CMainDlg::OnReloadSettings()
{
    m_controller->onReloadSettings();
}

int CMainDlg::OnConnectScale(const std::string& ipText, std::uint16_t port, std::uint16_t model)
{
    return m_controller->ConnectProcessScale(ipText, port, model);
}

void CMainDlg::OnExit()
{
    if (m_ended) {
        return;
    }
    m_ended = true;
    m_trayWatch.stop();
    m_noTray->hide();
    m_tray.Delete();
    writeExitRegistryValue();
    emit ended();
}

void CMainDlg::setVisible(bool /*visible*/)
{
    QWidget::setVisible(false);
}

void CMainDlg::closeEvent(QCloseEvent* event)
{
    // A close request only hides the window; the program stays in the tray. The progress
    // window goes, and the next run that needs it makes a new one.
    event->ignore();
    hide();
    m_progress.destroyWindow();
}

void CMainDlg::openAbout()
{
    const WindowOpenScope open(*m_controller, m_openWindows);
    CAboutDlg about(this);
    about.exec();
}

void CMainDlg::openConfiguration()
{
    if (!m_config) {
        return;
    }
    if (!m_configOpen) {
        // The window does not block: the flag stays up until it reports its hiding.
        m_configOpen = true;
        ++m_openWindows;
    }
    if (!m_config->isVisible()) {
        m_config->clearConnections();
    }
    m_controller->setWindowOpen(true);
    m_config->show();
    m_config->raise();
    m_config->activateWindow();
}

void CMainDlg::configurationHidden()
{
    OnReloadSettings(); // clears the window-open flag
    if (m_configOpen) {
        m_configOpen = false;
        --m_openWindows;
    }
    if (m_openWindows > 0) {
        m_controller->setWindowOpen(true); // another window from the menu is still open
    }
}

void CMainDlg::openPluFileSetting()
{
    const WindowOpenScope open(*m_controller, m_openWindows);
    if (m_pluFileSettingDlg->runModal() == QDialog::Accepted) {
        m_controller->setStoredDefinitions(m_pluFileSettingDlg->fixedDefinitions());
        m_controller->reloadRunSettings();
    }
}

} // namespace ostrel
