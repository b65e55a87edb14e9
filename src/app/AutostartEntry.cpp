#include "app/AutostartEntry.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <system_error>

namespace ostrel {

namespace {

std::string entryText(bool startAtLogin)
{
    std::string text = "[Desktop Entry]\n"
                       "Type=Application\n"
                       "Name=Ostrel\n"
                       "Comment=Keeps the item master of the shop's label-printing scales up to "
                       "date\n"
                       "Exec=ostrel\n"
                       "Icon=ostrel\n"
                       "Terminal=false\n"
                       "NoDisplay=true\n";
    // Hidden=true is what the autostart rules read as "deleted", also for the system-wide entry.
    text += startAtLogin ? "Hidden=false\nX-GNOME-Autostart-enabled=true\n"
                         : "Hidden=true\nX-GNOME-Autostart-enabled=false\n";
    return text;
}

} // namespace

AutostartEntry::AutostartEntry(std::string autostartDir) : m_dir(std::move(autostartDir)) {}

std::string AutostartEntry::userAutostartDir()
{
    if (const char* xdg = std::getenv("XDG_CONFIG_HOME"); xdg != nullptr && *xdg == '/') {
        return std::string(xdg) + "/autostart";
    }
    const char* home = std::getenv("HOME");
    return std::string(home != nullptr ? home : "") + "/.config/autostart";
}

bool AutostartEntry::write(bool startAtLogin, std::string& error) const
{
    namespace fs = std::filesystem;
    std::error_code ec;
    fs::create_directories(m_dir, ec);
    if (ec) {
        error = "cannot create " + m_dir + ": " + ec.message();
        return false;
    }
    // Written beside and renamed over, so a session starting meanwhile never reads half a file.
    const std::string temporary = path() + ".new";
    {
        std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
        out << entryText(startAtLogin);
        out.close();
        if (!out) {
            fs::remove(temporary, ec);
            error = "cannot write " + temporary;
            return false;
        }
    }
    fs::rename(temporary, path(), ec);
    if (ec) {
        fs::remove(temporary, ec);
        error = "cannot replace " + path() + ": " + ec.message();
        return false;
    }
    return true;
}

} // namespace ostrel
