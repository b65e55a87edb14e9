// A scale library that records the scale queries' calls, a post queue the test drains on its
// own thread, and scan replies built byte by byte.
#pragma once

#include "TestSupport.h"
#include "discovery/ScaleDiscovery.h"
#include "protocol/ScaleLibrary.h"
#include "settings/SettingsHolder.h"

#include <deque>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

namespace ostrel::test {

struct QueryCall
{
    std::string what; // "connect", "send", "disconnect"
    std::string ip;
    int port = 0;
    int modelCode = 0;
    int dataKind = 0;
    int actionCode = 0;
    int connectionId = 0;
};

class QueryLibrary final : public ScaleLibrary
{
public:
    int SetCommLibrary(int, const char*, int) override { return 1; }
    int AddInterpreter(int, int, const char*) override { return 1; }
    int SetDataOptionFilePath(const char*) override { return 1; }
    int CheckIp2(int, const char*, std::uint16_t) override { return 1; }
    int AddConnectionEx(ConnectionBlock) override { return 1; }
    int AddProcConnectionEx(int, const char*, std::uint16_t, int, int, int, int, int, ReplyCallback,
                            EventCallback, int, int) override
    {
        return 1;
    }
    int Connect(const char*, int) override { return 1; }
    int SendDataEx(SendBlock block) override
    {
        QueryCall call{"send", block.ipText};
        call.port = *static_cast<const std::int32_t*>(block.data);
        call.modelCode = block.modelCode;
        call.dataKind = block.dataKind;
        call.actionCode = block.actionCode;
        call.connectionId = static_cast<std::int16_t>(block.connectionId);
        add(call);
        return 1;
    }
    int Disconnect(const char* ipText, int connectionId) override
    {
        QueryCall call{"disconnect", ipText};
        call.connectionId = connectionId;
        add(call);
        return 1;
    }

    void add(const QueryCall& call)
    {
        std::lock_guard lock(m_mutex);
        m_calls.push_back(call);
    }
    std::vector<QueryCall> calls()
    {
        std::lock_guard lock(m_mutex);
        return m_calls;
    }

private:
    std::mutex m_mutex;
    std::vector<QueryCall> m_calls;
};

class PostQueue
{
public:
    void post(std::function<void()> task)
    {
        std::lock_guard lock(m_mutex);
        m_tasks.push_back(std::move(task));
    }
    int drain()
    {
        int count = 0;
        for (;;) {
            std::function<void()> task;
            {
                std::lock_guard lock(m_mutex);
                if (m_tasks.empty()) {
                    return count;
                }
                task = std::move(m_tasks.front());
                m_tasks.pop_front();
            }
            task();
            ++count;
        }
    }

private:
    std::mutex m_mutex;
    std::deque<std::function<void()>> m_tasks;
};

// A discovery over a fresh holder, whose connects are recorded like the library's calls.
struct DiscoveryFixture
{
    TempDir dir;
    std::string tarvik = dir.file("Tarvik.ini");
    QueryLibrary library;
    SettingsHolder holder;
    PostQueue posted;
    std::vector<std::string> errors;
    int listChanges = 0;
    bool runBusy = false;
    ScaleDiscovery discovery{
        {library,
         holder,
         tarvik,
         [this](const std::string& ip, std::uint16_t port, std::uint16_t model) {
             QueryCall call{"connect", ip, port, model};
             library.add(call);
             return 1;
         },
         [this](std::function<void()> task) { posted.post(std::move(task)); },
         [this](const std::string& text) { errors.push_back(text); },
         [this] { ++listChanges; },
         "Connected",
         {std::chrono::milliseconds(5), std::chrono::milliseconds(5)},
         [this] { return runBusy; }}};
};

// A 38-byte reply written out byte by byte, checksum computed here.
inline std::array<std::uint8_t, 38>
scanReplyBytes(std::array<std::uint8_t, 6> id, std::array<std::uint8_t, 4> ip, std::uint16_t port)
{
    std::array<std::uint8_t, 38> b{};
    b[0] = 0x53;
    b[1] = 0x04;
    for (int i = 0; i < 6; ++i) {
        b[4 + i] = id[i];
    }
    for (int i = 0; i < 4; ++i) {
        b[10 + i] = ip[i];
    }
    b[22] = static_cast<std::uint8_t>(port >> 8);
    b[23] = static_cast<std::uint8_t>(port & 0xFF);
    b[24] = 0x1B; // 7100
    b[25] = 0xBC;
    b[36] = 0;
    std::uint8_t sum = 0;
    for (int i = 1; i <= 36; ++i) {
        sum ^= b[i];
    }
    b[37] = sum;
    return b;
}

} // namespace ostrel::test
