// A folder only its owner may enter, for the single-instance lock and socket when the session
// has no runtime folder (cron): another user must never be able to make it first.
#pragma once

#include <string>

namespace ostrel {

// Creates `path` with mode 0700, or accepts it when it already is a real folder (no link) of
// the current user with no rights for group or others. Returns "" then, else a message that
// says what is wrong; the folder is left as it was.
std::string ensurePrivateFolder(const std::string& path);

} // namespace ostrel
