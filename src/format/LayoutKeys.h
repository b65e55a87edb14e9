// The data-file layout keys of Tarvik.ini: where the data files lie and how they are named
// (PATH), their layout type (TYPE), first row and quoting (SEPA_STARTROW) and the separated
// type's separator, comment marker and options (SEPARATE).
#pragma once

#include <array>
#include <string>
#include <string_view>

namespace ostrel {

class ProfileBatchWriter;

// The first-row choices of both designers' start row lists, in list order.
inline constexpr std::array<std::string_view, 16> kStartRowChoices = {
    "1", "2", "3", "4", "5", "6", "7", "8", "9", "10", "20", "30", "40", "50", "100", "500"};

// Upper-cases ASCII letters only; every other byte, including the bytes of multibyte
// characters, passes unchanged.
std::string upperCaseAscii(std::string_view text);

// Writes PLU ROOT, PREFIX and EXTENTION. The folder keeps the case the user gave (upper-casing
// would break it on a case-sensitive file system); prefix and extension are stored upper-cased
// and matched ignoring case. One atomic file write; false when it fails.
bool writePathKeys(const std::string& tarvikIni, std::string_view folder, std::string_view prefix,
                   std::string_view extension);
// The same three writes queued on a batch that holds further writes of the same Save.
void queuePathKeys(ProfileBatchWriter& ini, std::string_view folder, std::string_view prefix,
                   std::string_view extension);

// [TYPE] "FILETYPE" = "1" or "2"; false when the file cannot be written.
bool writeFileType(const std::string& tarvikIni, int fileType);

// Every layout key as the PLU file setting window shows it (512-byte reads, window defaults).
struct LayoutKeys
{
    std::string pluRoot;
    std::string prefix;
    std::string extension;
    std::string fileType; // "" when absent
    std::string startRow = "1";
    std::string separate = ",";
    std::string useTab = "0";
    std::string comment = "//";
    std::string itemIsPlu = "0";
    std::string stringSymbol;
    std::string endSymbol;

    // The window selects the separated type only for a FILETYPE of 1, the fixed type otherwise.
    int windowFileType() const;
};

LayoutKeys readLayoutKeys(const std::string& tarvikIni);

} // namespace ostrel
