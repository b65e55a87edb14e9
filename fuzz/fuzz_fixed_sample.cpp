// The fixed-type designer's sample lines: any bytes, read from a file in slices of any size,
// give the same lines as the rules applied to the bytes at once, within the list's limits, and
// the same encoding as the run decides from the whole file.
#include "format/FixedSample.h"

#include "FuzzScratchFile.h"

#include <fuzzer/FuzzedDataProvider.h>

#include <algorithm>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

const ostrel::fuzz::ScratchFile& sample()
{
    static const ostrel::fuzz::ScratchFile file("/tmp/ostrel-fuzz-fixed-sample-XXXXXX");
    return file;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    using namespace ostrel;
    FuzzedDataProvider input(data, size);
    const std::size_t slice = input.ConsumeIntegralInRange<std::size_t>(1, 64);
    const std::string startRow = input.ConsumeRandomLengthString(5);
    const auto setting = static_cast<EncodingSetting>(input.ConsumeIntegralInRange(0, 2));
    const std::string bytes = input.ConsumeRemainingBytesAsString();

    sample().write(bytes);

    FixedSampleReader reader(sample().path(), setting, "CP1252");
    std::size_t slices = 0;
    while (!reader.advance(slice)) {
        if (++slices > bytes.size() + 1) {
            std::abort(); // every slice reads something until the end
        }
    }
    const auto& lines = reader.lines();
    const EncodingDecision whole = EncodingDetector::decide(bytes, setting);
    if (reader.encoding().encoding != whole.encoding || reader.encoding().reason != whole.reason) {
        std::abort();
    }
    std::vector<std::string> raw = FixedSampleReader::splitLines(bytes);
    if (lines.size() != raw.size() || lines.size() > FixedSampleReader::kMaxLines) {
        std::abort();
    }
    if (!whole.utf8()) {
        // The code page's lines are the bytes, the file's mark gone.
        if (whole.marked && !raw.empty()) {
            raw.front().erase(0, std::min(raw.front().size(), kUtf8Mark.size()));
        }
        if (lines != raw) {
            std::abort();
        }
    }
    for (const std::string& line : lines) {
        if (line.size() > FixedSampleReader::kLineMax ||
            line.find_first_of("\r\n") != std::string::npos) {
            std::abort();
        }
    }
    if (!lines.empty() && sampleLineIndexForStartRow(startRow, lines.size()) >= lines.size()) {
        std::abort();
    }
    return 0;
}
