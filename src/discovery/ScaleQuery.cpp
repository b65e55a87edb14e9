#include "discovery/ScaleQuery.h"

#include "protocol/ScaleLibrary.h"

#include <algorithm>

namespace ostrel {

ScaleQueryPlan planScaleQuery(const std::string& modelName)
{
    if (modelName == "QV7100" || modelName == "QV7600" || modelName == "QV7300") {
        return {7100, {kDataKindInfo}};
    }
    if (modelName == "QV7100MN") {
        return {7110, {kDataKindInfoMn}};
    }
    if (modelName.empty()) {
        return {7100, {kDataKindInfoMn, kDataKindInfo}};
    }
    return {7100, {kDataKindInfoOther}};
}

ScaleQueryRequest::ScaleQueryRequest(const std::string& ipText, std::uint16_t port,
                                     std::uint16_t modelCode)
    : m_port(port), m_modelCode(modelCode)
{
    // The block ends with a zero byte whatever the text's length.
    std::copy_n(ipText.begin(), std::min(ipText.size(), m_ip.size() - 1), m_ip.begin());
}

SendBlock ScaleQueryRequest::block(std::uint8_t dataKind) const
{
    SendBlock block;
    block.connectionId = kConnectionIdAny;
    block.ipText = m_ip.data();
    block.flag8 = 1;
    block.flag9 = 1;
    block.dataKind = dataKind;
    block.scaleKind = kScaleKind;
    block.modelCode = m_modelCode;
    block.actionCode = kActionInfoRequest;
    block.data = const_cast<std::int32_t*>(&m_port); // the library only reads it
    return block;
}

ScaleQueryWorker::ScaleQueryWorker(ScaleLibrary& library, ConnectScale connect,
                                   ScaleQueryPauses pauses)
    : m_library(library), m_connect(std::move(connect)), m_pauses(pauses),
      m_thread([this](const std::stop_token& stop) { run(stop); })
{
}

ScaleQueryWorker::~ScaleQueryWorker()
{
    m_thread.request_stop();
    m_changed.notify_all();
}

void ScaleQueryWorker::enqueue(ScaleQueryTarget target)
{
    {
        std::lock_guard lock(m_mutex);
        m_queue.push_back(std::move(target));
    }
    m_changed.notify_all();
}

void ScaleQueryWorker::waitUntilIdle()
{
    std::unique_lock lock(m_mutex);
    m_changed.wait(lock, [this] { return m_queue.empty() && !m_busy; });
}

bool ScaleQueryWorker::busy()
{
    std::lock_guard lock(m_mutex);
    return !m_queue.empty() || m_busy;
}

void ScaleQueryWorker::run(const std::stop_token& stop)
{
    std::unique_lock lock(m_mutex);
    while (!stop.stop_requested()) {
        if (!m_changed.wait(lock, stop, [this] { return !m_queue.empty(); })) {
            break;
        }
        const ScaleQueryTarget target = std::move(m_queue.front());
        m_queue.pop_front();
        m_busy = true;
        lock.unlock();
        query(target, stop);
        lock.lock();
        m_busy = false;
        m_changed.notify_all();
    }
    m_queue.clear();
    m_busy = false;
    m_changed.notify_all();
}

void ScaleQueryWorker::query(const ScaleQueryTarget& target, const std::stop_token& stop)
{
    const ScaleQueryPlan plan = planScaleQuery(target.modelName);
    // SendDataEx has taken what it needs from the block when it returns, so the request may
    // go with this query.
    const ScaleQueryRequest request(target.ipText, target.port, plan.modelCode);
    m_connect(target.ipText, target.port, plan.modelCode);
    if (plan.dataKinds.size() == 1) {
        m_library.SendDataEx(request.block(plan.dataKinds.front()));
        return;
    }
    m_library.SendDataEx(request.block(plan.dataKinds[0]));
    if (!pause(m_pauses.afterFirst, stop)) {
        return;
    }
    m_library.SendDataEx(request.block(plan.dataKinds[1]));
    pause(m_pauses.afterSecond, stop);
}

bool ScaleQueryWorker::pause(std::chrono::milliseconds time, const std::stop_token& stop)
{
    std::unique_lock lock(m_mutex);
    m_changed.wait_for(lock, stop, time, [] { return false; });
    return !stop.stop_requested();
}

} // namespace ostrel
