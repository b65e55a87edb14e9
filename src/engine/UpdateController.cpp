#include "engine/UpdateController.h"

#include "engine/RunBlocks.h"
#include "engine/RunOutcome.h"
#include "engine/UpdateControllerImpl.h"

#include <utility>

namespace ostrel {

UpdateController::UpdateController(Dependencies dependencies)
    : m_impl(std::make_unique<Impl>(std::move(dependencies)))
{
}

UpdateController::~UpdateController() = default;

void UpdateController::startUp()
{
    m_impl->startUp();
}
void UpdateController::onTimerTick()
{
    m_impl->onTimerTick();
}
std::string UpdateController::onDirectDownload()
{
    return m_impl->onDirectDownload();
}
void UpdateController::onCopyData(int code)
{
    m_impl->onCopyData(code);
}
void UpdateController::onReloadSettings()
{
    m_impl->onReloadSettings();
}
int UpdateController::folderWatchDescriptor() const
{
    return m_impl->m_watch.descriptor();
}
void UpdateController::onFolderActivity()
{
    m_impl->onFolderActivity();
}
void UpdateController::reloadRunSettings()
{
    m_impl->reloadRunSettings();
}

void UpdateController::setStoredDefinitions(const std::vector<FixedFieldDef>& definitions)
{
    m_impl->setStoredDefinitions(definitions);
}

std::string UpdateController::resend(const std::string& path, const std::string& scaleFilter)
{
    return m_impl->resend(path, scaleFilter);
}

void UpdateController::requestFullSend()
{
    UpdateRun::Lock lock(m_impl->run());
    m_impl->m_fullSendRequested = true;
}

void UpdateController::setSettlePolicy(SettlePolicy policy)
{
    m_impl->m_settlePolicy = policy;
}

std::vector<std::string> UpdateController::filesStillBeingWritten() const
{
    return m_impl->m_stillBeingWritten;
}

void UpdateController::registerInterpreters()
{
    RegisterInterpreters(m_impl->m_deps.library);
}

int UpdateController::ConnectProcessScale(const std::string& ipText, std::uint16_t port,
                                          std::uint16_t model)
{
    // No lock: Connect waits for the library's thread.
    return ostrel::ConnectProcessScale(m_impl->m_deps.library, ipText, port, model,
                                       &CallbackRouter::onReply, &CallbackRouter::onEvent);
}

void UpdateController::waitForOpening()
{
    m_impl->run().waitForOpening();
}

bool UpdateController::requestStop()
{
    return m_impl->run().requestStop();
}

void UpdateController::setWindowOpen(bool open)
{
    m_impl->run().setWindowOpen(open);
}
bool UpdateController::windowOpen() const
{
    return m_impl->run().windowOpen();
}
std::vector<std::string> UpdateController::progressLines() const
{
    const std::optional<RunSummary> run = m_impl->run().runSoFar();
    return run ? ostrel::progressLines(*run) : std::vector<std::string>{};
}

bool UpdateController::runBusy() const
{
    return m_impl->run().runBusy();
}

bool UpdateController::runOrReportBusy() const
{
    return m_impl->run().runOrReportBusy();
}
std::int64_t UpdateController::settleWaitMs() const
{
    return m_impl->settleWaitMs();
}
int UpdateController::scaleCount() const
{
    return m_impl->m_holder.scaleCount();
}

std::string UpdateController::settingsError() const
{
    return m_impl->settingsError();
}

void UpdateController::setRunFinishedHandler(std::function<void(const RunSummary&)> handler)
{
    m_impl->run().setRunFinishedHandler(std::move(handler));
}

SettingsHolder& UpdateController::settingsHolder()
{
    return m_impl->m_holder;
}

void UpdateController::setScaleQueryReplyHandler(std::function<int(const SendBlock&)> handler)
{
    m_impl->run().setScaleQueryReplyHandler(std::move(handler));
}

} // namespace ostrel
