// ScaleAnswer: a scale's information reply on its way into the configuration window's scale
// list. The library's thread filters it and looks it up (InsertRecvDataToINI's first half);
// the list's own thread writes the row (applyScaleAnswer). Also the model table and the
// version text rules by which the "Model" and "Version" columns show an answer.
#pragma once

#include "protocol/ScaleBlocks.h"

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace ostrel {

class ScaleTable;

struct ModelShown
{
    std::string_view name;
    int version1Decimals; // digits after the dot inserted into version value 1
    int version3Decimals; // the same for version value 3; 0 inserts none
};

// Nothing for a model code outside the table: such an answer leaves both columns alone.
std::optional<ModelShown> modelShown(std::uint16_t modelCode);

struct ScaleInformation
{
    std::uint16_t status = 0;
    std::string text;
    std::uint16_t modelCode = 0;
    std::int32_t version1 = 0;
    std::int32_t version2 = 0;
    std::uint16_t version3 = 0;
    std::uint16_t version4 = 0;
};

// Reads the library's information reply data (kReplyDataSize bytes, little-endian).
ScaleInformation readScaleInformation(std::span<const std::uint8_t> data);

// "%d" of the value with a "." before its last `decimals` characters (in front when it is
// shorter); unchanged for 0 decimals.
std::string withDecimalDot(long long value, int decimals);
std::string versionText(const ModelShown& model, const ScaleInformation& info);

// Whether the reply filter lets an information reply through: status 0 passes only with
// "E99" in its text.
bool answerPassesFilter(const ScaleInformation& info);

struct ScaleAnswer
{
    std::string ipText;  // as the library gave it
    std::string trimmed; // blanks removed at both ends
    std::uint16_t port = 0;
    ScaleInformation info;
};

// Steps 4 to 8 of InsertRecvDataToINI: the row for the address, its IP, port and connection
// texts, the stored name when the row has none (IPNAME of `tarvikIni`), model and version.
// False when the list is full and has no row for the address.
bool applyScaleAnswer(ScaleTable& table, const ScaleAnswer& answer, const std::string& tarvikIni,
                      const std::string& connectedCaption);

} // namespace ostrel
