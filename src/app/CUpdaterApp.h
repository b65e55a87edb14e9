// The desktop program's application object: one instance per user, the hidden main window
// with its tray icon, the update timer, and the messages of later starts and other programs.
#pragma once

#include "app/DocumentsLock.h"
#include "app/HeadlessServices.h"
#include "app/SingleInstance.h"
#include "eventloop/EventLoopCalls.h"
#include "settings/SettingsPaths.h"
#include "ui/shell/CMainDlg.h"

#include <QObject>
#include <QString>

#include <functional>
#include <memory>
#include <optional>

namespace ostrel {

class Clock;
class MessageSink;
class ScaleLibrary;

class CUpdaterApp final
{
public:
    struct Services
    {
        ScaleLibrary& library;
        MessageSink& messages;
        const Clock& clock;
        std::function<bool()> trayAvailable = {}; // unset: Qt's answer
    };

    enum class Start
    {
        Running,        // this is the instance; the main window is up
        SecondInstance, // the running instance was given the message
        NotDelivered,   // the running instance did not take the message of --start --send
        FolderInUse,    // another instance sends from the same documents folder
        Failed
    };

    CUpdaterApp(InstancePaths instance, SettingsPaths paths, Services services);
    ~CUpdaterApp();
    CUpdaterApp(const CUpdaterApp&) = delete;
    CUpdaterApp& operator=(const CUpdaterApp&) = delete;

    // Needs a QApplication. The main window's end() quits the application's event loop.
    // A second start gives the running instance `initial` (Show when none is given); the
    // first instance handles `initial` itself once it is up.
    Start InitInstance(std::optional<InstanceMessage> initial = std::nullopt);
    // Ends the main window if the event loop ended otherwise (a signal): the icon goes and the
    // registry value is written all the same.
    void ExitInstance();

    // Exit as the exit message asks for it, also from a signal: open message boxes and dialogs
    // are closed, so the end never waits for someone to click OK.
    void requestExit();
    bool exitRequested() const { return m_exitRequested; }

    CMainDlg* mainDlg() { return m_mainDlg.get(); }
    QString errorText() const { return m_error; }

private:
    void onMessage(const InstanceMessage& message);

    InstancePaths m_instancePaths;
    SettingsPaths m_paths;
    Services m_services;
    InstanceServer m_instance;
    DocumentsLock m_documentsLock;
    EventLoopCalls m_messageCalls; // queued messages die with the application object
    QtUpdateTimer m_timer;
    std::unique_ptr<CMainDlg> m_mainDlg;
    QString m_error;
    bool m_exitRequested = false;
};

} // namespace ostrel
