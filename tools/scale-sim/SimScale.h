// One simulated scale: its TCP listener, its connections and the faults it was told to show.
#pragma once

#include "PluFields.h"
#include "RecordStore.h"
#include "SimOptions.h"

#include "protocol/WireMessages.h"

#include <asio/io_context.hpp>
#include <asio/ip/tcp.hpp>

#include <map>
#include <memory>
#include <set>
#include <string>
#include <utility>

namespace ostrel::sim {

class SimConnection;

class SimScale final
{
public:
    SimScale(asio::io_context& io, ScaleConfig config, RecordStore& store, bool verbose);
    SimScale(const SimScale&) = delete;
    SimScale& operator=(const SimScale&) = delete;

    // Throws std::system_error when the address cannot be bound.
    void bind();
    void start();
    void stop();

    const ScaleConfig& config() const { return m_config; }
    std::uint16_t boundPort() const { return m_boundPort; }
    // "IP:PORT", once bound.
    const std::string& name() const { return m_name; }
    bool verbose() const { return m_verbose; }

    struct Judgement
    {
        RecordReplyMessage reply;
        PluFields fields;
        // Accepted but not stored yet: the caller answers first and then calls keep().
        bool keepAfterReply = false;
    };
    // Refuses the record or accepts it. A store that others read has committed an accepted
    // record by then; the in-memory store, which no one else reads, keeps it after the reply.
    Judgement judge(const RecordView& record);
    void keep(const RecordView& record, const PluFields& fields);
    InfoReplyMessage information(const InfoRequestMessage& request) const;
    void forget(const std::shared_ptr<SimConnection>& connection);

private:
    void accept();

    asio::ip::tcp::acceptor m_acceptor;
    ScaleConfig m_config;
    RecordStore& m_store;
    bool m_verbose;
    std::uint16_t m_boundPort = 0;
    std::string m_name;
    long long m_recordFrames = 0;
    std::map<std::pair<int, int>, int> m_tries; // by department and PLU number
    std::set<std::shared_ptr<SimConnection>> m_connections;
};

} // namespace ostrel::sim
