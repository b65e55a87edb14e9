// Our scale protocol library: the library's operations over TCP to scales that speak the
// Ostrel scale link. One library thread does all I/O and calls both callbacks.
#pragma once

#include "protocol/CallerWaits.h"
#include "protocol/LibraryThread.h"
#include "protocol/ScaleLibrary.h"
#include "protocol/ScaleSession.h"

#include <chrono>
#include <map>
#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <utility>

namespace ostrel {

struct TcpScaleLibraryOptions
{
    std::chrono::milliseconds connectTimeout{2000}; // CheckIp2 and Connect
    std::chrono::milliseconds replyTimeout{5000};   // greeting and every request
    int maxPendingPerScale = 64;                    // requests queued without a reply yet
};

class TcpScaleLibrary final : public ScaleLibrary
{
public:
    explicit TcpScaleLibrary(TcpScaleLibraryOptions options = {});
    ~TcpScaleLibrary() override;
    TcpScaleLibrary(const TcpScaleLibrary&) = delete;
    TcpScaleLibrary& operator=(const TcpScaleLibrary&) = delete;

    int SetCommLibrary(int kind, const char* fileName, int flag) override;
    int AddInterpreter(int scaleKind, int modelCode, const char* fileName) override;
    int SetDataOptionFilePath(const char* path) override;
    int CheckIp2(int kind, const char* ipText, std::uint16_t port) override;
    int AddConnectionEx(ConnectionBlock block) override;
    int AddProcConnectionEx(int kind, const char* ipText, std::uint16_t port, int scaleKind,
                            int modelCode, int timeoutValue, int retryValue, int queueValue,
                            ReplyCallback onReply, EventCallback onEvent, int connectionId,
                            int reserved) override;
    int Connect(const char* ipText, int connectionId) override;
    int SendDataEx(SendBlock block) override;
    int Disconnect(const char* ipText, int connectionId) override;
    void stopWaiting() override;
    void resumeWaiting() override;

    std::string dataOptionFilePath() const;

private:
    struct Registration
    {
        std::string ipText;
        std::uint16_t port = 0;
        ReplyCallback onReply = nullptr;
        EventCallback onEvent = nullptr;
        SendBlock eventBlock;
    };

    int addRegistration(int scaleKind, int modelCode, Registration registration);
    std::shared_ptr<ScaleSession> findSession(const std::string& key);

    const TcpScaleLibraryOptions m_options;
    mutable std::mutex m_mutex;
    std::set<std::pair<int, int>> m_interpreters; // scale kind, model code
    std::string m_dataOptionPath;
    std::map<std::string, Registration> m_registrations; // by trimmed IP text
    std::map<std::string, std::shared_ptr<ScaleSession>> m_sessions;
    CallerWaits m_waits;
    LibraryThread m_thread;
};

} // namespace ostrel
