#include "protocol/TcpScaleLibrary.h"

#include "protocol/Ipv4Text.h"
#include "protocol/TimedConnect.h"

#include <asio/post.hpp>

#include <cstring>
#include <optional>

namespace ostrel {

namespace {

std::string trimmed(const char* text)
{
    std::string s = text ? text : "";
    const auto first = s.find_first_not_of(" \t\r\n");
    if (first == std::string::npos)
        return {};
    return s.substr(first, s.find_last_not_of(" \t\r\n") - first + 1);
}

std::optional<asio::ip::address_v4> parseAddress(const std::string& text)
{
    // Not make_address_v4: inet_pton refuses the zero-padded octets that stored lists hold.
    const auto octets = parseDecimalIpv4(text);
    if (!octets)
        return std::nullopt;
    return asio::ip::address_v4(*octets);
}

} // namespace

TcpScaleLibrary::TcpScaleLibrary(TcpScaleLibraryOptions options) : m_options(options) {}

TcpScaleLibrary::~TcpScaleLibrary()
{
    // The loop must be gone before the sessions: their handlers run on it.
    m_thread.stop();
    std::lock_guard lock(m_mutex);
    m_sessions.clear();
}

int TcpScaleLibrary::SetCommLibrary(int, const char*, int)
{
    // Our only transport is TCP; the name is accepted for the callers' sake.
    return 1;
}

int TcpScaleLibrary::AddInterpreter(int scaleKind, int modelCode, const char*)
{
    std::lock_guard lock(m_mutex);
    m_interpreters.emplace(scaleKind, modelCode);
    return 1;
}

int TcpScaleLibrary::SetDataOptionFilePath(const char* path)
{
    std::lock_guard lock(m_mutex);
    m_dataOptionPath = path ? path : "";
    return 1;
}

std::string TcpScaleLibrary::dataOptionFilePath() const
{
    std::lock_guard lock(m_mutex);
    return m_dataOptionPath;
}

int TcpScaleLibrary::CheckIp2(int, const char* ipText, std::uint16_t port)
{
    const auto address = parseAddress(trimmed(ipText));
    if (!address || port == 0)
        return 0;
    const asio::ip::tcp::endpoint endpoint(*address, port);
    // By value: a caller let go by stopWaiting() returns before the probe ends.
    auto probe = [endpoint, limit = m_options.connectTimeout](
                     asio::io_context& io, const std::function<void(bool)>& done) {
        connectWithTimeout(io, endpoint, limit,
                           [done](asio::error_code ec, asio::ip::tcp::socket socket) {
                               asio::error_code ignored;
                               socket.close(ignored);
                               done(!ec);
                           });
    };
    if (m_thread.isCurrent()) {
        // Called from a callback: the library loop cannot wait on itself.
        asio::io_context local;
        bool reachable = false;
        probe(local, [&reachable](bool ok) { reachable = ok; });
        local.run();
        return reachable ? 1 : 0;
    }
    const WaitTicket ticket(m_waits);
    if (!ticket)
        return 0;
    asio::post(m_thread.context(), [this, probe, answer = ticket.answer()] {
        probe(m_thread.context(), [answer](bool ok) { answer->give(ok); });
    });
    return ticket.answer()->wait() ? 1 : 0;
}

int TcpScaleLibrary::addRegistration(int scaleKind, int modelCode, Registration registration)
{
    const std::string key = trimmed(registration.ipText.c_str());
    if (key.empty() || !parseAddress(key))
        return 0;
    std::lock_guard lock(m_mutex);
    if (!m_interpreters.contains({scaleKind, modelCode}))
        return 0;
    m_registrations[key] = std::move(registration);
    return 1;
}

int TcpScaleLibrary::AddConnectionEx(ConnectionBlock block)
{
    if (!block.ipText)
        return 0;
    Registration r;
    r.ipText = block.ipText;
    r.port = block.port;
    r.onReply = block.onReply;
    r.onEvent = block.onEvent;
    r.eventBlock.connectionId = block.connectionId;
    r.eventBlock.dataKind = block.dataKind;
    r.eventBlock.scaleKind = block.scaleKind;
    r.eventBlock.modelCode = block.modelCode;
    r.eventBlock.version1 = block.version1;
    r.eventBlock.version2 = block.version2;
    r.eventBlock.version3 = block.version3;
    r.eventBlock.version4 = block.version4;
    return addRegistration(block.scaleKind, block.modelCode, std::move(r));
}

int TcpScaleLibrary::AddProcConnectionEx(int, const char* ipText, std::uint16_t port, int scaleKind,
                                         int modelCode, int, int, int, ReplyCallback onReply,
                                         EventCallback onEvent, int connectionId, int)
{
    if (!ipText)
        return 0;
    Registration r;
    r.ipText = ipText;
    r.port = port;
    r.onReply = onReply;
    r.onEvent = onEvent;
    r.eventBlock.connectionId = static_cast<std::uint16_t>(connectionId);
    r.eventBlock.scaleKind = static_cast<std::uint16_t>(scaleKind);
    r.eventBlock.modelCode = static_cast<std::uint16_t>(modelCode);
    return addRegistration(scaleKind, modelCode, std::move(r));
}

std::shared_ptr<ScaleSession> TcpScaleLibrary::findSession(const std::string& key)
{
    std::lock_guard lock(m_mutex);
    const auto it = m_sessions.find(key);
    return it == m_sessions.end() ? nullptr : it->second;
}

int TcpScaleLibrary::Connect(const char* ipText, int)
{
    // Opening waits for the loop, which cannot happen from inside a callback.
    if (m_thread.isCurrent())
        return 0;
    const WaitTicket ticket(m_waits);
    if (!ticket)
        return 0;
    const std::string key = trimmed(ipText);
    std::shared_ptr<ScaleSession> session;
    std::shared_ptr<ScaleSession> replaced;
    {
        std::lock_guard lock(m_mutex);
        const auto reg = m_registrations.find(key);
        if (reg == m_registrations.end())
            return 0;
        auto& slot = m_sessions[key];
        if (slot && slot->isOpen())
            return 1;
        SessionConfig config;
        config.ipText = reg->second.ipText;
        config.endpoint = asio::ip::tcp::endpoint(*parseAddress(key), reg->second.port);
        config.onReply = reg->second.onReply;
        config.onEvent = reg->second.onEvent;
        config.eventBlock = reg->second.eventBlock;
        config.connectTimeout = m_options.connectTimeout;
        config.replyTimeout = m_options.replyTimeout;
        config.maxPending = m_options.maxPendingPerScale;
        replaced = std::exchange(slot, std::make_shared<ScaleSession>(m_thread.context(), config));
        session = slot;
    }
    asio::post(m_thread.context(), [session, replaced, answer = ticket.answer()] {
        if (replaced)
            replaced->close();
        session->open([answer](bool ok) { answer->give(ok); });
    });
    if (ticket.answer()->wait())
        return 1;
    // Let go while it was opening: the session must not open later for nobody.
    asio::post(m_thread.context(), [session] { session->close(); });
    std::lock_guard lock(m_mutex);
    const auto it = m_sessions.find(key);
    if (it != m_sessions.end() && it->second == session)
        m_sessions.erase(it);
    return 0;
}

int TcpScaleLibrary::SendDataEx(SendBlock block)
{
    SessionRequest request;
    std::span<const std::uint8_t> record; // the caller's, written after request.frame
    if (block.actionCode == kActionRecord || block.actionCode == kActionDelete) {
        if (block.dataKind != kDataKindPlu || block.dataSize != kPluRecordSize || !block.data)
            return 0;
        request.type = MessageType::Record;
        const auto head = encodeRecordFrameHead(static_cast<std::uint8_t>(block.actionCode),
                                                block.dataKind, block.modelCode);
        request.frame.assign(head.begin(), head.end());
        record = std::span(static_cast<const std::uint8_t*>(block.data), kPluRecordSize);
    } else if (block.actionCode == kActionInfoRequest) {
        if (block.dataKind != kDataKindInfo && block.dataKind != kDataKindInfoMn &&
            block.dataKind != kDataKindInfoOther)
            return 0;
        request.type = MessageType::InfoRequest;
        request.frame = encodeFrame(static_cast<std::uint8_t>(MessageType::InfoRequest), 0,
                                    encodeInfoRequest({block.dataKind, block.modelCode}));
    } else {
        return 0;
    }
    const auto session = findSession(trimmed(block.ipText));
    if (!session || !session->isOpen() || !session->tryReserve())
        return 0;
    // The caller's buffers are not ours to keep: the reply brings the library's own copies.
    block.data = nullptr;
    block.ipText = nullptr;
    request.block = block;
    // From a callback the record goes out at once, ahead of the loop's other work, and
    // straight from the caller's buffer: the next record of a scale is written before
    // anything else delays it, and copied only if the socket cannot take it whole.
    if (m_thread.isCurrent() && !session->hasPostedSends()) {
        session->send(std::move(request), record);
        return 1;
    }
    request.frame.insert(request.frame.end(), record.begin(), record.end());
    session->postedSend();
    asio::post(m_thread.context(), [session, request = std::move(request)]() mutable {
        session->sendPosted(std::move(request));
    });
    return 1;
}

int TcpScaleLibrary::Disconnect(const char* ipText, int)
{
    std::shared_ptr<ScaleSession> session;
    {
        std::lock_guard lock(m_mutex);
        const auto it = m_sessions.find(trimmed(ipText));
        if (it == m_sessions.end())
            return 0;
        session = std::move(it->second);
        m_sessions.erase(it);
    }
    session->markClosing();
    asio::post(m_thread.context(), [session] { session->close(); });
    return 1;
}

void TcpScaleLibrary::stopWaiting()
{
    m_waits.stop();
}

void TcpScaleLibrary::resumeWaiting()
{
    m_waits.resume();
}

} // namespace ostrel
