// The user's own autostart entry, which decides whether Ostrel starts at login: it overrides
// the system-wide entry (a conffile the user should not have to edit).
#pragma once

#include <string>

namespace ostrel {

class AutostartEntry final
{
public:
    explicit AutostartEntry(std::string autostartDir);

    // $XDG_CONFIG_HOME/autostart, or ~/.config/autostart.
    static std::string userAutostartDir();

    // Writes the entry, shown (on) or hidden (off). False with error set when it cannot.
    bool write(bool startAtLogin, std::string& error) const;
    std::string path() const { return m_dir + "/ostrel.desktop"; }

private:
    std::string m_dir;
};

} // namespace ostrel
