#include "platform/Registry.h"

#include "platform/IniFile.h"

#include <cstdlib>
#include <filesystem>

namespace ostrel {

std::string registryFilePath()
{
    if (const char* overridden = std::getenv("OSTREL_REGISTRY");
        overridden != nullptr && *overridden != '\0') {
        return overridden;
    }
    std::string configHome;
    if (const char* xdg = std::getenv("XDG_CONFIG_HOME"); xdg != nullptr && *xdg != '\0') {
        configHome = xdg;
    } else {
        const char* home = std::getenv("HOME");
        configHome = std::string(home != nullptr ? home : "") + "/.config";
    }
    return configHome + "/VEK/registry.ini";
}

bool writeRegistryValue(std::string_view section, std::string_view key, std::string_view value)
{
    const std::filesystem::path path = registryFilePath();
    std::error_code error;
    // Creating the key creates its parents, as the registry does.
    if (path.has_parent_path()) {
        std::filesystem::create_directories(path.parent_path(), error);
    }
    return writeProfileString(section, key, value, path.string());
}

bool writeExitRegistryValue()
{
    return writeRegistryValue("SOFTWARE\\VEK\\VEKAPP", "Update201012", "");
}

} // namespace ostrel
