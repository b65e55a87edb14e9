#include "format/DataFiles.h"

#include "TestSupport.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>

namespace ostrel {
namespace {

using test::TempDir;
using test::writeFile;

void setMtime(const std::string& path, std::int64_t seconds, long nanoseconds = 0)
{
    const struct timespec times[2] = {{static_cast<time_t>(seconds), nanoseconds},
                                      {static_cast<time_t>(seconds), nanoseconds}};
    ASSERT_EQ(::utimensat(AT_FDCWD, path.c_str(), times, 0), 0);
}

std::vector<std::string> paths(const std::vector<DataFileEntry>& rows)
{
    std::vector<std::string> out;
    for (const auto& row : rows) {
        out.push_back(row.path);
    }
    return out;
}

DataFileEntry row(std::string path, int hour, int minute, int second)
{
    return {std::move(path), LocalTime{2024, 3, 5, hour, minute, second}, std::nullopt};
}

TEST(SortDataFiles, OldestFirstAndTiesFollowTheExchangeOrder)
{
    std::vector<DataFileEntry> rows{row("b1", 10, 0, 5), row("a", 9, 59, 59), row("b2", 10, 0, 5)};
    SortDataFiles(rows, rows.size());
    EXPECT_EQ(paths(rows), (std::vector<std::string>{"a", "b1", "b2"}));

    // An older row swapped forward carries the first of two equal rows behind the second.
    rows = {row("t1", 11, 0, 0), row("t2", 11, 0, 0), row("old", 8, 0, 0)};
    SortDataFiles(rows, rows.size());
    EXPECT_EQ(paths(rows), (std::vector<std::string>{"old", "t2", "t1"}));

    // Only the first `count` rows take part.
    rows = {row("late", 12, 0, 0), row("early", 7, 0, 0), row("earliest", 1, 0, 0)};
    SortDataFiles(rows, 2);
    EXPECT_EQ(paths(rows), (std::vector<std::string>{"early", "late", "earliest"}));
}

TEST(FindDataFiles, ListsMatchingFilesOldestFirstIgnoringCase)
{
    TempDir dir;
    const std::int64_t base = 1'700'000'000;
    writeFile(dir.file("item2.txt"), "x");
    setMtime(dir.file("item2.txt"), base + 10);
    writeFile(dir.file("ITEM1.TXT"), "x");
    setMtime(dir.file("ITEM1.TXT"), base, 999'000'000);
    writeFile(dir.file("Item3.Txt"), "x");
    setMtime(dir.file("Item3.Txt"), base + 5);
    writeFile(dir.file("other.txt"), "x");
    writeFile(dir.file("item4.csv"), "x");
    ASSERT_EQ(::mkdir(dir.file("ITEM9.TXT").c_str(), 0755), 0); // a folder never matches

    const auto rows = FindDataFiles(dir.path() + "/ITEM*.TXT");
    EXPECT_EQ(paths(rows), (std::vector<std::string>{dir.file("ITEM1.TXT"), dir.file("Item3.Txt"),
                                                     dir.file("item2.txt")}));
    EXPECT_EQ(rows[0].time, toLocalTime(base));
    EXPECT_TRUE(FindDataFiles("").empty());
}

TEST(FindDataFiles, MoreThanAHundredMatchesKeepsTheOldest)
{
    TempDir dir;
    const std::int64_t base = 1'700'000'000;
    for (int i = 0; i < 105; ++i) {
        // Appended piece by piece: g++ 12 -O3 takes "P" + temporary for an overlapping copy.
        std::string name = "P";
        name += std::to_string(i);
        name += ".DAT";
        const std::string path = dir.file(name);
        writeFile(path, "x");
        setMtime(path, base + 1000 - i); // P104 is the oldest
    }
    const auto rows = FindDataFiles(dir.path() + "/P*.DAT");
    ASSERT_EQ(rows.size(), 100u);
    EXPECT_EQ(rows.front().path, dir.file("P104.DAT"));
    EXPECT_EQ(rows.back().path, dir.file("P5.DAT"));
}

} // namespace
} // namespace ostrel
