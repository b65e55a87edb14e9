#include "EngineTestSupport.h"

#include "engine/ImportSources.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace ostrel {
namespace {

using test::bytesAt;
using test::TempDir;
using test::writeFile;

std::string ruleRecord(std::int32_t field, std::string_view find, std::string_view replace)
{
    std::string record(304, '\0');
    for (int i = 0; i < 4; ++i) {
        record[static_cast<std::size_t>(i)] = static_cast<char>(field >> (8 * i));
    }
    // Copied over, not replace(): g++ 12 -O3 takes that for an overlapping copy (-Wrestrict).
    std::copy(find.begin(), find.end(), record.begin() + 104);
    std::copy(replace.begin(), replace.end(), record.begin() + 204);
    return record;
}

// Guarantees a new stamp even on a coarse clock: the inode changes.
void replaceFile(const std::string& path, std::string_view bytes)
{
    writeFile(path + ".new", bytes);
    std::filesystem::rename(path + ".new", path);
}

TEST(PluIdColumns, StopAtTheFirstAbsentOrEmptyKey)
{
    EXPECT_EQ(parsePluIdColumns("[PLU ID]\nID01=0002\nID02=0001\nID04=0006\n"),
              (std::vector<int>{2, 1}));
    EXPECT_EQ(parsePluIdColumns("[plu id]\r\nid01 = 0010\r\nID02=\r\nID03=0006\r\n"),
              (std::vector<int>{10}));
    EXPECT_TRUE(parsePluIdColumns("[PLU NAME]\nID01=0002\n").empty());
}

class ImportSourcesTest : public ::testing::Test
{
protected:
    TempDir m_dir;
    ImportSourcePaths m_paths{m_dir.file("PluID.ini"), m_dir.file("plumatch.mch"),
                              m_dir.file("Tarvik.ini")};
};

TEST_F(ImportSourcesTest, EditsBetweenLinesTakeEffectAtTheNextLine)
{
    writeFile(m_paths.pluIdIni, "[PLU ID]\nID01=0002\nID02=0001\nID03=0006\n");
    ImportSources sources(m_paths);
    const ColumnList line{"123", "5", "2.5"};
    PluRecord record;

    ASSERT_EQ(ParseSeparatedLine(kPluDataKind, record, line, sources, 2), 3);
    EXPECT_EQ(bytesAt(record, 2, 4), 123u);
    EXPECT_EQ(bytesAt(record, 0, 2), 5u);
    EXPECT_EQ(bytesAt(record, 435, 4), 0u);

    replaceFile(m_paths.pluIdIni, "[PLU ID]\nID01=0002\nID02=0004\nID03=0006\n");
    replaceFile(m_paths.runSettingsIni, "[SEPARATE]\nItemIsPLU=1\n");
    writeFile(m_paths.rulesFile, ruleRecord(6, "2.5", "9"));
    ASSERT_EQ(ParseSeparatedLine(kPluDataKind, record, line, sources, 2), 3);
    EXPECT_EQ(bytesAt(record, 0, 2), 1u); // column 2 now feeds field 4
    EXPECT_EQ(bytesAt(record, 6, 1), 5u);
    EXPECT_EQ(bytesAt(record, 435, 4), 123u);
    EXPECT_EQ(bytesAt(record, 443, 4), 900u);

    // An edit in place that keeps the size still counts (the time differs).
    writeFile(m_paths.pluIdIni, "[PLU ID]\nID01=0002\nID02=0001\nID03=0004\n");
    ASSERT_EQ(ParseSeparatedLine(kPluDataKind, record, line, sources, 2), 3);
    EXPECT_EQ(bytesAt(record, 0, 2), 5u);
    EXPECT_EQ(bytesAt(record, 6, 1), 2u); // "2.5" read as a plain number

    std::filesystem::remove(m_paths.rulesFile);
    std::filesystem::remove(m_paths.pluIdIni);
    EXPECT_EQ(ParseSeparatedLine(kPluDataKind, record, line, sources, 2), 0);
}

TEST_F(ImportSourcesTest, FixedLinesSeeRuleEdits)
{
    ImportSources sources(m_paths);
    PluRecord record;
    const ColumnList line{"10", "7"};
    ASSERT_EQ(ParseFixedLine(kPluDataKind, record, line, sources, 2), 3);
    EXPECT_EQ(bytesAt(record, 0, 2), 10u);
    writeFile(m_paths.rulesFile, ruleRecord(1, "10", "3") + ruleRecord(1, "10", "4"));
    ASSERT_EQ(ParseFixedLine(kPluDataKind, record, line, sources, 2), 3);
    EXPECT_EQ(bytesAt(record, 0, 2), 3u);
}

} // namespace
} // namespace ostrel

namespace ostrel {
namespace {

TEST(ChangeWatch, ReportsEditsInPlaceAndReplacementsOnce)
{
    test::TempDir dir;
    const std::string file = dir.file("PluID.ini");
    test::writeFile(file, "[PLU ID]\nID01=0002\n");
    ChangeWatch watch({file});
    ASSERT_TRUE(watch.watching());
    EXPECT_TRUE(watch.mayHaveChanged()); // first question: nothing is known yet
    EXPECT_FALSE(watch.mayHaveChanged());

    test::writeFile(file, "[PLU ID]\nID01=0001\n"); // same size, edited in place
    EXPECT_TRUE(watch.mayHaveChanged());
    EXPECT_FALSE(watch.mayHaveChanged());

    test::writeFile(file + ".new", "x");
    std::filesystem::rename(file + ".new", file);
    EXPECT_TRUE(watch.mayHaveChanged());
    test::writeFile(file, "y"); // the replacement is watched too
    EXPECT_TRUE(watch.mayHaveChanged());
}

TEST(ChangeWatch, MissingFolderMeansAlwaysCheck)
{
    ChangeWatch watch({"/nonexistent-ostrel-folder/PluID.ini"});
    EXPECT_FALSE(watch.watching());
    EXPECT_TRUE(watch.mayHaveChanged());
    EXPECT_TRUE(watch.mayHaveChanged());
}

} // namespace
} // namespace ostrel

namespace ostrel {
namespace {

TEST(FileBackedCache, ComparesStampsWhenNotToldAndTrustsWhenTold)
{
    test::TempDir dir;
    const std::string file = dir.file("rules");
    int parses = 0;
    auto parse = [&](std::optional<std::string_view> bytes) {
        ++parses;
        return bytes ? std::string(*bytes) : std::string("<none>");
    };
    FileBackedCache<std::string, decltype(parse)> cache(file, parse);
    EXPECT_EQ(cache.current(), "<none>");
    test::writeFile(file, "one");
    EXPECT_EQ(cache.current(CacheCheck::Trust), "<none>");
    EXPECT_EQ(cache.current(), "one");
    EXPECT_EQ(cache.current(), "one");
    EXPECT_EQ(parses, 2);
    test::writeFile(file, "three");
    EXPECT_EQ(cache.current(CacheCheck::CompareStamp), "three");
    EXPECT_EQ(cache.current(CacheCheck::Reload), "three");
    EXPECT_EQ(parses, 4);
}

} // namespace
} // namespace ostrel
