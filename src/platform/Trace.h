// Debug trace output: lines on stderr, prefixed so they can be told apart from messages.
#pragma once

#include <string_view>

namespace ostrel {

void trace(std::string_view line);
void setTraceEnabled(bool enabled);
bool traceEnabled();

} // namespace ostrel
