// Feeds arbitrary bytes to the INI reader and the write transformation.
#include "platform/IniFile.h"

#include <cstddef>
#include <cstdint>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    const ostrel::IniDocument document = ostrel::IniDocument::parse(bytes);
    (void)document.value("PATH", "PLU ROOT");
    (void)document.keys("IPLIST");

    // A write must leave a text in which the written key reads back as written.
    const std::string written = ostrel::applyProfileWrite(bytes, "PATH", "PREFIX", "PLU");
    const auto value = ostrel::IniDocument::parse(written).value("PATH", "PREFIX");
    if (!value || *value != "PLU") {
        __builtin_trap();
    }
    return 0;
}
