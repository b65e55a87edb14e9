#include "SimScale.h"

#include "SimConnection.h"

#include <cstdio>

namespace ostrel::sim {

SimScale::SimScale(asio::io_context& io, ScaleConfig config, RecordStore& store, bool verbose)
    : m_acceptor(io), m_config(std::move(config)), m_store(store), m_verbose(verbose)
{
}

void SimScale::bind()
{
    const asio::ip::tcp::endpoint endpoint(asio::ip::make_address_v4(m_config.address),
                                           m_config.port);
    m_acceptor.open(endpoint.protocol());
    m_acceptor.set_option(asio::ip::tcp::acceptor::reuse_address(true));
    m_acceptor.bind(endpoint);
    m_acceptor.listen();
    m_boundPort = m_acceptor.local_endpoint().port();
    m_name = m_config.address + ":" + std::to_string(m_boundPort);
}

void SimScale::start()
{
    accept();
}

void SimScale::stop()
{
    asio::error_code ignored;
    m_acceptor.close(ignored);
    for (const auto& connection : std::set(m_connections))
        connection->close();
    m_connections.clear();
}

void SimScale::accept()
{
    m_acceptor.async_accept([this](asio::error_code ec, asio::ip::tcp::socket socket) {
        if (ec) {
            if (ec != asio::error::operation_aborted && m_acceptor.is_open())
                accept();
            return;
        }
        auto connection = std::make_shared<SimConnection>(std::move(socket), *this);
        m_connections.insert(connection);
        connection->start();
        accept();
    });
}

void SimScale::forget(const std::shared_ptr<SimConnection>& connection)
{
    m_connections.erase(connection);
}

SimScale::Judgement SimScale::judge(const RecordView& record)
{
    const FaultConfig& faults = m_config.faults;
    Judgement judged;
    judged.fields = decodePluFields(record.record);
    const PluFields& fields = judged.fields;
    RecordReplyMessage& reply = judged.reply;
    ++m_recordFrames;
    // Tries are counted only for the fault that needs them: a long run sends many records.
    const int tries = faults.refuseFirst > 0 ? ++m_tries[{fields.department, fields.pluNumber}] : 1;
    if (tries <= faults.refuseFirst) {
        reply.errorText = faults.refuseFirstText;
    } else if (faults.refusePlu != 0 && fields.pluNumber == faults.refusePlu) {
        reply.errorText = faults.refusePluText;
    } else if (faults.refuseEvery > 0 && m_recordFrames % faults.refuseEvery == 0) {
        reply.errorText = faults.refuseEveryText;
    } else if (m_store.inMemory()) {
        reply.accepted = true;
        judged.keepAfterReply = true;
    } else if (!m_store.store(m_name, record.action, record.record, fields)) {
        reply.errorText = "E90 store failed";
    } else {
        reply.accepted = true;
    }
    if (m_verbose)
        std::fprintf(stderr, "%s: record action %d department %d PLU %d: %s\n", name().c_str(),
                     record.action, fields.department, fields.pluNumber,
                     reply.accepted ? "accepted" : reply.errorText.c_str());
    return judged;
}

void SimScale::keep(const RecordView& record, const PluFields& fields)
{
    // The scale has answered already; all that is left is to say the record is lost.
    if (!m_store.store(m_name, record.action, record.record, fields))
        std::fprintf(stderr, "%s: record department %d PLU %d accepted but not stored\n",
                     name().c_str(), fields.department, fields.pluNumber);
}

InfoReplyMessage SimScale::information(const InfoRequestMessage& request) const
{
    InfoReplyMessage reply;
    if (request.dataKind != 61 && request.dataKind != 62 && request.dataKind != 6) {
        reply.status = 0;
        reply.text = "unknown data kind " + std::to_string(request.dataKind);
        return reply;
    }
    reply.status = 1;
    reply.text = m_config.modelName;
    reply.modelCode = m_config.modelCode;
    reply.version1 = m_config.version1;
    reply.version2 = m_config.version2;
    reply.version3 = m_config.version3;
    reply.version4 = m_config.version4;
    return reply;
}

} // namespace ostrel::sim
