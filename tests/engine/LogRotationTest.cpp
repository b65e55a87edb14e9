#include "engine/LogRotation.h"
#include "engine/SendLog.h"

#include "EngineTestSupport.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

namespace ostrel {
namespace {

using test::readFile;
using test::TempDir;

// One log line as the run writes it: 45 bytes with its CR LF.
const std::string kLine = "2024035103000 : /plu/ITEM1.TXT : 10.0.0.1 - SUCCESS\r\n";

std::vector<std::string> linesOf(const std::string& bytes)
{
    std::vector<std::string> lines;
    std::size_t start = 0;
    while (start < bytes.size()) {
        const auto end = bytes.find("\r\n", start);
        lines.push_back(bytes.substr(start, end == std::string::npos ? end : end - start));
        start = end == std::string::npos ? bytes.size() : end + 2;
    }
    return lines;
}

void writeBytes(const std::string& path, const std::string& bytes)
{
    std::ofstream(path, std::ios::binary) << bytes;
}

TEST(LogRotation, TenMegabytesRotateWithoutLosingOrCuttingALine)
{
    TempDir dir;
    const SendLogPaths log{dir.file("Log"), dir.file("Log") + "/Ostrel.log"};
    std::filesystem::create_directories(log.logFolder);
    // Filled in big blocks to a line short of the limit.
    std::string block;
    for (int i = 0; i < 10000; ++i) {
        block += kLine;
    }
    const std::uint64_t linesFit = kLogRotateBytes / kLine.size();
    std::string filled;
    while (filled.size() + block.size() <= linesFit * kLine.size()) {
        filled += block;
    }
    while (filled.size() + kLine.size() <= kLogRotateBytes) {
        filled += kLine;
    }
    writeBytes(log.logFile, filled);

    // Two lines of one write no longer fit: the whole write goes to the new log.
    const std::vector<DataFileEntry> files{{"/plu/A.TXT", {}, {}}, {"/plu/B.TXT", {}, {}}};
    ASSERT_EQ(WriteSendLog(log, files, "2024035103001", "10.0.0.2", kLogFailed), 2);
    EXPECT_EQ(readFile(log.logFile + ".1"), filled);
    EXPECT_EQ(readFile(log.logFile), "2024035103001 : /plu/A.TXT : 10.0.0.2 - FAILED\r\n"
                                     "2024035103001 : /plu/B.TXT : 10.0.0.2 - FAILED\r\n");
    const auto old = linesOf(readFile(log.logFile + ".1"));
    EXPECT_EQ(old.size(), filled.size() / kLine.size());
    EXPECT_EQ(old.back() + "\r\n", kLine);
    EXPECT_LE(std::filesystem::file_size(log.logFile + ".1"), kLogRotateBytes);
}

TEST(LogRotation, KeepsFiveOldFilesAndDropsTheOldest)
{
    TempDir dir;
    const std::string logFile = dir.file("Ostrel.log");
    for (int generation = 1; generation <= 7; ++generation) {
        writeBytes(logFile, "generation " + std::to_string(generation) + "\r\n");
        EXPECT_TRUE(rotateLogBeforeWrite(logFile, 100, 64));
    }
    EXPECT_FALSE(std::filesystem::exists(logFile));
    for (int number = 1; number <= 5; ++number) {
        EXPECT_EQ(readFile(logFile + "." + std::to_string(number)),
                  "generation " + std::to_string(8 - number) + "\r\n");
    }
    EXPECT_FALSE(std::filesystem::exists(logFile + ".6"));
}

TEST(LogRotation, BelowTheLimitOrEmptyNothingMoves)
{
    TempDir dir;
    const std::string logFile = dir.file("Ostrel.log");
    EXPECT_FALSE(rotateLogBeforeWrite(logFile, 1000, 64)); // missing
    writeBytes(logFile, "");
    EXPECT_FALSE(rotateLogBeforeWrite(logFile, 1000, 64)); // an oversized first write lands
    writeBytes(logFile, std::string(32, 'x'));
    EXPECT_FALSE(rotateLogBeforeWrite(logFile, 32, 64)); // exactly at the limit
    EXPECT_TRUE(rotateLogBeforeWrite(logFile, 33, 64));
}

} // namespace
} // namespace ostrel
