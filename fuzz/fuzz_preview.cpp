// The separated preview of a sample file: the first line that is not a comment (read in slices
// of any size, with or without the UTF-8 mark) and the values it splits into.
#include "format/SeparatedPreview.h"

#include <fuzzer/FuzzedDataProvider.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <unistd.h>

namespace {

const std::string& samplePath()
{
    static const std::string path = [] {
        char name[] = "/tmp/ostrel-fuzz-preview-XXXXXX";
        const int fd = ::mkstemp(name);
        ::close(fd);
        return std::string(name);
    }();
    return path;
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

    std::FILE* file = std::fopen(samplePath().c_str(), "wb");
    std::fwrite(bytes.data(), 1, bytes.size(), file);
    std::fclose(file);

    PreviewLineScanner scanner(samplePath(), marker, "CP1252");
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
