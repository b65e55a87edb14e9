// The engine's side of the scale library's calls: the interpreters registered at start-up,
// the two argument blocks of a scale's opening, the reading of replies and events, and the
// connection test's opening of one scale.
#pragma once

#include "protocol/ScaleBlocks.h"

#include <cstdint>
#include <string>

namespace ostrel {

class ScaleLibrary;
struct ScaleEntry;

// SetCommLibrary(1, "VEKTCPIP.DLL", 1), then AddInterpreter for 7100, 7600 and 7110.
void RegisterInterpreters(ScaleLibrary& library);

// Every field the library needs to open a scale; bytes not named are zero.
ConnectionBlock makeConnectionBlock(const ScaleEntry& scale, ReplyCallback onReply,
                                    EventCallback onEvent);
// The record at `record` (5308 bytes) with its action code, for SendDataEx.
SendBlock makeSendBlock(const ScaleEntry& scale, int actionCode, void* record);

inline constexpr int kReplyAccepted = 7;
inline constexpr int kReplyRetry = 2;
inline constexpr int kReplySkip = 135; // refused with "E88": the scale will never take it

// 7 accepted, 2 refused or unexpected, 135 refused with "E88".
int ClassifyReply(const SendBlock& block);
// The error text of a refusal ("E12"), at most the reply buffer; "" without data.
std::string replyErrorText(const SendBlock& block);
// The 16-bit event code of a connection event, 0 without data.
std::uint16_t eventCode(const SendBlock& block);

// AddProcConnectionEx with the IP text cut of trailing white space, then Connect with the
// text as given; returns Connect's result. Connect waits for the library's thread: call
// without holding a lock that its callbacks take.
int ConnectProcessScale(ScaleLibrary& library, const std::string& ipText, std::uint16_t port,
                        std::uint16_t model, ReplyCallback onReply, EventCallback onEvent);

} // namespace ostrel
