#include "app/HeadlessProgram.h"

#include "app/OstrelProgram.h"
#include "platform/FileSystem.h"

#include <cstdio>

namespace ostrel {

std::optional<int> takeForegroundInstance(InstanceServer& instance, InstanceServer::Handler handler,
                                          const char* whenRunning)
{
    instance.refuse(InstanceMessage::Kind::Exit);
    instance.refuse(InstanceMessage::Kind::Configure);
    instance.refuse(InstanceMessage::Kind::PluFileSetting);
    switch (instance.acquire(std::move(handler))) {
    case InstanceServer::Result::Acquired:
        return std::nullopt;
    case InstanceServer::Result::AlreadyRunning:
        std::fprintf(stderr, "ostrel: another Ostrel instance is running; %s\n", whenRunning);
        return kExitAlreadyRunning;
    case InstanceServer::Result::Failed:
        break;
    }
    std::fprintf(stderr, "ostrel: %s\n", qPrintable(instance.errorText()));
    return kExitSettingsError;
}

std::optional<int> takeDocumentsLock(DocumentsLock& lock, const SettingsPaths& paths)
{
    switch (lock.acquire(paths)) {
    case DocumentsLock::Result::Acquired:
    case DocumentsLock::Result::NoSettings:
        return std::nullopt;
    case DocumentsLock::Result::HeldByOther:
        std::fprintf(stderr, "ostrel: %s\n", lock.refusalText().c_str());
        return kExitAlreadyRunning;
    case DocumentsLock::Result::Failed:
        break;
    }
    std::fprintf(stderr, "ostrel: warning: %s\n", lock.refusalText().c_str());
    return std::nullopt;
}

bool settingsFileUsable(const SettingsPaths& paths)
{
    if (!fileExists(paths.tarvikIni) && entryExists(paths.tarvikIni)) {
        std::fprintf(stderr, "ostrel: the settings file %s is not a regular file\n",
                     paths.tarvikIni.c_str());
        return false;
    }
    if (!fileExists(paths.tarvikIni)) {
        std::fprintf(stderr,
                     "ostrel: no settings file %s\n"
                     "ostrel: create the settings with 'ostrel --init-config'\n",
                     paths.tarvikIni.c_str());
        return false;
    }
    return true;
}

} // namespace ostrel
