#include "discovery/ScaleQueryCommand.h"

#include "settings/ConfigForm.h"
#include "settings/SettingsHolder.h"

#include <algorithm>
#include <filesystem>

namespace ostrel {

ScaleQueryCommand::ScaleQueryCommand(Dependencies deps)
    : m_deps(std::move(deps)),
      m_discovery({m_deps.library,
                   m_deps.holder,
                   m_deps.paths.tarvikIni,
                   m_deps.connectScale,
                   [this](std::function<void()> task) { post(std::move(task)); },
                   [this](const std::string& text) { m_errors.push_back(text); },
                   {},
                   captionLookup(std::filesystem::current_path().string(), "", "CONF_COMM",
                                 "CF_COMM_CONNECTED", "Connected"),
                   m_deps.pauses,
                   // Refused before it starts while an instance, the only one that runs, is up.
                   {}})
{
}

ScaleQueryCommand::~ScaleQueryCommand() = default;

int ScaleQueryCommand::OnScaleReply(const SendBlock& block)
{
    return m_discovery.OnScaleReply(block);
}

void ScaleQueryCommand::post(std::function<void()> task)
{
    {
        std::lock_guard lock(m_mutex);
        m_tasks.push_back(std::move(task));
    }
    m_posted.notify_all();
}

void ScaleQueryCommand::runTasksUntil(std::chrono::steady_clock::time_point end,
                                      const std::function<bool()>& done)
{
    std::unique_lock lock(m_mutex);
    while (!done()) {
        if (m_tasks.empty() &&
            !m_posted.wait_until(lock, end, [this] { return !m_tasks.empty(); })) {
            return;
        }
        std::function<void()> task = std::move(m_tasks.front());
        m_tasks.pop_front();
        lock.unlock();
        task();
        lock.lock();
    }
}

int ScaleQueryCommand::scan()
{
    m_deps.holder.scaleTable().load({});
    const int sent = m_discovery.Scan();
    const auto now = std::chrono::steady_clock::now;
    runTasksUntil(now() + m_deps.times.scanReplies, [] { return false; });
    // The replies queued queries; their answers come after the last one went out.
    auto end = now() + m_deps.times.answers;
    const auto answered = [this, &end, &now] {
        if (m_discovery.queriesBusy()) {
            end = now() + m_deps.times.answers;
            return false;
        }
        const auto& rows = m_deps.holder.scaleTable().rows();
        return m_discovery.connections().size() <=
               static_cast<std::size_t>(std::count_if(
                   rows.begin(), rows.end(), [](const auto& r) { return !r.connection.empty(); }));
    };
    while (now() < end && !answered()) {
        runTasksUntil(std::min(end, now() + std::chrono::milliseconds(100)), answered);
    }
    return sent;
}

int ScaleQueryCommand::test()
{
    m_discovery.ConnectionTest();
    const auto now = std::chrono::steady_clock::now;
    auto end = now() + m_deps.times.answers;
    const auto answered = [this, &end, &now] {
        if (m_discovery.queriesBusy()) {
            end = now() + m_deps.times.answers;
            return false;
        }
        const auto& rows = m_deps.holder.scaleTable().rows();
        return std::all_of(rows.begin(), rows.end(),
                           [](const auto& r) { return !r.connection.empty(); });
    };
    while (now() < end && !answered()) {
        runTasksUntil(std::min(end, now() + std::chrono::milliseconds(100)), answered);
    }
    return static_cast<int>(m_deps.holder.scaleTable().size());
}

bool ScaleQueryCommand::save(std::string& error)
{
    const ConfigFormTexts form = loadConfigForm(m_deps.paths);
    const ConfigSaveResult result =
        saveConfigForm(m_deps.paths, form, m_deps.holder.scaleTable().columns());
    switch (result.outcome) {
    case ConfigSaveOutcome::Completed:
        return true;
    case ConfigSaveOutcome::NotSaved:
        error = "the configuration file (CONFIG ROOT) names nothing; nothing was saved";
        return false;
    case ConfigSaveOutcome::CheckData:
        error = "Update Cycle or Update Interval is empty in Tarvik.ini; the scales were not saved";
        return false;
    case ConfigSaveOutcome::Failed:
        break;
    }
    error = "cannot write " + m_deps.paths.tarvikIni;
    return false;
}

} // namespace ostrel
