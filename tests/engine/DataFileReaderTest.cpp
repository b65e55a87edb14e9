#include "EngineTestSupport.h"

#include "engine/DataFileReader.h"
#include "engine/FileIdentity.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <fstream>
#include <sys/stat.h>

namespace ostrel {
namespace {

using test::TempDir;
using test::writeFile;

DataFileReader commaReader(int startRow)
{
    ImportFormat format;
    format.textSettings = {{kTextSeparator, ","}, {kTextComment, "//"}};
    DataFileReader reader{LineSplitter(format), startRow};
    reader.setCodePage("CP1252");
    return reader;
}

TEST(ReadDataFile, StartRowAndEmptyLinesAreSkipped)
{
    TempDir dir;
    writeFile(dir.file("a.txt"), "header1\r\nheader2\r\n1,A\r\n\r\n2,B\n\n3,C");
    auto reader = commaReader(3);
    LineTable table;
    EXPECT_EQ(reader.ReadDataFile(dir.file("a.txt"), table), 3);
    EXPECT_EQ(table, (LineTable{{"1", "A"}, {"2", "B"}, {"3", "C"}}));
}

TEST(ReadDataFile, FilesAppendAndTheResultCountsAllLines)
{
    TempDir dir;
    writeFile(dir.file("a.txt"), "1,A\n");
    writeFile(dir.file("b.txt"), "2,B\n3,C\n");
    auto reader = commaReader(0); // 0 behaves as 1
    LineTable table;
    EXPECT_EQ(reader.ReadDataFile(dir.file("a.txt"), table), 1);
    EXPECT_EQ(reader.ReadDataFile(dir.file("b.txt"), table), 3);
    EXPECT_EQ(reader.ReadDataFile(dir.file("missing.txt"), table), 0);
    EXPECT_EQ(reader.ReadDataFile("", table), 0);
    EXPECT_EQ(table.size(), 3u);
}

TEST(ReadDataFile, CommentLineStopsTheFileButKeepsEarlierLines)
{
    TempDir dir;
    writeFile(dir.file("a.txt"), "1,A\n//stop\n2,B\n");
    auto reader = commaReader(1);
    LineTable table;
    EXPECT_EQ(reader.ReadDataFile(dir.file("a.txt"), table), 0);
    EXPECT_EQ(table, (LineTable{{"1", "A"}}));
}

TEST(ReadDataFile, LongLinesAreReadWhole)
{
    TempDir dir;
    const std::string longName(3000, 'n');
    writeFile(dir.file("a.txt"), "1," + longName + ",9\r\n2,x\r\n");
    auto reader = commaReader(1);
    LineTable table;
    ASSERT_EQ(reader.ReadDataFile(dir.file("a.txt"), table), 2);
    EXPECT_EQ(table[0], (ColumnList{"1", longName, "9"}));
}

TEST(ReadDataFile, EncodingIsDecidedOncePerFileFromItsBytes)
{
    const std::string mark(kUtf8Mark);
    // "Crème" in UTF-8 and in CP1252; "Łódź" has two letters CP1252 lacks.
    const struct
    {
        const char* name;
        std::string bytes;
        int startRow;
        EncodingSetting setting;
        std::string expected; // FileReadResult::encoding.describe
        LineTable lines;
        std::size_t unmapped;
        int firstUnmappedLine;
    } cases[] = {
        {"mark, start row 1",
         mark + "1,Cr\xC3\xA8me\n2,\xC3\x84\n3,\xFF\n",
         1,
         EncodingSetting::Auto,
         "UTF-8 (byte-order mark)",
         {{"1", "Cr\xE8me"}, {"2", "\xC4"}},
         0,
         0},
        // A header line before the start row must not leave the file unconverted.
        {"mark, header",
         mark + "Dept,PLU\n1,Cr\xC3\xA8me\n",
         2,
         EncodingSetting::Auto,
         "UTF-8 (byte-order mark)",
         {{"1", "Cr\xE8me"}},
         0,
         0},
        {"no mark",
         "Dept,Name\n1,Cr\xC3\xA8me\n2,\xC5\x81\xC3\xB3"
         "d\xC5\xBA\n",
         1,
         EncodingSetting::Auto,
         "UTF-8 (valid UTF-8)",
         {{"Dept", "Name"},
          {"1", "Cr\xE8me"},
          {"2", "?\xF3"
                "d?"}},
         2,
         3},
        {"CP1252",
         "1,Cr\xE8me\n2,Caf\xE9\n",
         1,
         EncodingSetting::Auto,
         "CP1252 (not UTF-8)",
         {{"1", "Cr\xE8me"}, {"2", "Caf\xE9"}},
         0,
         0},
        {"ASCII",
         "1,Milk\n",
         1,
         EncodingSetting::Auto,
         "CP1252 (ASCII only)",
         {{"1", "Milk"}},
         0,
         0},
        // Forced: the mark still goes; a line that is no UTF-8 is skipped.
        {"forced code page",
         mark + "1,Cr\xC3\xA8me\n",
         1,
         EncodingSetting::CodePage,
         "CP1252 (ENCODING)",
         {{"1", "Cr\xC3\xA8me"}},
         0,
         0},
        {"forced UTF-8",
         "1,Cr\xC3\xA8me\n2,Caf\xE9\n",
         1,
         EncodingSetting::Utf8,
         "UTF-8 (ENCODING)",
         {{"1", "Cr\xE8me"}},
         0,
         0},
    };
    for (const auto& c : cases) {
        TempDir dir;
        writeFile(dir.file("a.txt"), c.bytes);
        auto reader = commaReader(c.startRow);
        reader.setEncoding(c.setting);
        LineTable table;
        const FileReadResult result = reader.readFile(dir.file("a.txt"), table);
        EXPECT_EQ(result.encoding.describe("CP1252"), c.expected) << c.name;
        EXPECT_EQ(table, c.lines) << c.name;
        EXPECT_EQ(result.unmappedCharacters, c.unmapped) << c.name;
        EXPECT_EQ(result.firstUnmappedLine, c.firstUnmappedLine) << c.name;
    }
}

TEST(ReadDataFile, BadLinesAreSkippedAndCountedAndTheFileGoesOn)
{
    TempDir dir;
    // Line 2 not UTF-8, line 3 a zero byte, line 4 only the mark, line 5 a comment that is not
    // at the start (no column), then a good line and a trailer that ends the data.
    writeFile(dir.file("a.txt"), std::string("\xEF\xBB\xBF"
                                             "1,a\n2,\xC3\n3,b\0c\n\xEF\xBB\xBF\n //x\n6,f\n"
                                             "//trailer\n8,h\n",
                                             44));
    auto reader = commaReader(1);
    LineTable table;
    const FileReadResult result = reader.readFile(dir.file("a.txt"), table);
    EXPECT_TRUE(result.opened);
    EXPECT_EQ(table, (LineTable{{"1", "a"}, {"6", "f"}}));
    EXPECT_EQ(result.linesAppended, 2);
    EXPECT_EQ(result.linesSkipped, 3);
    EXPECT_TRUE(result.endedByComment);
    EXPECT_EQ(result.lineNumbers.at(0), 1);
    EXPECT_EQ(result.lineNumbers.at(1), 6);
    EXPECT_EQ(result.lineNumbers.at(2), 0);
    EXPECT_EQ(result.contentHash, contentHash(test::readFile(dir.file("a.txt"))));
}

TEST(ReadDataFile, ReportsTheStampOfTheBytesRead)
{
    TempDir dir;
    writeFile(dir.file("a.txt"), "1,A\n");
    auto reader = commaReader(1);
    LineTable table;
    std::optional<FileStamp> stamp;
    ASSERT_EQ(reader.ReadDataFile(dir.file("a.txt"), table, &stamp), 1);
    EXPECT_EQ(stamp, fileStamp(dir.file("a.txt")));
}

TEST(ReadDataFile, AnUnreadableFileIsNamedAndAFifoNeverBlocks)
{
    TempDir dir;
    ASSERT_EQ(::mkfifo(dir.file("PLUF.TXT").c_str(), 0600), 0);
    auto reader = commaReader(1);
    LineTable table;
    ::testing::internal::CaptureStderr();
    EXPECT_EQ(reader.ReadDataFile(dir.file("gone.txt"), table), 0);
    EXPECT_EQ(reader.ReadDataFile(dir.file("PLUF.TXT"), table), 0);
    const std::string err = ::testing::internal::GetCapturedStderr();
    EXPECT_NE(err.find("cannot read the data file " + dir.file("gone.txt")), std::string::npos)
        << err;
    EXPECT_NE(err.find("cannot read the data file " + dir.file("PLUF.TXT")), std::string::npos)
        << err;
    EXPECT_TRUE(table.empty());
}

TEST(ReadDataFile, AnIndexedFileReadsEachLineAgainAndTellsALineChangedUnderIt)
{
    TempDir dir;
    // Over 1 MB, so lines cross the reader's chunks, and more lines than the index buffers
    // before it writes; UTF-8 with a mark and CR LF ends.
    std::string bytes(kUtf8Mark);
    for (int i = 1; i <= 70000; ++i) {
        bytes += std::to_string(i) + ",Cr\xC3\xA8me " +
                 std::string(static_cast<std::size_t>(i % 57), 'x') + ",2.49\r\n";
    }
    ASSERT_GT(bytes.size(), std::size_t{1} << 20);
    const std::string path = dir.file("a.txt");
    writeFile(path, bytes);
    auto reader = commaReader(1);
    LineTable table;
    ASSERT_EQ(reader.ReadDataFile(path, table), 70000);
    ColumnList columns;
    // The index in a temporary file, and in memory where there is no temporary folder.
    IndexedFile inMemory;
    {
        const test::ScopedEnv noTemporaryFolder("TMPDIR", dir.file("missing"));
        ASSERT_TRUE(reader.indexFile(path, inMemory).opened);
    }
    IndexedFile file;
    ASSERT_TRUE(reader.indexFile(path, file).opened);
    for (const IndexedFile* indexed : {&inMemory, &file}) {
        ASSERT_EQ(indexed->size(), table.size());
        for (std::size_t i = 0; i < table.size(); ++i) {
            ASSERT_TRUE(reader.lineColumns(*indexed, i, columns)) << i;
            ASSERT_EQ(columns, table[i]) << i;
        }
    }
    EXPECT_EQ(columns[1].substr(0, 5), "Cr\xE8me"); // converted to the code page

    {
        std::ofstream append(path, std::ios::binary | std::ios::app);
        append << "70001,Late,1.00\r\n";
    }
    EXPECT_TRUE(reader.lineColumns(file, 0, columns)); // an append leaves the lines as they were
    // Rewritten in place, same size: line 2 now holds another price.
    const std::size_t at = bytes.find("2,Cr");
    bytes.replace(bytes.find("2.49", at), 4, "9.99");
    writeFile(path, bytes);
    EXPECT_TRUE(reader.lineColumns(file, 0, columns));
    EXPECT_FALSE(reader.lineColumns(file, 1, columns));
    ::truncate(path.c_str(), 1000); // cut short: no crash, the lost lines read as gone
    EXPECT_FALSE(reader.lineColumns(file, 69999, columns));
}

TEST(ReadDataFile, LineHookCanStopReading)
{
    TempDir dir;
    writeFile(dir.file("a.txt"), "1\n2\n3\n4\n");
    auto reader = commaReader(1);
    int calls = 0;
    reader.setLineHook([&] { return ++calls < 2; }, 2);
    LineTable table;
    EXPECT_EQ(reader.ReadDataFile(dir.file("a.txt"), table), 0);
    EXPECT_EQ(calls, 2);
    EXPECT_EQ(table.size(), 3u);
}

} // namespace
} // namespace ostrel
