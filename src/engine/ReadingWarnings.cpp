#include "engine/ReadingWarnings.h"

#include "platform/CodePage.h"

namespace ostrel {

namespace {

std::string fieldName(int field)
{
    switch (field) {
    case 1:
        return "department";
    case 2:
        return "PLU number";
    case 6:
        return "price";
    default:
        return "field " + std::to_string(field);
    }
}

std::string baseName(const std::string& path)
{
    const std::size_t slash = path.find_last_of('/');
    return codePageToUtf8(slash == std::string::npos ? path : path.substr(slash + 1));
}

const RunSummary::FileReading* readingOf(const RunSummary& summary, std::size_t file)
{
    return file < summary.fileReadings.size() ? &summary.fileReadings[file] : nullptr;
}

} // namespace

std::string unmappedText(std::size_t count, const std::string& codePage, int firstLine)
{
    return std::to_string(count) + (count == 1 ? " character" : " characters") + " without a " +
           codePage + " form sent as '?' (first on line " + std::to_string(firstLine) + ")";
}

std::string partialReadText(int count, const std::string& first)
{
    return std::to_string(count) + (count == 1 ? " line" : " lines") +
           " with a number read only in part (first: " + first + ")";
}

std::string partialReadExample(int fileLine, int field, const std::string& text, long long value)
{
    return "line " + std::to_string(fileLine) + ": " + fieldName(field) + " '" +
           codePageToUtf8(text) + "' read as " + std::to_string(value);
}

std::vector<std::string> readingLines(const RunSummary& summary)
{
    std::vector<std::string> lines;
    for (std::size_t i = 0; i < summary.files.size(); ++i) {
        if (const auto* reading = readingOf(summary, i); reading && !reading->encoding.empty()) {
            lines.push_back(baseName(summary.files[i]) + ": read as " + reading->encoding + " (" +
                            reading->encodingReason + ")");
        }
    }
    return lines;
}

std::vector<std::string> readingWarnings(const RunSummary& summary)
{
    std::vector<std::string> lines;
    for (std::size_t i = 0; i < summary.files.size(); ++i) {
        const auto* reading = readingOf(summary, i);
        if (reading == nullptr) {
            continue;
        }
        if (reading->unmappedCharacters > 0) {
            lines.push_back(baseName(summary.files[i]) + ": " +
                            unmappedText(static_cast<std::size_t>(reading->unmappedCharacters),
                                         reading->codePage, reading->firstUnmappedLine));
        }
        if (reading->partialReads > 0) {
            lines.push_back(baseName(summary.files[i]) + ": " +
                            partialReadText(reading->partialReads, reading->firstPartialRead));
        }
    }
    return lines;
}

} // namespace ostrel
