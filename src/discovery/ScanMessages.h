// What the scan and the connection test tell the user beyond the list itself: a listener that
// cannot bind its port, a scan that nobody answered, and the cell of a scale that did not
// answer a test. Each keeps the window's own first line and says what to do next.
#pragma once

#include <cstdint>
#include <string>

namespace ostrel {

struct ScanDestination;

// The "Connection" cell of a tested scale that gave no answer in time.
inline constexpr const char* kNoAnswerText = "No answer";

// "Error: CUDPServer/Listen bind() failed." and a second line with the port, the usual cause
// of `error` (an errno value) and the remedy.
std::string bindFailedMessage(std::uint16_t port, int error);

// A scan that found no scale: where the request went and where answers were awaited.
std::string scanFoundNothingMessage(const ScanDestination& destination,
                                    std::uint16_t destinationPort, std::uint16_t listenPort,
                                    int waitedSeconds);

} // namespace ostrel
