#include "settings/SettingsProblems.h"

#include "platform/FileSystem.h"
#include "platform/IniFile.h"
#include "settings/TarvikKeys.h"

#include <cerrno>
#include <cstring>
#include <sys/stat.h>

namespace ostrel {

std::optional<int> decimalPlaces(std::string_view text)
{
    if (text.empty()) {
        return std::nullopt;
    }
    int value = 0;
    for (const char c : text) {
        if (c < '0' || c > '9') {
            return std::nullopt;
        }
        value = value * 10 + (c - '0');
        if (value > kMaxDecimalPlaces) {
            return std::nullopt;
        }
    }
    return value;
}

std::string decimalPointProblem(std::string_view text)
{
    if (decimalPlaces(text)) {
        return {};
    }
    std::string message = R"(The setting [CYCLE] "Decimal Point" is ")";
    message += text;
    message += R"("; it must be a number from 0 to 3. Nothing is sent until it is corrected.)";
    return message;
}

std::string storedEncoding(const std::string& tarvikIni)
{
    return readProfileString(tarvik::kSectionSendFile, tarvik::kKeyEncoding, "",
                             tarvik::kValueCapacity, tarvikIni);
}

std::string encodingProblem(std::string_view text)
{
    if (parseEncodingSetting(text)) {
        return {};
    }
    std::string message = R"(The setting [SENDFILE] "ENCODING" is ")";
    message += text;
    message += R"("; it must be auto, utf-8 or codepage. Nothing is sent until it is corrected.)";
    return message;
}

EncodingSetting readEncodingSetting(const std::string& tarvikIni)
{
    return parseEncodingSetting(storedEncoding(tarvikIni)).value_or(EncodingSetting::Auto);
}

std::string tarvikIniProblem(const std::string& tarvikIni)
{
    const std::string path = resolvePath(tarvikIni);
    struct stat info = {};
    if (::stat(path.c_str(), &info) != 0) {
        return {};
    }
    if (!S_ISREG(info.st_mode)) {
        return "The settings file " + path + " is not a regular file.";
    }
    errno = 0;
    const auto bytes = readWholeFile(path);
    if (!bytes) {
        const int error = errno;
        return "The settings file " + path +
               " cannot be read: " + (error != 0 ? std::strerror(error) : "read error") + ".";
    }
    if (!IniDocument::parse(*bytes).hasSection(tarvik::kSectionPath)) {
        return "The settings file " + path +
               " has no [PATH] section, so no PLU folder is set and no data file can be found.";
    }
    return {};
}

} // namespace ostrel
