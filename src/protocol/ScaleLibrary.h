// The operations of the scale protocol library, behind an interface so that callers can be
// tested against a scripted fake. Results: 1 or more is success, 0 or less failure.
#pragma once

#include "protocol/ScaleBlocks.h"

#include <cstdint>

namespace ostrel {

class ScaleLibrary
{
public:
    virtual ~ScaleLibrary() = default;

    virtual int SetCommLibrary(int kind, const char* fileName, int flag) = 0;
    virtual int AddInterpreter(int scaleKind, int modelCode, const char* fileName) = 0;
    virtual int SetDataOptionFilePath(const char* path) = 0;

    // Whether a TCP connection to the scale can be opened within the library's time limit.
    virtual int CheckIp2(int kind, const char* ipText, std::uint16_t port) = 0;

    // Registers a scale; refused (0) when no interpreter was added for its model code.
    virtual int AddConnectionEx(ConnectionBlock block) = 0;
    virtual int AddProcConnectionEx(int kind, const char* ipText, std::uint16_t port, int scaleKind,
                                    int modelCode, int timeoutValue, int retryValue, int queueValue,
                                    ReplyCallback onReply, EventCallback onEvent, int connectionId,
                                    int reserved) = 0;

    // Not operations of the library itself: while a run is being stopped, CheckIp2 and Connect
    // return 0 at once, those already waiting included, until resumeWaiting().
    virtual void stopWaiting() {}
    virtual void resumeWaiting() {}

    // Opens the session of a registered scale; blocks until it is open or has failed.
    virtual int Connect(const char* ipText, int connectionId) = 0;
    // Queues a record (action 3 or 4, data kind 218) or an information request (action 2).
    virtual int SendDataEx(SendBlock block) = 0;
    virtual int Disconnect(const char* ipText, int connectionId) = 0;
};

} // namespace ostrel
