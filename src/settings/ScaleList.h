// The registered scales in Tarvik.ini: four sections tied together by the IPLIST slot and the
// padded IP address. Reading for the configuration window, reading for a run, writing on Save,
// and the conversions of a scale's model name and version text.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace ostrel {

// "IP%03d" of a slot number: the key of IPLIST, MODEL and SCALEVERSION.
std::string scaleSlotKey(int slot);

// "%03d.%03d.%03d.%03d" of the four pieces of an address text split at '.', each read as a
// decimal number (missing pieces count as 0). The key of a scale's name in IPNAME.
std::string paddedIp(std::string_view addressText);

// A port as every reader takes it: the number at the start of the text (atoi), valid from 1 to
// 65535. Never cut to 16 bits: a wrapped port reaches another one.
std::optional<std::uint16_t> parsePort(std::string_view text);
bool isValidPort(std::int64_t port);
// "the port 86537 is outside 1 to 65535"
std::string portOutOfRangeText(std::int64_t port);

// One IPLIST value as the configuration window reads it ("address:port,flag").
struct IpListValue
{
    std::array<std::uint8_t, 4> octets{};
    std::uint16_t port = 0;
    bool client = false; // flag letter 'C'; anything else is a server

    std::string address() const; // "%d.%d.%d.%d"
};

// nullopt when the slot is skipped: no ':' or a port outside 1 to 65535.
std::optional<IpListValue> parseIpListValue(std::string_view value);

// One row of the configuration window's scale list as loaded from the file.
struct ScaleListRow
{
    int slot = 0;
    IpListValue value;
    std::string address; // re-formatted, without leading zeros
    std::string name;
    std::string model;
    std::string version;
};

// Slots IP000 to IP099 in order, skipping those parseIpListValue rejects; defaults "".
std::vector<ScaleListRow> readScaleListForWindow(const std::string& tarvikIni);

// One scale as a run loads it. Texts are cut to the sizes the run's scale table holds.
struct RunScaleRow
{
    std::string ipText;      // text before the first ':', at most 19 bytes
    int port = 0;            // number between that ':' and the next ','
    std::string name;        // IPNAME under the padded address, default "1", at most 49 bytes
    std::string modelName;   // MODEL slot, default "1", at most 19 bytes
    std::string versionText; // SCALEVERSION slot, default "1"
};

inline constexpr std::size_t kRunIpTextMax = 19;
inline constexpr std::size_t kRunNameMax = 49;
inline constexpr std::size_t kRunModelNameMax = 19;

// What a run or the configuration window would pass over in silence, one sentence each: a port
// outside 1 to 65535, a slot after an empty one (runs stop at the first empty slot), slots
// beyond IP099, and an address listed twice (compared in the padded form). Empty when the
// list is sound.
std::vector<std::string> scaleListProblems(const std::string& tarvikIni);

// Consecutive non-empty IPLIST slots from IP000, at most 100.
int countRunScales(const std::string& tarvikIni);
std::vector<RunScaleRow> readRunScaleList(const std::string& tarvikIni);

// The text columns of one window row, as Save writes them.
struct ScaleListColumns
{
    std::string address;
    std::string port;
    std::string name;
    std::string model;
    std::string version;
};

// Empties IPLIST, MODEL and SCALEVERSION IP000..IP099, then writes the rows in list order
// (IPLIST, SCALEVERSION, MODEL, IPNAME); IPNAME keys are never removed. Rows beyond the
// hundredth get slots of their own too (readers ignore them). One atomic file write; false
// when the file cannot be written.
bool writeScaleList(const std::string& tarvikIni, const std::vector<ScaleListColumns>& rows);

// The four numbers of a version text "a.b.c,d.e,f" as a run passes them to the scale library.
struct ScaleVersion
{
    int v1 = 0; // first item before its last '.', dots removed
    int v2 = 0; // first item after its last '.'
    int v3 = 0; // between the first and the last ',', dots removed
    int v4 = 0; // after the last ','
    bool operator==(const ScaleVersion&) const = default;
};

ScaleVersion splitVersionText(std::string_view text);

inline constexpr int kModelCodeQv7100 = 7100;
inline constexpr int kModelCodeQv7100Mn = 7110;
inline constexpr int kModelCodeTz46 = 460;
inline constexpr int kModelCodeTz47 = 470;
inline constexpr int kModelCodeUnknown = 0;

// QV7100, QV7600, QV7300 -> 7100; QV7100MN -> 7110; TZ46 -> 460; TZ47 -> 470; else 0.
int modelCode(std::string_view modelName);

} // namespace ostrel
