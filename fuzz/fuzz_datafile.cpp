// ReadDataFile over arbitrary bytes (marks, zero bytes, bad UTF-8, comments, CR LF) with a
// separated or fixed layout and any encoding setting: never a crash, every appended line has
// columns, the counts add up, the lines' numbers rise from the start row, and the encoding is
// the one the whole file gives.
#include "engine/DataFileReader.h"
#include "engine/FileIdentity.h"
#include "platform/Trace.h"

#include <fuzzer/FuzzedDataProvider.h>

#include <algorithm>
#include <cstdlib>
#include <string>

#include <sys/mman.h>
#include <unistd.h>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    using namespace ostrel;
    setTraceEnabled(false); // a trace line per skipped line would drown the fuzzer
    FuzzedDataProvider input(data, size);
    ImportFormat format;
    format.fileType = input.ConsumeBool() ? kFixedType : kSeparatedType;
    format.textSettings = {{kTextSeparator, input.ConsumeRandomLengthString(3)},
                           {kTextComment, input.ConsumeRandomLengthString(3)},
                           {kTextQuote, input.ConsumeRandomLengthString(2)}};
    const int fields = input.ConsumeIntegralInRange(0, 8);
    for (int i = 0; i < fields; ++i) {
        format.fixedFields.push_back(
            {i, input.ConsumeIntegralInRange(-2, 40), input.ConsumeIntegralInRange(-2, 40)});
    }
    const int startRow = input.ConsumeIntegralInRange(0, 4);
    const auto setting = static_cast<EncodingSetting>(input.ConsumeIntegralInRange(0, 2));
    const std::string bytes = input.ConsumeRemainingBytesAsString();

    const int fd = ::memfd_create("datafile", MFD_CLOEXEC);
    if (fd < 0 || ::write(fd, bytes.data(), bytes.size()) != static_cast<ssize_t>(bytes.size())) {
        std::abort();
    }
    DataFileReader reader(LineSplitter(format), startRow);
    reader.setCodePage("CP1252");
    reader.setEncoding(setting);
    LineTable table{{"before"}};
    const FileReadResult result = reader.readFile("/proc/self/fd/" + std::to_string(fd), table);
    ::close(fd);
    if (!result.opened || result.contentHash != contentHash(bytes)) {
        std::abort();
    }
    const auto lines = static_cast<int>(std::count(bytes.begin(), bytes.end(), '\n')) + 1;
    if (static_cast<int>(table.size()) != result.linesAppended + 1 ||
        result.linesAppended + result.linesSkipped > lines) {
        std::abort();
    }
    int previous = std::max(startRow, 1) - 1;
    for (std::size_t i = 1; i < table.size(); ++i) {
        const int fileLine = result.lineNumbers.at(i - 1);
        if (table[i].empty() || fileLine <= previous || fileLine > lines) {
            std::abort();
        }
        previous = fileLine;
    }
    const EncodingDecision whole = EncodingDetector::decide(bytes, setting);
    if (result.encoding.encoding != whole.encoding || result.encoding.reason != whole.reason ||
        (result.unmappedCharacters > 0) != (result.firstUnmappedLine > 0)) {
        std::abort();
    }
    return 0;
}
