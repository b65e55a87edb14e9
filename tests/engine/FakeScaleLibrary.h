// A scripted scale library: records every call with its arguments and blocks, keeps each
// record it is handed, and answers queued records only when the test pumps the replies.
#pragma once

#include "protocol/ScaleLibrary.h"

#include <array>
#include <condition_variable>
#include <cstring>
#include <deque>
#include <functional>
#include <map>
#include <mutex>
#include <set>
#include <string>
#include <vector>

namespace ostrel::test {

struct SentRecord
{
    std::string ip;
    SendBlock block; // as handed over; pointers not to be followed later
    std::array<std::uint8_t, kPluRecordSize> record{};

    std::uint32_t number(std::size_t offset, std::size_t width) const
    {
        std::uint32_t value = 0;
        for (std::size_t i = 0; i < width; ++i) {
            value |= std::uint32_t{record[offset + i]} << (8 * i);
        }
        return value;
    }
    std::uint32_t plu() const { return number(2, 4); }
    std::string name() const { return reinterpret_cast<const char*>(record.data() + 7); }
};

struct Answer
{
    enum Kind
    {
        Accept,
        Refuse,
        Drop, // connection event 8 instead of a reply
        Silent
    } kind = Accept;
    std::string text;
};

class FakeScaleLibrary final : public ScaleLibrary
{
public:
    int SetCommLibrary(int kind, const char* fileName, int flag) override
    {
        return note("SetCommLibrary " + std::to_string(kind) + " " + fileName + " " +
                    std::to_string(flag));
    }
    int AddInterpreter(int scaleKind, int modelCode, const char* fileName) override
    {
        return note("AddInterpreter " + std::to_string(scaleKind) + " " +
                    std::to_string(modelCode) + " " + fileName);
    }
    int SetDataOptionFilePath(const char* path) override
    {
        return note(std::string("SetDataOptionFilePath ") + path);
    }
    int CheckIp2(int kind, const char* ipText, std::uint16_t port) override
    {
        note("CheckIp2 " + std::to_string(kind) + " " + ipText + " " + std::to_string(port));
        std::unique_lock lock(m_mutex);
        // A held scale answers its check only once released, like one that never answers.
        m_released.wait(lock, [&] { return m_held.count(ipText) == 0 || m_stopped; });
        return m_unreachable.count(ipText) != 0 || m_stopped ? 0 : 1;
    }
    int AddConnectionEx(ConnectionBlock block) override
    {
        note(std::string("AddConnectionEx ") + block.ipText);
        std::lock_guard lock(m_mutex);
        m_connections.push_back(block);
        m_onReply = block.onReply;
        m_onEvent = block.onEvent;
        return 1;
    }
    int AddProcConnectionEx(int kind, const char* ipText, std::uint16_t port, int scaleKind,
                            int modelCode, int timeoutValue, int retryValue, int queueValue,
                            ReplyCallback onReply, EventCallback onEvent, int connectionId,
                            int reserved) override
    {
        std::lock_guard lock(m_mutex);
        m_procCallbacks = onReply != nullptr && onEvent != nullptr;
        m_calls.push_back("AddProcConnectionEx " + std::to_string(kind) + " [" + ipText + "] " +
                          std::to_string(port) + " " + std::to_string(scaleKind) + " " +
                          std::to_string(modelCode) + " " + std::to_string(timeoutValue) + " " +
                          std::to_string(retryValue) + " " + std::to_string(queueValue) + " " +
                          std::to_string(connectionId) + " " + std::to_string(reserved));
        return 1;
    }
    int Connect(const char* ipText, int connectionId) override
    {
        return note(std::string("Connect [") + ipText + "] " + std::to_string(connectionId));
    }
    int SendDataEx(SendBlock block) override
    {
        note(std::string("SendDataEx ") + block.ipText);
        SentRecord sent;
        sent.ip = block.ipText;
        sent.block = block;
        std::memcpy(sent.record.data(), block.data, kPluRecordSize);
        std::lock_guard lock(m_mutex);
        if (m_keepSent) {
            m_sent.push_back(sent);
        }
        m_pending.push_back(sent);
        return 1;
    }
    int Disconnect(const char* ipText, int connectionId) override
    {
        return note(std::string("Disconnect ") + ipText + " " + std::to_string(connectionId));
    }

    // Long runs: forget sent records once answered.
    void setKeepSent(bool keep)
    {
        std::lock_guard lock(m_mutex);
        m_keepSent = keep;
    }

    void setUnreachable(const std::string& ip)
    {
        std::lock_guard lock(m_mutex);
        m_unreachable[ip] = true;
    }
    void hold(const std::string& ip)
    {
        std::lock_guard lock(m_mutex);
        m_held.insert(ip);
    }
    void release(const std::string& ip)
    {
        {
            std::lock_guard lock(m_mutex);
            m_held.erase(ip);
        }
        m_released.notify_all();
    }
    void stopWaiting() override
    {
        {
            std::lock_guard lock(m_mutex);
            m_stopped = true;
        }
        m_released.notify_all();
    }
    void resumeWaiting() override
    {
        std::lock_guard lock(m_mutex);
        m_stopped = false;
    }
    void setReachable(const std::string& ip)
    {
        std::lock_guard lock(m_mutex);
        m_unreachable.erase(ip);
    }

    // Answers queued records, and those sent in reply, until none is left. Runs on the
    // caller's thread, as the library's thread would.
    void pump(const std::function<Answer(const SentRecord&)>& script = {})
    {
        for (;;) {
            SentRecord sent;
            ReplyCallback onReply = nullptr;
            EventCallback onEvent = nullptr;
            {
                std::lock_guard lock(m_mutex);
                if (m_pending.empty()) {
                    return;
                }
                sent = m_pending.front();
                m_pending.pop_front();
                onReply = m_onReply;
                onEvent = m_onEvent;
            }
            const Answer answer = script ? script(sent) : Answer{};
            std::array<std::uint8_t, kReplyDataSize> data{};
            std::array<char, 64> ip{};
            std::memcpy(ip.data(), sent.ip.data(), std::min<std::size_t>(sent.ip.size(), 63));
            SendBlock block = sent.block;
            block.ipText = ip.data();
            block.data = data.data();
            if (answer.kind == Answer::Silent) {
                continue;
            }
            if (answer.kind == Answer::Drop) {
                data[0] = kEventConnectionFailed;
                onEvent(block);
                continue;
            }
            if (answer.kind == Answer::Accept) {
                data[kReplyAcceptedOffset] = 1;
            }
            std::memcpy(data.data() + kReplyTextOffset, answer.text.data(),
                        std::min<std::size_t>(answer.text.size(), 60));
            onReply(block);
        }
    }

    std::vector<std::string> calls() const
    {
        std::lock_guard lock(m_mutex);
        return m_calls;
    }
    std::vector<SentRecord> sent() const
    {
        std::lock_guard lock(m_mutex);
        return m_sent;
    }
    std::vector<ConnectionBlock> connections() const
    {
        std::lock_guard lock(m_mutex);
        return m_connections;
    }
    bool procCallbacksGiven() const
    {
        std::lock_guard lock(m_mutex);
        return m_procCallbacks;
    }
    std::size_t pending() const
    {
        std::lock_guard lock(m_mutex);
        return m_pending.size();
    }
    void clearCalls()
    {
        std::lock_guard lock(m_mutex);
        m_calls.clear();
        m_sent.clear();
    }

private:
    int note(std::string call)
    {
        std::lock_guard lock(m_mutex);
        m_calls.push_back(std::move(call));
        return 1;
    }

    mutable std::mutex m_mutex;
    std::vector<std::string> m_calls;
    std::vector<SentRecord> m_sent;
    std::deque<SentRecord> m_pending;
    std::vector<ConnectionBlock> m_connections;
    std::map<std::string, bool> m_unreachable;
    std::set<std::string> m_held;
    std::condition_variable m_released;
    bool m_stopped = false; // stopWaiting(): checks answer "no" at once
    ReplyCallback m_onReply = nullptr;
    EventCallback m_onEvent = nullptr;
    bool m_procCallbacks = false;
    bool m_keepSent = true;
};

} // namespace ostrel::test
