#include "app/CUpdaterApp.h"

#include "format/ConfigTemplate.h"
#include "format/FirstRun.h"
#include "platform/MessageBox.h"

#include <QApplication>
#include <QDialog>

#include <cstdio>

namespace ostrel {
namespace {

// Every event loop ends, the modal ones of message boxes and dialogs included.
void endAllEventLoops()
{
    for (QWidget* widget : QApplication::topLevelWidgets()) {
        auto* dialog = qobject_cast<QDialog*>(widget);
        if (dialog != nullptr && dialog->isVisible()) {
            dialog->reject();
        }
    }
    QCoreApplication::exit(0);
}

} // namespace

CUpdaterApp::CUpdaterApp(InstancePaths instance, SettingsPaths paths, Services services)
    : m_instancePaths(std::move(instance)), m_paths(std::move(paths)),
      m_services(std::move(services)), m_instance(m_instancePaths), m_timer([this] {
          if (m_mainDlg) {
              m_mainDlg->OnTimer();
          }
      })
{
}

CUpdaterApp::~CUpdaterApp()
{
    // The main window (and the engine in it) goes before the timer that ticks into it.
    m_mainDlg.reset();
}

CUpdaterApp::Start CUpdaterApp::InitInstance(std::optional<InstanceMessage> initial)
{
    const auto acquired = m_instance.acquire([this](const InstanceMessage& message) {
        // Acknowledged at once; the trigger runs from the event loop, so a message box it
        // shows does not keep the sender waiting.
        m_messageCalls.post([this, message] { onMessage(message); });
    });
    if (acquired == InstanceServer::Result::AlreadyRunning) {
        if (!sendToRunningInstance(m_instancePaths, initial.value_or(InstanceMessage::show()), 5000,
                                   &m_error)) {
            std::fprintf(stderr, "ostrel: %s\n", qPrintable(m_error));
            if (initial) {
                return Start::NotDelivered;
            }
        }
        return Start::SecondInstance;
    }
    if (acquired == InstanceServer::Result::Failed) {
        m_error = m_instance.errorText();
        return Start::Failed;
    }

    m_mainDlg = std::make_unique<CMainDlg>(
        CMainDlg::Dependencies{m_paths, m_services.library, m_services.messages, m_timer,
                               m_services.clock, m_services.trayAvailable});
    // The window itself is the context: a queued end that arrives after it is gone (and this
    // object with it) is dropped instead of ending some later event loop.
    QObject::connect(
        m_mainDlg.get(), &CMainDlg::ended, m_mainDlg.get(),
        [this] {
            m_exitRequested = true;
            endAllEventLoops();
        },
        Qt::QueuedConnection);
    // Without a tray the program runs on with the no-tray window; Qt shows the icon once a
    // tray appears.
    m_mainDlg->OnCreate();
    // With the icon in place, before the start-up, whose messages would only say that the
    // settings are missing.
    const FirstRunOutcome firstRun =
        offerFirstRun(m_paths, findConfigTemplateDir(), m_services.messages);
    if (m_exitRequested) {
        return Start::Running; // ended while the question was open
    }
    // Another Ostrel on this documents folder with another runtime folder (a cron job's
    // --once, a second session): two senders would race for the same files.
    const DocumentsLock::Result folder = m_documentsLock.acquire(m_paths);
    if (folder == DocumentsLock::Result::HeldByOther) {
        m_error = QString::fromStdString(m_documentsLock.refusalText());
        m_services.messages.ShowMessage("Ostrel is already running.\n\n" +
                                            m_documentsLock.refusalText(),
                                        "Ostrel", MessageIcon::Warning, MessageButtons::Ok);
        m_mainDlg.reset();
        return Start::FolderInUse;
    }
    if (folder == DocumentsLock::Result::Failed) {
        std::fprintf(stderr, "ostrel: warning: %s\n", m_documentsLock.refusalText().c_str());
    }
    m_mainDlg->OnInitDialog();
    if (firstRun == FirstRunOutcome::Created && m_mainDlg->controller().scaleCount() == 0) {
        // The template has no scale: the next step is registering one.
        m_mainDlg->OnCommand(Command::Configuration);
    }
    if (initial) {
        // From the event loop, as a message of a later start would come.
        m_messageCalls.post([this, message = *initial] { onMessage(message); });
    }
    return Start::Running;
}

void CUpdaterApp::requestExit()
{
    if (m_mainDlg) {
        m_mainDlg->OnExit(); // its ended() ends the loops
    } else {
        m_exitRequested = true;
        endAllEventLoops();
    }
}

void CUpdaterApp::ExitInstance()
{
    if (m_mainDlg) {
        m_mainDlg->OnExit();
    }
}

void CUpdaterApp::onMessage(const InstanceMessage& message)
{
    if (!m_mainDlg || m_mainDlg->hasEnded()) {
        return;
    }
    if (message.kind == InstanceMessage::Kind::Exit) {
        m_mainDlg->OnExit();
        return;
    }
    switch (message.kind) {
    case InstanceMessage::Kind::Configure:
        m_mainDlg->OnCommand(Command::Configuration);
        return;
    case InstanceMessage::Kind::PluFileSetting:
        m_mainDlg->OnCommand(Command::PluFileSetting);
        return;
    case InstanceMessage::Kind::RunFull:
        m_mainDlg->controller().requestFullSend();
        break;
    default:
        break;
    }
    m_mainDlg->OnCopyData(message.code);
    if (message.kind == InstanceMessage::Kind::Show) {
        // Started again from the menu: the user wants a window, not only a run.
        m_mainDlg->showWayIn();
    }
}

} // namespace ostrel
