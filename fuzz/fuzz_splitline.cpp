// SplitLine of both file types under arbitrary formats and lines.
#include "engine/LineSplitter.h"

#include <fuzzer/FuzzedDataProvider.h>

#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    using namespace ostrel;
    FuzzedDataProvider input(data, size);
    ImportFormat format;
    format.fileType = input.ConsumeBool() ? kFixedType : kSeparatedType;
    const int texts = input.ConsumeIntegralInRange(0, 6);
    for (int i = 0; i < texts; ++i) {
        format.textSettings.push_back(
            {input.ConsumeIntegralInRange(0, 5), input.ConsumeRandomLengthString(6)});
    }
    const int fields = input.ConsumeIntegralInRange(0, 60);
    for (int i = 0; i < fields; ++i) {
        format.fixedFields.push_back(
            {i, input.ConsumeIntegral<int>(), input.ConsumeIntegral<int>()});
    }
    const std::string line = input.ConsumeRemainingBytesAsString();

    const LineSplitter splitter(format);
    ColumnList columns{"before"};
    const int result = splitter.SplitLine(line, columns);
    if (format.fileType == kFixedType) {
        if (columns.size() != format.fixedFields.size() + 1 || result < 0 || result > 1) {
            std::abort();
        }
        for (std::size_t i = 0; i < format.fixedFields.size(); ++i) {
            const auto length = static_cast<long long>(format.fixedFields[i].length);
            if (static_cast<long long>(columns[i + 1].size()) > std::max(0LL, length)) {
                std::abort();
            }
        }
    } else {
        std::size_t total = 0;
        for (const auto& column : columns) {
            total += column.size();
        }
        if (result < 0 || columns.size() != static_cast<std::size_t>(result) + 1 ||
            total > line.size() + 6) {
            std::abort();
        }
    }
    return 0;
}
