// The program without windows, as the headless, one-off and scale query modes own it, in the
// order it must be torn down: the controller goes before the library whose callbacks it receives.
#pragma once

#include "app/DocumentsLock.h"
#include "app/HeadlessServices.h"
#include "app/SingleInstance.h"
#include "engine/UpdateController.h"
#include "platform/MessageBox.h"
#include "protocol/TcpScaleLibrary.h"
#include "settings/SettingsPaths.h"

#include <memory>
#include <optional>

namespace ostrel {

class HeadlessProgram final
{
public:
    explicit HeadlessProgram(const SettingsPaths& paths)
        : m_timer([this] { m_controller->onTimerTick(); }),
          m_controller(std::make_unique<UpdateController>(UpdateController::Dependencies{
              paths, m_library, m_messages, m_progress, m_timer, m_clock}))
    {
    }
    ~HeadlessProgram() { m_controller.reset(); }
    HeadlessProgram(const HeadlessProgram&) = delete;
    HeadlessProgram& operator=(const HeadlessProgram&) = delete;

    UpdateController& controller() { return *m_controller; }
    ScaleLibrary& library() { return m_library; }

private:
    StderrMessageSink m_messages;
    TcpScaleLibrary m_library;
    TerminalProgress m_progress;
    SystemClock m_clock;
    QtUpdateTimer m_timer;
    std::unique_ptr<UpdateController> m_controller;
};

// Takes the instance for a mode that runs in the foreground and refuses --send exit. Nothing
// when it is taken; else the exit code, with the message printed (`whenRunning` says what to
// do instead).
std::optional<int> takeForegroundInstance(InstanceServer& instance, InstanceServer::Handler handler,
                                          const char* whenRunning);

// Takes the documents folder's lock; the exit code when another instance holds it (the
// message printed). A lock that cannot be made at all is only warned of: the log folder is
// then unwritable too, and refusing would stop every update.
std::optional<int> takeDocumentsLock(DocumentsLock& lock, const SettingsPaths& paths);

// False, with the message printed, when the settings file is missing or no file.
bool settingsFileUsable(const SettingsPaths& paths);

} // namespace ostrel
