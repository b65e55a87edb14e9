// The whole simulator: the store, every scale and the scan responder on one I/O thread.
#pragma once

#include "RecordStore.h"
#include "ScanResponder.h"
#include "SimOptions.h"
#include "SimScale.h"

#include <asio/io_context.hpp>

#include <memory>
#include <string>
#include <vector>

namespace ostrel::sim {

class SimServer final
{
public:
    // Throws std::runtime_error when the database cannot be opened.
    explicit SimServer(SimConfig config);
    ~SimServer();
    SimServer(const SimServer&) = delete;
    SimServer& operator=(const SimServer&) = delete;

    // Binds every listener; throws std::system_error naming nothing on failure, so the
    // caller reports which step failed through the message.
    void bind();
    // "ready IP:PORT ... [scan:PORT]"
    std::string readyLine() const;
    // Runs until stop(); stop() may be called from any thread or a signal handler's hop.
    void run();
    void stop();

    std::uint16_t scalePort(std::size_t index) const { return m_scales.at(index)->boundPort(); }
    std::uint16_t scanPort() const { return m_scan ? m_scan->boundPort() : 0; }

private:
    std::vector<ScanReplyBytes> scanReplies() const;

    SimConfig m_config;
    asio::io_context m_io;
    RecordStore m_store;
    std::vector<std::unique_ptr<SimScale>> m_scales;
    std::unique_ptr<ScanResponder> m_scan;
};

} // namespace ostrel::sim
