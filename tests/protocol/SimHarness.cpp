#include "SimHarness.h"

#include "SimOptions.h"

#include <asio/ip/tcp.hpp>

#include <cstring>
#include <stdexcept>

namespace ostrel::test {

Record makeRecord(int department, int plu, int itemCode, int price, const std::string& name)
{
    Record r{};
    auto put = [&r](std::size_t offset, std::uint32_t value, std::size_t width) {
        for (std::size_t i = 0; i < width; ++i)
            r[offset + i] = static_cast<std::uint8_t>(value >> (8 * i));
    };
    put(0, static_cast<std::uint32_t>(department), 2);
    put(2, static_cast<std::uint32_t>(plu), 4);
    r[6] = 1;
    std::memcpy(r.data() + 7, name.data(), std::min<std::size_t>(name.size(), 100));
    put(435, static_cast<std::uint32_t>(itemCode), 4);
    put(443, static_cast<std::uint32_t>(price), 4);
    // Bytes everywhere in the record, so a copy that drops or moves any shows.
    for (std::size_t i = 693; i < 693 + 4000; ++i)
        r[i] = static_cast<std::uint8_t>('a' + (i + static_cast<std::size_t>(plu)) % 26);
    r[kPluRecordSize - 1] = 0xFE;
    return r;
}

InProcessSim::InProcessSim(const std::vector<std::string>& args)
{
    auto parsed = sim::parseArguments(args);
    if (!parsed.config)
        throw std::runtime_error(parsed.error);
    m_server = std::make_unique<sim::SimServer>(*parsed.config);
    m_server->bind();
    m_thread = std::thread([this] { m_server->run(); });
}

InProcessSim::~InProcessSim()
{
    m_server->stop();
    m_thread.join();
}

std::uint32_t Callback::accepted() const
{
    std::uint32_t v = 0;
    std::memcpy(&v, data.data() + kReplyAcceptedOffset, 4);
    return v;
}

std::string Callback::text() const
{
    return reinterpret_cast<const char*>(data.data() + kReplyTextOffset);
}

std::uint16_t Callback::eventCode() const
{
    return static_cast<std::uint16_t>(data[0] | (data[1] << 8));
}

Recorder& Recorder::instance()
{
    static Recorder recorder;
    return recorder;
}

int Recorder::onReply(SendBlock block)
{
    instance().record(block, false);
    return 1;
}

int Recorder::onEvent(SendBlock block)
{
    instance().record(block, true);
    return 0;
}

void Recorder::record(SendBlock block, bool isEvent)
{
    Callback call;
    call.isEvent = isEvent;
    call.ipText = block.ipText ? block.ipText : "";
    std::memcpy(call.data.data(), block.data, kReplyDataSize);
    block.ipText = nullptr;
    block.data = nullptr;
    call.block = block;
    std::function<void(const Callback&)> hook;
    {
        std::lock_guard lock(m_mutex);
        m_calls.push_back(call);
        if (!isEvent)
            hook = m_hook;
    }
    m_changed.notify_all();
    if (hook)
        hook(call);
}

void Recorder::reset()
{
    std::lock_guard lock(m_mutex);
    m_calls.clear();
    m_hook = nullptr;
}

void Recorder::setReplyHook(std::function<void(const Callback&)> hook)
{
    std::lock_guard lock(m_mutex);
    m_hook = std::move(hook);
}

bool Recorder::waitFor(std::size_t count, const std::string& ipText, std::chrono::seconds limit)
{
    std::unique_lock lock(m_mutex);
    return m_changed.wait_for(lock, limit, [&] {
        std::size_t n = 0;
        for (const auto& c : m_calls)
            n += ipText.empty() || c.ipText == ipText;
        return n >= count;
    });
}

std::vector<Callback> Recorder::calls(const std::string& ipText) const
{
    std::lock_guard lock(m_mutex);
    std::vector<Callback> out;
    for (const auto& c : m_calls)
        if (ipText.empty() || c.ipText == ipText)
            out.push_back(c);
    return out;
}

TcpScaleLibraryOptions fastOptions()
{
    TcpScaleLibraryOptions options;
    options.connectTimeout = std::chrono::milliseconds(3000);
    options.replyTimeout = std::chrono::milliseconds(300);
    return options;
}

void registerInterpreters(ScaleLibrary& library)
{
    library.SetCommLibrary(1, "VEKTCPIP.DLL", 1);
    library.AddInterpreter(100, 7100, "QVInterpreter.DLL");
    library.AddInterpreter(100, 7600, "QVInterpreter.DLL");
    library.AddInterpreter(100, 7110, "QVMNInterpreter.DLL");
}

ConnectionBlock connectionBlock(const char* ip, std::uint16_t port, std::uint16_t modelCode)
{
    ConnectionBlock block;
    block.ipText = ip;
    block.port = port;
    block.modelCode = modelCode;
    block.onReply = &Recorder::onReply;
    block.onEvent = &Recorder::onEvent;
    return block;
}

SendBlock recordBlock(const char* ip, Record& record, std::uint16_t action)
{
    SendBlock block;
    block.ipText = ip;
    block.modelCode = 7100;
    block.actionCode = action;
    block.dataSize = kPluRecordSize;
    block.data = record.data();
    return block;
}

std::uint16_t closedPort(const std::string& address)
{
    asio::io_context io;
    asio::ip::tcp::acceptor acceptor(io, {asio::ip::make_address_v4(address), 0});
    return acceptor.local_endpoint().port();
}

} // namespace ostrel::test
