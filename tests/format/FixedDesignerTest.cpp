// The fixed-type designer's steps without a window: the sample's line rules, the rows and the
// marks a selection makes, the strip's colour rule, the Save and its order, the check on OK.
#include "format/FixedFieldRows.h"
#include "format/FixedForm.h"
#include "format/FixedSample.h"
#include "platform/MessageBox.h"

#include "TestSupport.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace ostrel {
namespace {

using namespace std::string_literals;
using test::readFile;
using test::TempDir;
using test::writeFile;
using test::zeros;
using Lines = std::vector<std::string>;

TEST(FixedSampleLines, LineEndsRunsAndTheLastLine)
{
    EXPECT_EQ(FixedSampleReader::splitLines("ab\r\n\r\ncd"), (Lines{"ab", "cd"}));
    EXPECT_EQ(FixedSampleReader::splitLines("\r\nab\ncd"), (Lines{"", "ab", "cd"}));
    EXPECT_EQ(FixedSampleReader::splitLines("\n\n\nab"), (Lines{"", "ab"}));
    EXPECT_EQ(FixedSampleReader::splitLines("ab\rcd\n"), (Lines{"ab", "cd"}));
    EXPECT_EQ(FixedSampleReader::splitLines("ab"), (Lines{"ab"}));
    EXPECT_TRUE(FixedSampleReader::splitLines("").empty());
    // Bytes as they are: the UTF-8 mark and code page bytes stay.
    EXPECT_EQ(FixedSampleReader::splitLines("\xEF\xBB\xBF"
                                            "1\xE9\r\n"),
              (Lines{"\xEF\xBB\xBF"
                     "1\xE9"}));
}

TEST(FixedSampleLines, FileReadInSlicesGivesTheSameLinesUpToTheListsReach)
{
    TempDir dir;
    std::string bytes;
    for (int i = 1; i <= 600; ++i) {
        bytes += "line " + std::to_string(i) + "\r\n";
    }
    writeFile(dir.file("PLU1.TXT"), bytes);
    FixedSampleReader reader(dir.file("PLU1.TXT"));
    ASSERT_TRUE(reader.opened());
    int slices = 0;
    while (!reader.advance(5)) {
        ++slices;
    }
    EXPECT_GT(slices, 100);
    ASSERT_EQ(reader.lines().size(), FixedSampleReader::kMaxLines);
    EXPECT_EQ(reader.lines().front(), "line 1");
    EXPECT_EQ(reader.lines().back(), "line 500");

    writeFile(dir.file("long.txt"), std::string(FixedSampleReader::kLineMax + 10, 'x') + "\nB");
    const Lines cut = FixedSampleReader::readLines(dir.file("long.txt"));
    ASSERT_EQ(cut.size(), 2u);
    EXPECT_EQ(cut[0].size(), FixedSampleReader::kLineMax);
    EXPECT_EQ(cut[1], "B");

    EXPECT_FALSE(FixedSampleReader(dir.file("none.txt")).opened());
    EXPECT_TRUE(FixedSampleReader::readLines(dir.file("none.txt")).empty());
}

TEST(FixedSampleLines, LinesAreTheCodePageBytesTheRunSplits)
{
    TempDir dir;
    // A header with the mark, then "Crème" in UTF-8: shown as CP1252, so a marked column is the
    // column the run cuts. A 600-line ASCII stretch lies between the lines and the "é" that
    // makes the file UTF-8, past the lines the list can show.
    std::string ascii;
    for (int i = 0; i < 600; ++i) {
        ascii += "0001 plain line\n";
    }
    const struct
    {
        std::string bytes;
        EncodingSetting setting;
        std::string first;
        std::string second;
        std::string encoding;
    } cases[] = {
        {"\xEF\xBB\xBF"
         "Dept\r\n1 Cr\xC3\xA8me\r\n",
         EncodingSetting::Auto, "Dept", "1 Cr\xE8me", "UTF-8 (byte-order mark)"},
        {"1 Cr\xE8me\r\n2 Caf\xE9\r\n", EncodingSetting::Auto, "1 Cr\xE8me", "2 Caf\xE9",
         "CP1252 (not UTF-8)"},
        {"Dept\n" + ascii + "1 Caf\xC3\xA9\n", EncodingSetting::Auto, "Dept", "0001 plain line",
         "UTF-8 (valid UTF-8)"},
        {"\xEF\xBB\xBF"
         "1 Cr\xC3\xA8me\n",
         EncodingSetting::CodePage, "1 Cr\xC3\xA8me", "", "CP1252 (ENCODING)"},
    };
    for (const auto& c : cases) {
        writeFile(dir.file("PLU1.TXT"), c.bytes);
        FixedSampleReader reader(dir.file("PLU1.TXT"), c.setting, "CP1252");
        while (!reader.advance(7)) {
        }
        ASSERT_FALSE(reader.lines().empty()) << c.encoding;
        EXPECT_EQ(reader.lines()[0], c.first) << c.encoding;
        EXPECT_EQ(reader.lines().size() > 1 ? reader.lines()[1] : "", c.second) << c.encoding;
        EXPECT_EQ(reader.encoding().describe("CP1252"), c.encoding);
    }
}

TEST(FixedSampleLines, StartRowPicksTheShownLine)
{
    EXPECT_EQ(sampleLineIndexForStartRow("10", 5), 4u); // beyond the last: the last
    EXPECT_EQ(sampleLineIndexForStartRow("1", 5), 0u);
    EXPECT_EQ(sampleLineIndexForStartRow("3", 5), 2u);
    EXPECT_EQ(sampleLineIndexForStartRow("0", 5), 0u);
    EXPECT_EQ(sampleLineIndexForStartRow("", 5), 0u);
    EXPECT_EQ(sampleLineIndexForStartRow("500", 0), 0u);
}

const std::vector<PluField> kFields = {{1, "Dept"}, {2, "PLU No"}, {10, "Comm. Name(1)"}};

TEST(FixedRows, SelectionMarksTheSelectedRowOnly)
{
    EXPECT_FALSE(spanOfSelection(0, 4, 4));
    EXPECT_FALSE(spanOfSelection(0, 7, 3));
    const auto span = spanOfSelection(0, 3, 7);
    ASSERT_TRUE(span);
    EXPECT_EQ(span->start, 3);
    EXPECT_EQ(span->end, 7);
    EXPECT_EQ(span->length(), 4);
    // A second visible line: the first line and its line end lie above it.
    const auto below = spanOfSelection(12, 14, 20);
    ASSERT_TRUE(below);
    EXPECT_EQ(below->start, 2);
    EXPECT_EQ(below->end, 8);

    FixedFieldRows rows;
    rows.fill(kFields);
    EXPECT_EQ(rows.selected(), std::optional<std::size_t>(0));
    EXPECT_TRUE(rows.mark(*span));
    EXPECT_EQ(rows.rows()[0], (FixedRowCells{1, "Dept", "3", "7", "4"}));

    rows.select(std::nullopt); // a click below the last row
    EXPECT_FALSE(rows.mark({0, 2}));
    rows.select(9);
    EXPECT_FALSE(rows.selected());
    EXPECT_EQ(rows.rows()[1], (FixedRowCells{2, "PLU No", "", "", ""}));

    rows.select(1);
    rows.mark({7, 13});
    rows.select(0);
    rows.clearOne();
    EXPECT_EQ(rows.rows()[0], (FixedRowCells{1, "Dept", "", "", ""}));
    EXPECT_EQ(rows.rows()[1].length, "6");
    rows.clearAll();
    EXPECT_EQ(rows.rows()[1], (FixedRowCells{2, "PLU No", "", "", ""}));
}

TEST(FixedRows, StoredRecordsShowEvenWhenUndefinedAndAreNotMarked)
{
    FixedFieldRows rows;
    rows.fill(kFields);
    rows.showStored({makeFixedFieldDef(1, "Dept", 0, 0), makeFixedFieldDef(2, "PLU No", 2, 6),
                     makeFixedFieldDef(10, "x", 8, 1), makeFixedFieldDef(9, "beyond", 1, 1)});
    EXPECT_EQ(rows.rows()[0], (FixedRowCells{1, "Dept", "0", "0", "0"}));
    EXPECT_EQ(rows.rows()[1], (FixedRowCells{2, "PLU No", "2", "8", "6"}));
    EXPECT_EQ(rows.rows().size(), 3u);

    // Red where a row covers the column: [2, 8) and [8, 9); the 0/0 row marks nothing.
    std::string strip;
    for (std::size_t p = 0; p < 11; ++p) {
        strip += rows.marked(p) ? 'R' : '.';
    }
    EXPECT_EQ(strip, "..RRRRRRR..");

    // An "End" of 0 marks nothing, whatever "Start" says; empty cells count as 0.
    EXPECT_FALSE(isMarkedColumn({{1, "a", "-3", "0", ""}}, 0));
    EXPECT_TRUE(isMarkedColumn({{1, "a", "", "2", ""}}, 1));
    EXPECT_FALSE(isMarkedColumn({{1, "a", "", "2", ""}}, 2));
}

class FixedSave : public ::testing::Test
{
protected:
    FixedSave() { std::filesystem::create_directories(paths.configFolder); }

    SaveOutcome save(const FixedFieldRows& rows, std::string_view startRow = "3")
    {
        return saveFixedFormat(paths, {"/data/Plu", "plu", "txt"}, rows.definitions(), startRow,
                               messages);
    }
    std::vector<std::string> messageTexts() const
    {
        std::vector<std::string> texts;
        for (const auto& message : messages.messages()) {
            texts.push_back(message.caption + ": " + message.text);
        }
        return texts;
    }
    static std::string record(int number, const std::string& name, const std::string& tail)
    {
        return std::string(1, static_cast<char>(number)) + zeros(3) + name +
               zeros(100 - name.size()) + tail;
    }

    TempDir dir;
    SettingsPaths paths = SettingsPaths::fromDocuments(dir.path());
    RecordingMessageSink messages;
};

TEST_F(FixedSave, ClearAllThenSaveStoresEveryFieldUndefined)
{
    FixedFieldRows rows;
    rows.fill(kFields);
    rows.mark({0, 2});
    rows.clearAll();
    EXPECT_EQ(save(rows), SaveOutcome::Saved);
    EXPECT_EQ(readFile(paths.prsFile), record(1, "Dept", zeros(12)) +
                                           record(2, "PLU No", zeros(12)) +
                                           record(10, "Comm. Name(1)", zeros(12)));
    // The folder keeps its case; FILETYPE before the start row.
    EXPECT_EQ(readFile(paths.tarvikIni), "[PATH]\nPLU ROOT=/data/Plu\nPREFIX=PLU\nEXTENTION=TXT\n"
                                         "[TYPE]\nFILETYPE=2\n[SEPA_STARTROW]\nStart Row=3\n");
    EXPECT_EQ(messageTexts(), std::vector<std::string>{"Ostrel: Save is completed!"});
}

TEST_F(FixedSave, AStartWithoutALengthIsUndefinedAndTheEndIsNotStored)
{
    FixedFieldRows rows;
    rows.fill(kFields);
    rows.showStored({makeFixedFieldDef(1, "Dept", 5, 0)});
    rows.select(1);
    rows.mark({3, 10});
    EXPECT_EQ(save(rows), SaveOutcome::Saved);
    const std::string bytes = readFile(paths.prsFile);
    ASSERT_EQ(bytes.size(), 3 * kPrsRecordSize);
    EXPECT_EQ(bytes.substr(0, 116), record(1, "Dept", "\x05\0\0\0"s + zeros(8)));
    EXPECT_EQ(bytes.substr(116, 116),
              record(2, "PLU No", "\x03\0\0\0"s + "\x07\0\0\0"s + "\x01\0\0\0"s));
}

TEST_F(FixedSave, NoStartRowStopsAfterTheFileAndTheType)
{
    writeFile(paths.tarvikIni, "[SEPA_STARTROW]\nStart Row=abc\n");
    FixedFieldRows rows;
    rows.fill(kFields);
    EXPECT_EQ(save(rows, ""), SaveOutcome::CheckData);
    EXPECT_EQ(readFile(paths.prsFile).size(), 3 * kPrsRecordSize);
    EXPECT_EQ(readFile(paths.tarvikIni),
              "[SEPA_STARTROW]\nStart Row=abc\n[PATH]\nPLU ROOT=/data/Plu"
              "\nPREFIX=PLU\nEXTENTION=TXT\n[TYPE]\nFILETYPE=2\n");
    EXPECT_EQ(messageTexts(), std::vector<std::string>{"Warning: Check data!"});
}

TEST_F(FixedSave, APrsFileThatCannotBeWrittenStopsBeforeTheType)
{
    std::filesystem::create_directories(paths.prsFile); // a folder in the file's place
    FixedFieldRows rows;
    rows.fill(kFields);
    EXPECT_EQ(save(rows), SaveOutcome::WriteFailed);
    EXPECT_EQ(readFile(paths.tarvikIni), "[PATH]\nPLU ROOT=/data/Plu\nPREFIX=PLU\nEXTENTION=TXT\n");
    EXPECT_EQ(messageTexts(), std::vector<std::string>{"Warning: Save Failed!"});

    // Settings are never created by a Save: a missing folder fails too.
    std::filesystem::remove_all(paths.configFolder);
    messages.clear();
    EXPECT_EQ(save(rows), SaveOutcome::WriteFailed);
    EXPECT_EQ(messageTexts(), std::vector<std::string>{"Warning: Save Failed!"});
}

TEST(FixedOkCheck, DeptPluNoAndTheFirstNameMustBeDefined)
{
    std::vector<FixedFieldDef> rows = {
        makeFixedFieldDef(1, "Dept", 0, 2), makeFixedFieldDef(2, "PLU No", 2, 6),
        makeFixedFieldDef(10, "Comm. Name(1)", 8, 20), makeFixedFieldDef(6, "Unit Price", 0, 0)};
    EXPECT_TRUE(requiredFixedFieldsDefined(rows));
    rows[2] = makeFixedFieldDef(10, "Comm. Name(1)", 8, 0);
    EXPECT_FALSE(requiredFixedFieldsDefined(rows));
    rows[2] = makeFixedFieldDef(10, "Comm. Name(1)", -1, 4);
    EXPECT_FALSE(requiredFixedFieldsDefined(rows));
    // A field list without those names requires nothing.
    EXPECT_TRUE(requiredFixedFieldsDefined({makeFixedFieldDef(6, "Unit Price", 0, 0)}));
}

} // namespace
} // namespace ostrel
