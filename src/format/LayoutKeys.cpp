#include "format/LayoutKeys.h"

#include "format/ImportFormat.h"
#include "platform/Numbers.h"
#include "settings/ProfileBatch.h"
#include "settings/TarvikKeys.h"

namespace ostrel {

std::string upperCaseAscii(std::string_view text)
{
    std::string result(text);
    for (char& c : result) {
        if (c >= 'a' && c <= 'z') {
            c = static_cast<char>(c - 'a' + 'A');
        }
    }
    return result;
}

void queuePathKeys(ProfileBatchWriter& ini, std::string_view folder, std::string_view prefix,
                   std::string_view extension)
{
    using namespace tarvik;
    ini.write(kSectionPath, kKeyPluRoot, folder);
    ini.write(kSectionPath, kKeyPrefix, upperCaseAscii(prefix));
    ini.write(kSectionPath, kKeyExtension, upperCaseAscii(extension));
}

bool writePathKeys(const std::string& tarvikIni, std::string_view folder, std::string_view prefix,
                   std::string_view extension)
{
    ProfileBatchWriter ini(tarvikIni);
    queuePathKeys(ini, folder, prefix, extension);
    return ini.commit();
}

bool writeFileType(const std::string& tarvikIni, int fileType)
{
    using namespace tarvik;
    ProfileBatchWriter ini(tarvikIni);
    ini.write(kSectionType, kKeyFileType, fileType == kFixedType ? "2" : "1");
    return ini.commit();
}

int LayoutKeys::windowFileType() const
{
    return atoiText(fileType) == kSeparatedType ? kSeparatedType : kFixedType;
}

LayoutKeys readLayoutKeys(const std::string& tarvikIni)
{
    using namespace tarvik;
    const ProfileSnapshot ini(tarvikIni);
    const auto read = [&ini](std::string_view section, std::string_view key,
                             std::string_view defaultValue) {
        return ini.read(section, key, defaultValue, kValueCapacity);
    };
    LayoutKeys keys;
    keys.pluRoot = read(kSectionPath, kKeyPluRoot, "");
    keys.prefix = read(kSectionPath, kKeyPrefix, "");
    keys.extension = read(kSectionPath, kKeyExtension, "");
    keys.fileType = read(kSectionType, kKeyFileType, "");
    keys.startRow = read(kSectionStartRow, kKeyStartRow, kDefaultStartRow);
    keys.separate = read(kSectionSeparate, kKeySeparate, kDefaultSeparate);
    keys.useTab = read(kSectionSeparate, kKeyUseTab, kDefaultUseTab);
    keys.comment = read(kSectionSeparate, kKeyComment, kDefaultComment);
    keys.itemIsPlu = read(kSectionSeparate, kKeyItemIsPlu, kDefaultItemIsPlu);
    keys.stringSymbol = read(kSectionStartRow, kKeyStringSymbol, "");
    keys.endSymbol = read(kSectionStartRow, kKeyEndSymbol, "");
    return keys;
}

} // namespace ostrel
