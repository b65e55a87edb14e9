#include "settings/ScaleList.h"

#include "platform/Numbers.h"
#include "settings/ProfileBatch.h"
#include "settings/TarvikKeys.h"

#include <algorithm>
#include <cstdio>

namespace ostrel {

namespace {

std::string cut(std::string text, std::size_t maxLength)
{
    if (text.size() > maxLength) {
        text.resize(maxLength);
    }
    return text;
}

// The first four '.'-separated pieces of an address, each read as a number; missing ones are 0.
std::array<int, 4> addressPieces(std::string_view address)
{
    std::array<int, 4> pieces{};
    for (int& piece : pieces) {
        const auto dot = address.find('.');
        piece = atoiText(address.substr(0, dot));
        if (dot == std::string_view::npos) {
            break;
        }
        address.remove_prefix(dot + 1);
    }
    return pieces;
}

std::string withoutDots(std::string_view text)
{
    std::string result;
    for (char c : text) {
        if (c != '.') {
            result += c;
        }
    }
    return result;
}

} // namespace

std::string scaleSlotKey(int slot)
{
    char key[16];
    std::snprintf(key, sizeof key, "IP%03d", slot);
    return key;
}

std::string paddedIp(std::string_view addressText)
{
    const auto p = addressPieces(addressText);
    char text[64];
    std::snprintf(text, sizeof text, "%03d.%03d.%03d.%03d", p[0], p[1], p[2], p[3]);
    return text;
}

std::string IpListValue::address() const
{
    char text[32];
    std::snprintf(text, sizeof text, "%d.%d.%d.%d", octets[0], octets[1], octets[2], octets[3]);
    return text;
}

bool isValidPort(std::int64_t port)
{
    return port >= 1 && port <= 65535;
}

std::optional<std::uint16_t> parsePort(std::string_view text)
{
    const std::int64_t port = atoi64Text(text);
    if (!isValidPort(port)) {
        return std::nullopt;
    }
    return static_cast<std::uint16_t>(port);
}

std::string portOutOfRangeText(std::int64_t port)
{
    return "the port " + std::to_string(port) + " is outside 1 to 65535";
}

std::optional<IpListValue> parseIpListValue(std::string_view value)
{
    const auto colon = value.find(':');
    if (colon == std::string_view::npos) {
        return std::nullopt;
    }
    IpListValue parsed;
    const auto pieces = addressPieces(value.substr(0, colon));
    for (std::size_t i = 0; i < pieces.size(); ++i) {
        parsed.octets[i] = static_cast<std::uint8_t>(pieces[i]);
    }
    const std::string_view rest = value.substr(colon + 1);
    const auto comma = rest.find(',');
    const auto port = parsePort(rest.substr(0, comma));
    if (!port) {
        return std::nullopt;
    }
    parsed.port = *port;
    const std::string_view flag = comma == std::string_view::npos ? "S" : rest.substr(comma + 1);
    parsed.client = !flag.empty() && flag.front() == 'C';
    return parsed;
}

std::vector<ScaleListRow> readScaleListForWindow(const std::string& tarvikIni)
{
    using namespace tarvik;
    const ProfileSnapshot ini(tarvikIni);
    std::vector<ScaleListRow> rows;
    for (int slot = 0; slot < kMaxScaleSlots; ++slot) {
        const std::string key = scaleSlotKey(slot);
        const auto value = parseIpListValue(ini.read(kSectionIpList, key, "", kValueCapacity));
        if (!value) {
            continue;
        }
        ScaleListRow row;
        row.slot = slot;
        row.value = *value;
        row.address = value->address();
        row.name = ini.read(kSectionIpName, paddedIp(row.address), "", kValueCapacity);
        row.model = ini.read(kSectionModel, key, "", kValueCapacity);
        row.version = ini.read(kSectionScaleVersion, key, "", kValueCapacity);
        rows.push_back(std::move(row));
    }
    return rows;
}

namespace {

int countRunScales(const ProfileSnapshot& ini)
{
    int count = 0;
    while (count < tarvik::kMaxScaleSlots &&
           !ini.read(tarvik::kSectionIpList, scaleSlotKey(count), "", tarvik::kValueCapacity)
                .empty()) {
        ++count;
    }
    return count;
}

} // namespace

std::vector<std::string> scaleListProblems(const std::string& tarvikIni)
{
    using namespace tarvik;
    const ProfileSnapshot ini(tarvikIni);
    std::vector<std::string> problems;
    const int runCount = countRunScales(ini);
    std::vector<std::pair<std::string, std::string>> seen; // padded address, slot
    // Slots beyond IP099 only to say that they are there.
    for (int slot = 0; slot < kMaxScaleSlots + 100; ++slot) {
        const std::string key = scaleSlotKey(slot);
        const std::string value = ini.read(kSectionIpList, key, "", kValueCapacity);
        if (value.empty()) {
            continue;
        }
        std::string where = key;
        where.append(" in [IPLIST] (\"").append(value).append("\")");
        if (slot >= kMaxScaleSlots) {
            problems.push_back(where + " is beyond IP099: at most 100 scales are used");
            break;
        }
        if (slot > runCount) {
            problems.push_back(where + " follows an empty slot: runs stop at the first empty slot");
        }
        const auto colon = value.find(':');
        if (colon != std::string::npos) {
            const std::string_view rest = std::string_view(value).substr(colon + 1);
            const std::int64_t port = atoi64Text(rest.substr(0, rest.find(',')));
            if (!isValidPort(port)) {
                problems.push_back(where + ": " + portOutOfRangeText(port));
            }
        }
        const std::string padded = paddedIp(std::string_view(value).substr(0, colon));
        const auto earlier = std::find_if(seen.begin(), seen.end(),
                                          [&](const auto& entry) { return entry.first == padded; });
        if (earlier != seen.end()) {
            problems.push_back(where + " has the address of " + earlier->second +
                               ": that scale is sent to only once");
        } else {
            seen.emplace_back(padded, key);
        }
    }
    return problems;
}

int countRunScales(const std::string& tarvikIni)
{
    return countRunScales(ProfileSnapshot(tarvikIni));
}

std::vector<RunScaleRow> readRunScaleList(const std::string& tarvikIni)
{
    using namespace tarvik;
    const ProfileSnapshot ini(tarvikIni);
    const int count = countRunScales(ini);
    std::vector<RunScaleRow> rows;
    rows.reserve(static_cast<std::size_t>(count));
    for (int slot = 0; slot < count; ++slot) {
        const std::string key = scaleSlotKey(slot);
        const std::string value = ini.read(kSectionIpList, key, kRunScaleDefault, kValueCapacity);
        // A value without ':' is all address and no port: the scale then fails its
        // reachability check instead of being silently dropped from the count.
        const auto colon = value.find(':');
        const std::string_view address = std::string_view(value).substr(0, colon);
        RunScaleRow row;
        row.ipText = cut(std::string(address), kRunIpTextMax);
        if (colon != std::string::npos) {
            const std::string_view rest = std::string_view(value).substr(colon + 1);
            row.port = atoiText(rest.substr(0, rest.find(',')));
        }
        row.name =
            cut(ini.read(kSectionIpName, paddedIp(address), kRunScaleDefault, kValueCapacity),
                kRunNameMax);
        row.modelName =
            cut(ini.read(kSectionModel, key, kRunScaleDefault, kValueCapacity), kRunModelNameMax);
        row.versionText = ini.read(kSectionScaleVersion, key, kRunScaleDefault, kValueCapacity);
        rows.push_back(std::move(row));
    }
    return rows;
}

bool writeScaleList(const std::string& tarvikIni, const std::vector<ScaleListColumns>& rows)
{
    using namespace tarvik;
    ProfileBatchWriter ini(tarvikIni);
    for (int slot = 0; slot < kMaxScaleSlots; ++slot) {
        const std::string key = scaleSlotKey(slot);
        ini.write(kSectionIpList, key, "");
        ini.write(kSectionModel, key, "");
        ini.write(kSectionScaleVersion, key, "");
    }
    for (std::size_t i = 0; i < rows.size(); ++i) {
        ini.write(kSectionIpList, scaleSlotKey(static_cast<int>(i)),
                  rows[i].address + ":" + rows[i].port + ",S");
    }
    for (std::size_t i = 0; i < rows.size(); ++i) {
        ini.write(kSectionScaleVersion, scaleSlotKey(static_cast<int>(i)), rows[i].version);
    }
    for (std::size_t i = 0; i < rows.size(); ++i) {
        ini.write(kSectionModel, scaleSlotKey(static_cast<int>(i)), rows[i].model);
    }
    for (const auto& row : rows) {
        ini.write(kSectionIpName, paddedIp(row.address), row.name);
    }
    return ini.commit();
}

ScaleVersion splitVersionText(std::string_view text)
{
    ScaleVersion version;
    const auto firstComma = text.find(',');
    const std::string_view first = text.substr(0, firstComma);
    const auto lastDot = first.rfind('.');
    if (lastDot == std::string_view::npos) {
        version.v1 = atoiText(first); // no dot: the whole item is the major number
    } else {
        version.v1 = atoiText(withoutDots(first.substr(0, lastDot)));
        version.v2 = atoiText(first.substr(lastDot + 1));
    }
    if (firstComma != std::string_view::npos) {
        const auto lastComma = text.rfind(',');
        if (lastComma > firstComma) {
            version.v3 =
                atoiText(withoutDots(text.substr(firstComma + 1, lastComma - firstComma - 1)));
        }
        version.v4 = atoiText(text.substr(lastComma + 1));
    }
    return version;
}

int modelCode(std::string_view modelName)
{
    if (modelName == "QV7100" || modelName == "QV7600" || modelName == "QV7300") {
        return kModelCodeQv7100;
    }
    if (modelName == "QV7100MN") {
        return kModelCodeQv7100Mn;
    }
    if (modelName == "TZ46") {
        return kModelCodeTz46;
    }
    if (modelName == "TZ47") {
        return kModelCodeTz47;
    }
    return kModelCodeUnknown;
}

} // namespace ostrel
