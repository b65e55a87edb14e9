// Where every settings file lies: the documents folder plus fixed relative texts, joined by
// plain concatenation.
#pragma once

#include <string>
#include <string_view>

namespace ostrel {

inline constexpr std::string_view kProductRelative = "/VEK/Ostrel";
inline constexpr std::string_view kConfigRelative = "/VEK/Ostrel/Config";
inline constexpr std::string_view kLogFolderRelative = "/VEK/Ostrel/Log";
inline constexpr std::string_view kTarvikIniRelative = "/VEK/Ostrel/Config/Tarvik.ini";
inline constexpr std::string_view kPluIdIniRelative = "/VEK/Ostrel/Config/PluID.ini";
inline constexpr std::string_view kStructFileRelative = "/VEK/Ostrel/Config/plustruct.str";
inline constexpr std::string_view kPrsFileRelative = "/VEK/Ostrel/Config/PLUPrs.prs";
inline constexpr std::string_view kDataOptionRelative = "/VEK/Ostrel/Config/DATAOPTION.INI";
inline constexpr std::string_view kRulesFileRelative = "/VEK/Ostrel/Config/plumatch.mch";
inline constexpr std::string_view kLogFileRelative = "/VEK/Ostrel/Log/Ostrel.log";

struct SettingsPaths
{
    std::string documents;     // no trailing slash
    std::string productFolder; // documents + "/VEK/Ostrel"
    std::string configFolder;
    std::string logFolder;
    std::string tarvikIni;
    std::string pluIdIni;
    std::string structFile;
    std::string prsFile;
    std::string dataOptionIni;
    std::string rulesFile;
    std::string logFile;

    static SettingsPaths fromDocuments(std::string documents);
};

} // namespace ostrel
