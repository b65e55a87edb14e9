// The separated-type designer's steps without a window: its Save and the order of its partial
// writes, the preview of a sample file, the column order list, and OK's save question.
#include "format/ColumnOrder.h"
#include "format/ImportFormat.h"
#include "format/PluFileSettingSession.h"
#include "format/SampleFile.h"
#include "format/SeparatedForm.h"
#include "format/SeparatedPreview.h"
#include "platform/MessageBox.h"

#include "TestSupport.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace ostrel {
namespace {

using test::readFile;
using test::TempDir;
using test::writeFile;

class SeparatedSave : public ::testing::Test
{
protected:
    SeparatedSave() { std::filesystem::create_directories(paths.configFolder); }

    SaveOutcome save(const SeparatedForm& form, const std::vector<PluIdRow>& rows = {})
    {
        return saveSeparatedFormat(paths, {"/data/Plu", "plu", "txt"}, form, rows, messages);
    }
    std::vector<std::string> messageTexts() const
    {
        std::vector<std::string> texts;
        for (const auto& message : messages.messages()) {
            texts.push_back(message.caption + ": " + message.text);
        }
        return texts;
    }

    TempDir dir;
    SettingsPaths paths = SettingsPaths::fromDocuments(dir.path());
    RecordingMessageSink messages;
};

TEST_F(SeparatedSave, TabWritesUseTabAndKeepsTheSeparatorInKeyOrder)
{
    writeFile(paths.tarvikIni, "[PATH]\nPLU ROOT=/old\n[SEPARATE]\nSeparate=|\nUseTab=0\n");
    SeparatedForm form;
    form.useTab = true;
    form.separator = ";"; // not written while Tab is chosen
    form.comment = "#";
    form.startRow = "3";
    form.itemIsPlu = true;
    EXPECT_EQ(save(form, {{5, "Unit Price"}}), SaveOutcome::Saved);

    // The folder keeps its case; prefix and extension are stored upper-cased.
    EXPECT_EQ(readFile(paths.tarvikIni), "[PATH]\nPLU ROOT=/data/Plu\nPREFIX=PLU\nEXTENTION=TXT\n"
                                         "[SEPARATE]\nSeparate=|\nUseTab=1\nComment=#\n"
                                         "ItemIsPLU=1\n[SEPA_STARTROW]\nStart Row=3\n"
                                         "[TYPE]\nFILETYPE=1\n");
    EXPECT_EQ(readFile(paths.pluIdIni), "[PLU ID]\nID01=0005\n[PLU NAME]\nNAME01=Unit Price\n");
    EXPECT_EQ(messageTexts(), std::vector<std::string>{"Ostrel: Save is completed!"});

    const SeparatedForm reread = readSeparatedForm(paths.tarvikIni);
    EXPECT_TRUE(reread.useTab);
    EXPECT_EQ(reread.separator, "|");
    EXPECT_EQ(reread.effectiveSeparator(), "\t");
}

TEST_F(SeparatedSave, EmptyRequiredValuesStopWithWhatCameBeforeWritten)
{
    SeparatedForm form;
    form.separator = ";";
    form.comment = "";
    EXPECT_EQ(save(form, {{1, "Dept"}}), SaveOutcome::CheckData);
    EXPECT_EQ(readFile(paths.tarvikIni), "[PATH]\nPLU ROOT=/data/Plu\nPREFIX=PLU\nEXTENTION=TXT\n"
                                         "[SEPARATE]\nSeparate=;\nUseTab=0\n");
    EXPECT_FALSE(std::filesystem::exists(paths.pluIdIni));
    EXPECT_EQ(messageTexts(), std::vector<std::string>{"Warning: Check data!"});

    // An empty separator stops before it; an empty start row after the comment marker.
    std::filesystem::remove(paths.tarvikIni);
    form.separator = "";
    form.comment = "//";
    EXPECT_EQ(save(form), SaveOutcome::CheckData);
    EXPECT_EQ(readFile(paths.tarvikIni), "[PATH]\nPLU ROOT=/data/Plu\nPREFIX=PLU\nEXTENTION=TXT\n");
    form.separator = ",";
    form.startRow = "";
    EXPECT_EQ(save(form), SaveOutcome::CheckData);
    EXPECT_EQ(readFile(paths.tarvikIni), "[PATH]\nPLU ROOT=/data/Plu\nPREFIX=PLU\nEXTENTION=TXT\n"
                                         "[SEPARATE]\nSeparate=,\nUseTab=0\nComment=//\n");
}

TEST_F(SeparatedSave, ColumnRowsBecomeNumberedKeysAndLongerOldListsKeepTheirTail)
{
    writeFile(paths.pluIdIni, "[PLU ID]\nID01=0002\nID02=0003\nID03=0004\nID04=0009\n"
                              "[PLU NAME]\nNAME01=a\nNAME02=b\nNAME03=c\nNAME04=d\n");
    SeparatedForm form;
    form.startRow = "7x"; // typed values are stored as typed
    EXPECT_EQ(save(form, {{5, "Unit Price"}, {12, "Packed Date"}, {1, "Dept"}}),
              SaveOutcome::Saved);
    EXPECT_EQ(readFile(paths.pluIdIni),
              "[PLU ID]\nID01=0005\nID02=0012\nID03=0001\nID04=0009\n"
              "[PLU NAME]\nNAME01=Unit Price\nNAME02=Packed Date\nNAME03=Dept\nNAME04=d\n");
    EXPECT_EQ(readSeparatedForm(paths.tarvikIni).startRow, "7x");
}

TEST_F(SeparatedSave, DefaultThenSaveWritesTheFieldListInStructureOrder)
{
    ColumnOrder order;
    order.setFields({{1, "Dept"}, {2, "PLU No"}, {10, "Comm. Name(1)"}, {6, "Unit Price"}});
    EXPECT_EQ(save(SeparatedForm{}, order.idRows()), SaveOutcome::Saved);
    EXPECT_EQ(readFile(paths.pluIdIni),
              "[PLU ID]\nID01=0001\nID02=0002\nID03=0010\nID04=0006\n[PLU NAME]\nNAME01=Dept\n"
              "NAME02=PLU No\nNAME03=Comm. Name(1)\nNAME04=Unit Price\n");
}

TEST_F(SeparatedSave, AFileThatCannotBeWrittenIsReportedNotCompleted)
{
    std::filesystem::remove_all(paths.configFolder); // settings are never created by a Save
    EXPECT_EQ(save(SeparatedForm{}), SaveOutcome::WriteFailed);
    EXPECT_EQ(messageTexts(), std::vector<std::string>{"Warning: Save Failed!"});

    // Tarvik.ini written, PluID.ini not writable.
    std::filesystem::create_directories(paths.configFolder);
    std::filesystem::create_directories(paths.pluIdIni); // a folder in the file's place
    messages.clear();
    EXPECT_EQ(save(SeparatedForm{}, {{1, "Dept"}}), SaveOutcome::WriteFailed);
    EXPECT_EQ(messageTexts(), std::vector<std::string>{"Warning: Save Failed!"});
}

class Preview : public ::testing::Test
{
protected:
    std::string previewOf(const std::string& bytes, const std::string& marker = "//")
    {
        writeFile(dir.file("PLU1.TXT"), bytes);
        return PreviewLineScanner::previewLineOf(dir.file("PLU1.TXT"), marker, "CP1252");
    }
    TempDir dir;
};

TEST_F(Preview, DoubledSeparatorsKeepOneEmptyColumn)
{
    using V = std::vector<std::string>;
    EXPECT_EQ(splitPreviewValues("a,,b", ","), (V{"a", "", "b"}));
    EXPECT_EQ(splitPreviewValues("a,,,b", ","), (V{"a", "", "b"}));
    EXPECT_EQ(splitPreviewValues("  1 , 101 ,Apple  ", ","), (V{"1", "101", "Apple"}));
    // Any character of the separator splits, runs counting once.
    EXPECT_EQ(splitPreviewValues("1;2|3;|4", ";|"), (V{"1", "2", "3", "4"}));
    EXPECT_EQ(splitPreviewValues("1\t\t3", "\t"), (V{"1", "", "3"}));
    EXPECT_EQ(splitPreviewValues("\t\t5", "\t"), (V{"", "5"}));
    EXPECT_EQ(splitPreviewValues("one line", ""), (V{"one line"}));
    EXPECT_EQ(splitPreviewValues(",,,", ","), (V{""}));
    EXPECT_TRUE(splitPreviewValues("", ",").empty());
}

TEST_F(Preview, CommentLinesAreSkippedAndAnEmptyMarkerSkipsEveryLine)
{
    EXPECT_EQ(previewOf("// head\r\n//second\r\n1,101,Apple\r\n2,102,Pear\r\n"), "1,101,Apple");
    EXPECT_EQ(previewOf("1,101,Apple\r\n", ""), "");
    EXPECT_EQ(previewOf("//only\n//comments"), "");
    EXPECT_EQ(previewOf("//a\n9,9,last without line end"), "9,9,last without line end");
    EXPECT_EQ(previewOf(""), "");
    EXPECT_EQ(PreviewLineScanner::previewLineOf(dir.file("none.txt"), "//", "CP1252"), "");
    EXPECT_FALSE(PreviewLineScanner(dir.file("none.txt"), "//", "CP1252").opened());
}

TEST_F(Preview, TheUtf8MarkGoesAndTheLineIsConverted)
{
    EXPECT_EQ(previewOf("\xEF\xBB\xBF"
                        "1,101,Caf\xC3\xA9\r\n"),
              "1,101,Caf\xE9");
    // The mark goes before the comment test.
    EXPECT_EQ(previewOf("\xEF\xBB\xBF//head\n2,202,x\n"), "2,202,x");
    // Without the mark the file's bytes decide, all of them: a later line that is no UTF-8
    // keeps the file in the code page.
    EXPECT_EQ(previewOf("1,101,Caf\xC3\xA9\r\n2,102,Th\xC3\xA9\r\n"), "1,101,Caf\xE9");
    EXPECT_EQ(previewOf("1,101,Caf\xC3\xA9\r\n2,102,Th\xE9\r\n"), "1,101,Caf\xC3\xA9");
    writeFile(dir.file("PLU1.TXT"), "1,101,Caf\xC3\xA9\n");
    EXPECT_EQ(PreviewLineScanner::previewLineOf(dir.file("PLU1.TXT"), "//", "CP1252",
                                                EncodingSetting::CodePage),
              "1,101,Caf\xC3\xA9");
    PreviewLineScanner scanner(dir.file("PLU1.TXT"), "//", "CP1252");
    while (!scanner.advance(3)) {
    }
    EXPECT_EQ(scanner.encoding().describe("CP1252"), "UTF-8 (valid UTF-8)");
}

TEST_F(Preview, SlicesOfAnySizeGiveTheSameLine)
{
    std::string bytes;
    for (int i = 0; i < 500; ++i) {
        bytes += "// comment line " + std::to_string(i) + "\n";
    }
    bytes += "1,777,Found\n";
    writeFile(dir.file("PLU1.TXT"), bytes);
    PreviewLineScanner scanner(dir.file("PLU1.TXT"), "//", "CP1252");
    ASSERT_TRUE(scanner.opened());
    int slices = 0;
    while (!scanner.advance(7)) {
        ++slices;
    }
    EXPECT_GT(slices, 1000);
    EXPECT_EQ(scanner.line(), "1,777,Found");
    EXPECT_EQ(scanner.bytesRead(), bytes.size());
}

TEST_F(Preview, AnEndlessLineIsKeptUpToItsLimit)
{
    const std::size_t limit = PreviewLineScanner::kLineMax;
    const std::string line = "1,2," + std::string(2 * limit, 'x');
    EXPECT_EQ(previewOf("//a\n" + line + "\n9,9\n"), line.substr(0, limit));
    // The comment test still sees the start of a line cut in the middle of a long comment.
    EXPECT_EQ(previewOf("//" + std::string(2 * limit, 'c') + "\n3,4\n"), "3,4");
}

TEST(SampleFile, TheOldestMatchIsTheSample)
{
    TempDir dir;
    writeFile(dir.file("PLU2.TXT"), "new");
    writeFile(dir.file("plu1.txt"), "old");
    writeFile(dir.file("OTHER.TXT"), "x");
    const auto now = std::filesystem::file_time_type::clock::now();
    std::filesystem::last_write_time(dir.file("PLU2.TXT"), now - std::chrono::seconds(10));
    std::filesystem::last_write_time(dir.file("plu1.txt"), now - std::chrono::seconds(100));
    EXPECT_EQ(findSampleFile(dir.path() + "/PLU*.TXT"), dir.file("plu1.txt"));
    EXPECT_EQ(findSampleFile(dir.path() + "/NONE*.TXT"), "");
    EXPECT_EQ(findSampleFile(""), "");
}

TEST(ColumnOrderList, LoadsMovesAndKeepsValuesInPlace)
{
    TempDir dir;
    ColumnOrder order;
    EXPECT_FALSE(order.load(dir.file("PluID.ini")));
    writeFile(dir.file("PluID.ini"),
              "[PLU ID]\nID01=0005\nID02=0012\nID03=0001\nID05=0009\n[PLU NAME]\nNAME01=Price\n"
              "NAME02=Date\nNAME03=Dept\n");
    ASSERT_TRUE(order.load(dir.file("PluID.ini")));
    ASSERT_EQ(order.rows().size(), 3u); // ID04 is missing: the list ends there
    order.setValues({"250", "0312", "1", "dropped"});

    EXPECT_FALSE(order.moveUp()); // nothing selected
    order.select(0);
    EXPECT_FALSE(order.moveUp());
    EXPECT_EQ(order.selected(), std::optional<std::size_t>(0));
    order.select(2);
    EXPECT_FALSE(order.moveDown());
    EXPECT_TRUE(order.moveUp());
    EXPECT_EQ(order.selected(), std::optional<std::size_t>(1));
    EXPECT_EQ(order.rows(), (std::vector<ColumnRow>{
                                {5, "Price", "250"}, {1, "Dept", "0312"}, {12, "Date", "1"}}));
    order.select(7); // outside the rows
    EXPECT_FALSE(order.moveDown());
    EXPECT_FALSE(order.moveUp());

    // A reload empties the values; a missing file leaves rows and values alone.
    ASSERT_TRUE(order.load(dir.file("PluID.ini")));
    EXPECT_EQ(order.rows()[0], (ColumnRow{5, "Price", ""}));
    order.setValues({"x"});
    EXPECT_FALSE(order.load(dir.file("missing.ini")));
    EXPECT_EQ(order.rows()[0].value, "x");
}

TEST(OkQuestion, YesSavesTheSelectedTypeAndWritesItsFileTypeWhateverTheSaveSaid)
{
    TempDir dir;
    const std::string tarvik = dir.file("Tarvik.ini");
    RecordingMessageSink messages;
    PluFileSettingSession session;
    int saves = 0;
    const auto save = [&] { ++saves; };

    session.confirmOnOk(kSeparatedType, save, tarvik, messages); // not modified: no question
    EXPECT_TRUE(messages.messages().empty());

    session.markModified();
    messages.setNextAnswer(MessageAnswer::No);
    session.confirmOnOk(kSeparatedType, save, tarvik, messages);
    EXPECT_EQ(saves, 0);
    EXPECT_FALSE(std::filesystem::exists(tarvik));

    messages.setNextAnswer(MessageAnswer::Yes);
    session.confirmOnOk(kFixedType, save, tarvik, messages);
    EXPECT_EQ(saves, 1);
    EXPECT_EQ(readFile(tarvik), "[TYPE]\nFILETYPE=2\n");
    const auto asked = messages.messages();
    ASSERT_EQ(asked.size(), 2u);
    EXPECT_EQ(asked[1].text, "Do you want to save?");
    EXPECT_EQ(asked[1].buttons, MessageButtons::YesNo);

    EXPECT_FALSE(session.cancelClosesWithOk());
    session.noteSave(SaveOutcome::CheckData);
    EXPECT_TRUE(session.modified());
    session.noteSave(SaveOutcome::Saved);
    EXPECT_FALSE(session.modified());
    EXPECT_TRUE(session.cancelClosesWithOk());
}

} // namespace
} // namespace ostrel
