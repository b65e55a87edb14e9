#include "protocol/ScaleSession.h"

#include "protocol/ReplyData.h"
#include "protocol/TimedConnect.h"

#include "platform/Trace.h"

#include <asio/write.hpp>

#include <algorithm>

namespace ostrel {

namespace {

MessageType replyTypeOf(MessageType request)
{
    return request == MessageType::Record ? MessageType::RecordReply : MessageType::InfoReply;
}

} // namespace

ScaleSession::ScaleSession(asio::io_context& io, SessionConfig config)
    : m_io(io), m_socket(io), m_timer(io), m_config(std::move(config))
{
}

bool ScaleSession::tryReserve()
{
    if (m_reserved.fetch_add(1) >= m_config.maxPending) {
        m_reserved.fetch_sub(1);
        return false;
    }
    return true;
}

void ScaleSession::open(std::function<void(bool)> done)
{
    m_openDone = std::move(done);
    m_state = State::Connecting;
    connectWithTimeout(m_io, m_config.endpoint, m_config.connectTimeout,
                       [self = shared_from_this()](asio::error_code ec, asio::ip::tcp::socket s) {
                           if (self->m_state != State::Connecting)
                               return;
                           if (ec) {
                               self->finishOpen(false);
                               return;
                           }
                           self->m_socket = std::move(s);
                           asio::error_code ignored;
                           self->m_socket.set_option(asio::ip::tcp::no_delay(true), ignored);
                           // write() must never wait for the socket.
                           self->m_socket.non_blocking(true, ignored);
                           self->m_state = State::Greeting;
                           self->startRead();
                           self->queueWrite(
                               encodeFrame(static_cast<std::uint8_t>(MessageType::Hello), 0, {}));
                           self->armTimer();
                       });
}

void ScaleSession::finishOpen(bool ok)
{
    if (ok) {
        m_state = State::Open;
        m_open = true;
    } else {
        shutdown();
    }
    if (auto done = std::exchange(m_openDone, nullptr))
        done(ok);
}

void ScaleSession::send(SessionRequest request, std::span<const std::uint8_t> tail)
{
    if (m_state != State::Open) {
        m_reserved.fetch_sub(1);
        return;
    }
    const std::uint32_t id = m_nextId++;
    m_config.eventBlock = request.block;
    setRequestId(request.frame, id);
    write(std::move(request.frame), tail);
    m_pending.push_back({id, request.type, request.block});
    if (m_pending.size() == 1)
        armTimer();
}

void ScaleSession::sendPosted(SessionRequest request)
{
    m_posted.fetch_sub(1);
    send(std::move(request));
}

void ScaleSession::close()
{
    m_open = false;
    if (m_state == State::Connecting || m_state == State::Greeting)
        finishOpen(false);
    else
        shutdown();
}

void ScaleSession::shutdown()
{
    if (m_state == State::Closed)
        return;
    m_state = State::Closed;
    m_open = false;
    m_reserved.fetch_sub(static_cast<int>(m_pending.size()));
    m_pending.clear();
    m_timer.cancel();
    asio::error_code ignored;
    m_socket.shutdown(asio::ip::tcp::socket::shutdown_both, ignored);
    m_socket.close(ignored);
}

void ScaleSession::fail(const std::string& why)
{
    if (m_state == State::Connecting || m_state == State::Greeting) {
        finishOpen(false);
        return;
    }
    if (m_state != State::Open)
        return;
    trace("scale link " + m_config.ipText + ": " + why);
    // A scale the caller is already disconnecting gets no event.
    const bool notify = m_open.load();
    SendBlock block = m_config.eventBlock;
    shutdown();
    if (notify && m_config.onEvent)
        deliver(m_config.onEvent, block, eventData(kEventConnectionFailed));
}

void ScaleSession::deliver(ReplyCallback callback, SendBlock block,
                           const std::array<std::uint8_t, kReplyDataSize>& data)
{
    // The callback gets copies that live for the call only: nothing it keeps points into us.
    std::array<char, 64> ip{};
    std::copy_n(m_config.ipText.begin(), std::min(m_config.ipText.size(), ip.size() - 1),
                ip.begin());
    ReplyData copy = data;
    block.ipText = ip.data();
    block.data = copy.data();
    callback(block);
}

void ScaleSession::armTimer()
{
    // Moving a deadline is cheaper than re-arming the timer for every request; the timer
    // catches up with the deadline when it fires.
    m_deadline = std::chrono::steady_clock::now() + m_config.replyTimeout;
    if (m_timerRunning)
        return;
    m_timerRunning = true;
    m_timer.expires_at(m_deadline);
    m_timer.async_wait([self = shared_from_this()](asio::error_code ec) { self->onTimer(ec); });
}

void ScaleSession::onTimer(asio::error_code ec)
{
    m_timerRunning = false;
    const bool awaiting = m_state == State::Greeting || !m_pending.empty();
    if (ec || m_state == State::Closed || !awaiting)
        return;
    if (std::chrono::steady_clock::now() < m_deadline) {
        m_timerRunning = true;
        m_timer.expires_at(m_deadline);
        m_timer.async_wait([self = shared_from_this()](asio::error_code e) { self->onTimer(e); });
        return;
    }
    fail("no reply within the time limit");
}

void ScaleSession::startRead()
{
    m_socket.async_read_some(asio::buffer(m_readBuffer), [self = shared_from_this()](
                                                             asio::error_code ec, std::size_t n) {
        if (self->m_state == State::Closed)
            return;
        if (ec) {
            self->fail(ec == asio::error::eof ? "the scale closed the connection" : ec.message());
            return;
        }
        self->m_decoder.append(std::span(self->m_readBuffer.data(), n));
        WireFrame frame;
        for (;;) {
            const auto result = self->m_decoder.next(frame);
            if (result == FrameDecoder::Result::NeedMore)
                break;
            if (result == FrameDecoder::Result::Error) {
                self->fail("bad frame: " + self->m_decoder.error());
                return;
            }
            self->handleFrame(frame);
            if (self->m_state == State::Closed)
                return;
        }
        self->startRead();
    });
}

void ScaleSession::handleFrame(const WireFrame& frame)
{
    const auto type = static_cast<MessageType>(frame.type);
    if (type == MessageType::Error) {
        const auto error = decodeError(frame.payload);
        fail("the scale reported an error: " + (error ? error->text : std::string("?")));
        return;
    }
    if (m_state == State::Greeting) {
        if (type == MessageType::HelloAck && decodeHelloAck(frame.payload))
            finishOpen(true);
        else
            fail("unexpected greeting");
        return;
    }
    handleReply(frame);
}

void ScaleSession::handleReply(const WireFrame& frame)
{
    const auto type = static_cast<MessageType>(frame.type);
    if (m_pending.empty() || m_pending.front().id != frame.requestId ||
        replyTypeOf(m_pending.front().type) != type) {
        fail("reply that matches no request");
        return;
    }
    ReplyData data{};
    if (type == MessageType::RecordReply) {
        const auto reply = decodeRecordReply(frame.payload);
        if (!reply) {
            fail("malformed record reply");
            return;
        }
        data = recordReplyData(*reply);
    } else {
        const auto reply = decodeInfoReply(frame.payload);
        if (!reply) {
            fail("malformed information reply");
            return;
        }
        data = infoReplyData(*reply);
    }
    SendBlock block = m_pending.front().block;
    m_pending.pop_front();
    m_reserved.fetch_sub(1);
    if (!m_pending.empty())
        armTimer();
    if (m_config.onReply)
        deliver(m_config.onReply, block, data);
}

void ScaleSession::write(std::vector<std::uint8_t> head, std::span<const std::uint8_t> tail)
{
    if (!m_writing && m_state != State::Closed) {
        // One system call for the whole frame, and no completion to wait for when the socket
        // takes it all, as it does unless the scale falls behind. An error leaves the bytes to
        // the queued write, which reports it as any write does.
        asio::error_code ec;
        const std::array buffers{asio::const_buffer(head.data(), head.size()),
                                 asio::const_buffer(tail.data(), tail.size())};
        const std::size_t written = m_socket.write_some(buffers, ec);
        if (written == head.size() + tail.size())
            return;
        std::vector<std::uint8_t> rest;
        rest.reserve(head.size() + tail.size() - written);
        if (written < head.size()) {
            rest.assign(head.begin() + static_cast<std::ptrdiff_t>(written), head.end());
            rest.insert(rest.end(), tail.begin(), tail.end());
        } else {
            rest.assign(tail.begin() + static_cast<std::ptrdiff_t>(written - head.size()),
                        tail.end());
        }
        queueWrite(std::move(rest));
        return;
    }
    head.insert(head.end(), tail.begin(), tail.end());
    queueWrite(std::move(head));
}

void ScaleSession::queueWrite(std::vector<std::uint8_t> bytes)
{
    m_writes.push_back(std::move(bytes));
    if (!m_writing)
        startWrite();
}

void ScaleSession::startWrite()
{
    if (m_writes.empty() || m_state == State::Closed) {
        m_writing = false;
        return;
    }
    m_writing = true;
    asio::async_write(m_socket, asio::buffer(m_writes.front()),
                      [self = shared_from_this()](asio::error_code ec, std::size_t) {
                          if (self->m_state == State::Closed) {
                              self->m_writing = false;
                              return;
                          }
                          if (ec) {
                              self->m_writing = false;
                              self->fail(ec.message());
                              return;
                          }
                          self->m_writes.pop_front();
                          self->startWrite();
                      });
}

} // namespace ostrel
