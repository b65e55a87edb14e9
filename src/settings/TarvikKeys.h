// The sections, keys, defaults and read buffer sizes of Tarvik.ini, the main settings file.
// Every reader and writer names keys through these constants so a typo cannot split a setting.
#pragma once

#include <cstddef>
#include <string_view>

namespace ostrel::tarvik {

// Read buffer sizes: values are cut to capacity-1 bytes.
inline constexpr std::size_t kValueCapacity = 512;
inline constexpr std::size_t kCycleCapacity = 128;     // "Update Cycle", "Update Interval"
inline constexpr std::size_t kRunFormatCapacity = 128; // layout keys read from the run's file

inline constexpr std::string_view kSectionPath = "PATH";
inline constexpr std::string_view kKeyConfigRoot = "CONFIG ROOT";
inline constexpr std::string_view kKeyPluRoot = "PLU ROOT";
inline constexpr std::string_view kKeyPrefix = "PREFIX";
inline constexpr std::string_view kKeyExtension = "EXTENTION"; // spelled so in every stored file

inline constexpr std::string_view kSectionCycle = "CYCLE";
inline constexpr std::string_view kKeyUpdateCycle = "Update Cycle";
inline constexpr std::string_view kKeyUpdateInterval = "Update Interval";
inline constexpr std::string_view kKeyWatchFolder = "WATCH FOLDER";
inline constexpr std::string_view kKeyDecimalPoint = "Decimal Point";
inline constexpr std::string_view kCycleMinutes = "minutes";
inline constexpr std::string_view kCycleHours = "hours";
inline constexpr std::string_view kCycleDays = "days";
inline constexpr std::string_view kDefaultCycleSelection = "hours"; // the cycle list's choice

inline constexpr std::string_view kSectionIpList = "IPLIST";
inline constexpr std::string_view kSectionIpName = "IPNAME";
inline constexpr std::string_view kSectionModel = "MODEL";
inline constexpr std::string_view kSectionScaleVersion = "SCALEVERSION";
inline constexpr int kMaxScaleSlots = 100;                // IP000 to IP099
inline constexpr std::string_view kRunScaleDefault = "1"; // name, model, version at run load

inline constexpr std::string_view kSectionType = "TYPE";
inline constexpr std::string_view kKeyFileType = "FILETYPE";
inline constexpr std::string_view kDefaultFileType = "1";

inline constexpr std::string_view kSectionSendFile = "SENDFILE";
inline constexpr std::string_view kKeyCreateDate = "CREATEDATE";
inline constexpr std::string_view kKeyOnlyChanged = "ONLY CHANGED";
inline constexpr std::string_view kKeyFullEveryDays = "FULL EVERY DAYS";
inline constexpr std::size_t kCreateDateMaxLength = 19;
inline constexpr std::string_view kKeyEncoding = "ENCODING"; // auto, utf-8 or codepage

inline constexpr std::string_view kSectionCommunication = "COMMUNICATION";
inline constexpr std::string_view kKeyScanPort = "SCAN PORT";
inline constexpr std::string_view kDefaultScanPort = "20304";

inline constexpr std::string_view kSectionSeparate = "SEPARATE";
inline constexpr std::string_view kKeySeparate = "Separate";
inline constexpr std::string_view kKeyComment = "Comment";
inline constexpr std::string_view kKeyUseTab = "UseTab";
inline constexpr std::string_view kKeyItemIsPlu = "ItemIsPLU";
inline constexpr std::string_view kDefaultSeparate = ",";
inline constexpr std::string_view kDefaultComment = "//";
inline constexpr std::string_view kDefaultUseTab = "0";
inline constexpr std::string_view kDefaultItemIsPlu = "0";

inline constexpr std::string_view kSectionStartRow = "SEPA_STARTROW";
inline constexpr std::string_view kKeyStartRow = "Start Row";
inline constexpr std::string_view kKeyStringSymbol = "String_symbol";
inline constexpr std::string_view kKeyEndSymbol = "End_symbol";
inline constexpr std::string_view kDefaultStartRow = "1";

} // namespace ostrel::tarvik
