#include "SimConnection.h"

#include "SimScale.h"

#include <asio/write.hpp>

#include <cstdio>

namespace ostrel::sim {

namespace {

// Frames waiting for their answer; a client that piles up more is not following the protocol.
constexpr std::size_t kMaxInbox = 256;

} // namespace

SimConnection::SimConnection(asio::ip::tcp::socket socket, SimScale& scale)
    : m_socket(std::move(socket)), m_delay(m_socket.get_executor()), m_scale(scale)
{
}

void SimConnection::start()
{
    asio::error_code ignored;
    m_socket.set_option(asio::ip::tcp::no_delay(true), ignored);
    read();
}

void SimConnection::close()
{
    if (m_closed)
        return;
    m_closed = true;
    asio::error_code ignored;
    m_delay.cancel();
    m_socket.shutdown(asio::ip::tcp::socket::shutdown_both, ignored);
    m_socket.close(ignored);
    m_scale.forget(shared_from_this());
}

void SimConnection::read()
{
    m_socket.async_read_some(
        asio::buffer(m_buffer), [self = shared_from_this()](asio::error_code ec, std::size_t n) {
            if (self->m_closed)
                return;
            if (ec) {
                self->close();
                return;
            }
            self->m_decoder.append(std::span(self->m_buffer.data(), n));
            WireFrame frame;
            for (;;) {
                const auto result = self->m_decoder.next(frame);
                if (result == FrameDecoder::Result::NeedMore)
                    break;
                if (result == FrameDecoder::Result::Error) {
                    const bool tooLarge = self->m_decoder.error().starts_with("frame too large");
                    const bool version = self->m_decoder.error().starts_with("unsupported");
                    self->sendErrorAndClose(tooLarge  ? WireError::TooLarge
                                            : version ? WireError::Version
                                                      : WireError::Malformed,
                                            self->m_decoder.error());
                    return;
                }
                if (self->m_inbox.size() >= kMaxInbox) {
                    self->sendErrorAndClose(WireError::Unexpected, "too many unanswered frames");
                    return;
                }
                self->m_inbox.push_back(std::move(frame));
            }
            if (!self->m_busy)
                self->processNext();
            self->read();
        });
}

void SimConnection::processNext()
{
    while (!m_closed && !m_closeAfterWrite && !m_inbox.empty()) {
        WireFrame frame = std::move(m_inbox.front());
        m_inbox.pop_front();
        auto reply = answer(frame);
        if (!reply)
            continue;
        const int delayMs = m_scale.config().faults.delayMs;
        if (reply->delayed && delayMs > 0) {
            // The delay stands for the scale's work: keep the record before it, not after.
            keep(*reply);
            m_busy = true;
            m_delay.expires_after(std::chrono::milliseconds(delayMs));
            m_delay.async_wait(
                [self = shared_from_this(), reply = std::move(*reply)](asio::error_code ec) {
                    self->m_busy = false;
                    if (ec || self->m_closed)
                        return;
                    self->send(reply);
                    self->processNext();
                });
            return;
        }
        send(*reply);
        keep(*reply);
    }
}

void SimConnection::keep(Answer& answer)
{
    if (!answer.kept)
        return;
    const auto record = viewRecord(answer.kept->recordPayload);
    m_scale.keep(*record, answer.kept->fields);
    answer.kept.reset();
}

std::optional<SimConnection::Answer> SimConnection::answer(WireFrame& frame)
{
    const auto type = static_cast<MessageType>(frame.type);
    if (m_scale.verbose())
        std::fprintf(stderr, "%s: frame type 0x%02x id %u, %zu bytes\n", m_scale.name().c_str(),
                     frame.type, frame.requestId, frame.payload.size());
    if (type == MessageType::Hello) {
        if (!decodeHello(frame.payload)) {
            sendErrorAndClose(WireError::Malformed, "malformed greeting");
            return std::nullopt;
        }
        m_greeted = true;
        return Answer{MessageType::HelloAck, frame.requestId,
                      encodeHelloAck({m_scale.config().modelCode}), false};
    }
    if (!m_greeted) {
        sendErrorAndClose(WireError::Unexpected, "expected a greeting");
        return std::nullopt;
    }
    if (type == MessageType::Record) {
        const auto record = viewRecord(frame.payload);
        if (!record) {
            sendErrorAndClose(WireError::Malformed, "malformed record");
            return std::nullopt;
        }
        const FaultConfig& faults = m_scale.config().faults;
        ++m_records;
        if (faults.dropAfter >= 0 && m_records > faults.dropAfter) {
            close();
            return std::nullopt;
        }
        if (faults.silentAfter >= 0 && m_records > faults.silentAfter)
            return std::nullopt;
        auto judged = m_scale.judge(*record);
        Answer reply{MessageType::RecordReply, frame.requestId, encodeRecordReply(judged.reply),
                     true};
        if (judged.keepAfterReply)
            reply.kept = Kept{std::move(frame.payload), std::move(judged.fields)};
        return reply;
    }
    if (type == MessageType::InfoRequest) {
        const auto request = decodeInfoRequest(frame.payload);
        if (!request) {
            sendErrorAndClose(WireError::Malformed, "malformed information request");
            return std::nullopt;
        }
        return Answer{MessageType::InfoReply, frame.requestId,
                      encodeInfoReply(m_scale.information(*request)), true};
    }
    if (type == MessageType::Error) {
        close();
        return std::nullopt;
    }
    sendErrorAndClose(WireError::Unexpected, "unexpected message type");
    return std::nullopt;
}

void SimConnection::send(const Answer& answer)
{
    m_writes.push_back(
        encodeFrame(static_cast<std::uint8_t>(answer.type), answer.requestId, answer.payload));
    if (!m_writing)
        write();
}

void SimConnection::sendErrorAndClose(WireError code, const std::string& text)
{
    if (m_scale.verbose())
        std::fprintf(stderr, "%s: closing: %s\n", m_scale.name().c_str(), text.c_str());
    m_inbox.clear();
    m_closeAfterWrite = true;
    m_writes.push_back(
        encodeFrame(static_cast<std::uint8_t>(MessageType::Error), 0, encodeError({code, text})));
    if (!m_writing)
        write();
}

void SimConnection::write()
{
    if (m_closed)
        return;
    if (m_writes.empty()) {
        m_writing = false;
        if (m_closeAfterWrite)
            close();
        return;
    }
    m_writing = true;
    asio::async_write(m_socket, asio::buffer(m_writes.front()),
                      [self = shared_from_this()](asio::error_code ec, std::size_t) {
                          if (self->m_closed)
                              return;
                          if (ec) {
                              self->close();
                              return;
                          }
                          self->m_writes.pop_front();
                          self->write();
                      });
}

} // namespace ostrel::sim
