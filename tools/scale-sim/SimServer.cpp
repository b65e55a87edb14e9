#include "SimServer.h"

#include <asio/post.hpp>

#include <stdexcept>
#include <system_error>

namespace ostrel::sim {

SimServer::SimServer(SimConfig config) : m_config(std::move(config)), m_store(m_config.dbPath)
{
    for (const auto& scale : m_config.scales)
        m_scales.push_back(std::make_unique<SimScale>(m_io, scale, m_store, m_config.verbose));
    if (m_config.scanEnabled)
        m_scan = std::make_unique<ScanResponder>(
            m_io, [this] { return scanReplies(); }, m_config.verbose);
}

SimServer::~SimServer()
{
    m_io.stop();
    for (auto& scale : m_scales)
        scale->stop();
    if (m_scan)
        m_scan->stop();
}

void SimServer::bind()
{
    for (auto& scale : m_scales) {
        try {
            scale->bind();
        } catch (const std::system_error& e) {
            throw std::runtime_error("cannot listen on " + scale->config().address + ":" +
                                     std::to_string(scale->config().port) + ": " +
                                     e.code().message());
        }
    }
    if (m_scan) {
        try {
            m_scan->bind(m_config.scanBind, m_config.scanPort);
        } catch (const std::system_error& e) {
            throw std::runtime_error("cannot bind the scan port " + m_config.scanBind + ":" +
                                     std::to_string(m_config.scanPort) + ": " + e.code().message());
        }
    }
}

std::string SimServer::readyLine() const
{
    std::string line = "ready";
    // Appended piece by piece: g++ -O3 mistakes a temporary concatenation for an overlapping copy.
    for (const auto& scale : m_scales) {
        line += ' ';
        line += scale->name();
    }
    if (m_scan) {
        line += " scan:";
        line += std::to_string(m_scan->boundPort());
    }
    return line;
}

void SimServer::run()
{
    for (auto& scale : m_scales)
        scale->start();
    if (m_scan)
        m_scan->start();
    m_io.run();
}

void SimServer::stop()
{
    asio::post(m_io, [this] {
        for (auto& scale : m_scales)
            scale->stop();
        if (m_scan)
            m_scan->stop();
        // Whatever is still queued (a delayed reply) is dropped with the loop.
        m_io.stop();
    });
}

std::vector<ScanReplyBytes> SimServer::scanReplies() const
{
    std::vector<ScanReplyBytes> replies;
    for (const auto& scale : m_scales) {
        const auto& config = scale->config();
        ScanReply reply;
        reply.address = asio::ip::make_address_v4(config.address).to_bytes();
        const std::uint16_t port = scale->boundPort();
        // Address and port together tell one simulated scale from another.
        std::copy(reply.address.begin(), reply.address.end(), reply.identifier.begin());
        reply.identifier[4] = static_cast<std::uint8_t>(port >> 8);
        reply.identifier[5] = static_cast<std::uint8_t>(port);
        reply.port = port;
        reply.value24 = config.modelCode;
        reply.value30 = static_cast<std::uint16_t>(config.version1);
        reply.value32 = config.version3;
        replies.push_back(encodeScanReply(reply));
    }
    return replies;
}

} // namespace ostrel::sim
