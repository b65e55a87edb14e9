// The separated preview of a sample file: the first line that is not a comment (read in slices
// of any size, with or without the UTF-8 mark) and the values it splits into.
#include "format/SeparatedPreview.h"

#include "FuzzScratchFile.h"

#include <fuzzer/FuzzedDataProvider.h>

#include <cstdlib>
#include <string>

namespace {

const ostrel::fuzz::ScratchFile& sample()
{
    static const ostrel::fuzz::ScratchFile file("/tmp/ostrel-fuzz-preview-XXXXXX");
    return file;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    using namespace ostrel;
    FuzzedDataProvider input(data, size);
    const std::string marker = input.ConsumeRandomLengthString(4);
    const std::string separator = input.ConsumeRandomLengthString(4);
    const std::size_t slice = input.ConsumeIntegralInRange<std::size_t>(1, 64);
    const std::string bytes = input.ConsumeRemainingBytesAsString();

    sample().write(bytes);

    PreviewLineScanner scanner(sample().path(), marker, "CP1252");
    std::size_t slices = 0;
    while (!scanner.advance(slice)) {
        if (++slices > bytes.size() + 1) {
            std::abort(); // every slice reads something until the end
        }
    }
    if (scanner.bytesRead() > bytes.size() || scanner.line().size() > bytes.size()) {
        std::abort();
    }
    std::size_t total = 0;
    for (const auto& value : splitPreviewValues(scanner.line(), separator)) {
        total += value.size();
    }
    if (total > scanner.line().size()) {
        std::abort();
    }
    return 0;
}
