#include "engine/LayoutCheck.h"

#include "engine/ImportSources.h"
#include "engine/LineParsers.h"
#include "platform/FileSystem.h"

#include <algorithm>
#include <iterator>

namespace ostrel {

namespace {

constexpr int kPluNumberField = 2;
constexpr const char* kNothingSent = " Nothing is sent and no file is backed up until it is "
                                     "corrected in \"PLU File Setting\".";

} // namespace

std::string layoutProblem(int fileType, const ImportFormat& format, const std::string& pluIdIni,
                          const std::string& prsFile)
{
    if (fileType == kSeparatedType) {
        const auto bytes = readWholeFile(resolvePath(pluIdIni));
        const std::vector<int> columns = bytes ? parsePluIdColumns(*bytes) : std::vector<int>();
        if (std::find(columns.begin(), columns.end(), kPluNumberField) == columns.end()) {
            return "The column order in " + pluIdIni +
                   " has no column for the PLU number (field 2)." + kNothingSent;
        }
        return {};
    }
    if (fileType == kFixedType) {
        // A fixed line's columns follow the definitions in their fixed field order.
        const auto position = static_cast<std::size_t>(std::distance(
            kFixedColumnFields.begin(),
            std::find(kFixedColumnFields.begin(), kFixedColumnFields.end(), kPluNumberField)));
        if (position >= format.fixedFields.size() || format.fixedFields[position].start < 0 ||
            format.fixedFields[position].length <= 0) {
            return "The fixed layout in " + prsFile +
                   " gives the PLU number (field 2) no place in the line." + kNothingSent;
        }
        return {};
    }
    return "The setting [TYPE] \"FILETYPE\" is " + std::to_string(fileType) +
           "; it must be 1 (separated) or 2 (fixed)." + kNothingSent;
}

} // namespace ostrel
