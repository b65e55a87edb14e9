#include "platform/Documents.h"

#include "platform/FileSystem.h"

#include <cstdlib>
#include <sstream>

namespace ostrel {
namespace {

std::string environment(const char* name)
{
    const char* value = std::getenv(name);
    return value != nullptr ? std::string(value) : std::string();
}

std::string withoutTrailingSlashes(std::string path)
{
    while (path.size() > 1 && path.back() == '/') {
        path.pop_back();
    }
    return path;
}

// XDG_DOCUMENTS_DIR="$HOME/Documents" from user-dirs.dirs, with $HOME expanded.
std::string xdgDocumentsDir(const std::string& home)
{
    std::string configHome = environment("XDG_CONFIG_HOME");
    if (configHome.empty()) {
        configHome = home + "/.config";
    }
    const auto bytes = readWholeFile(configHome + "/user-dirs.dirs");
    if (!bytes) {
        return {};
    }
    std::istringstream lines(*bytes);
    std::string line;
    const std::string key = "XDG_DOCUMENTS_DIR=";
    while (std::getline(lines, line)) {
        if (line.rfind(key, 0) != 0) {
            continue;
        }
        std::string value = line.substr(key.size());
        if (value.size() >= 2 && value.front() == '"' && value.back() == '"') {
            value = value.substr(1, value.size() - 2);
        }
        if (value.rfind("$HOME", 0) == 0) {
            value.replace(0, 5, home);
        }
        // A documents folder set to the home folder itself means "not configured".
        if (value.empty() || withoutTrailingSlashes(value) == withoutTrailingSlashes(home)) {
            return {};
        }
        return value;
    }
    return {};
}

} // namespace

std::string GetPathDocuments()
{
    if (std::string overridden = environment("OSTREL_DOCUMENTS"); !overridden.empty()) {
        return withoutTrailingSlashes(std::move(overridden));
    }
    const std::string home = environment("HOME");
    if (std::string xdg = xdgDocumentsDir(home); !xdg.empty()) {
        return withoutTrailingSlashes(std::move(xdg));
    }
    return withoutTrailingSlashes(home + "/Documents");
}

} // namespace ostrel
