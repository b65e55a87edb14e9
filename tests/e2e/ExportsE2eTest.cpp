// Back-office exports as today's systems write them (UTF-8 with and without the mark, decimal
// commas, fixed-width prices with and without a decimal mark), set up with the steps the PLU
// file setting and rules windows take, sent to two simulated scales.
#include "E2eSupport.h"

#include "format/FixedFieldRows.h"
#include "format/FixedForm.h"
#include "format/SeparatedForm.h"
#include "format/StructFile.h"
#include "platform/CodePage.h"
#include "platform/MessageBox.h"
#include "rules/RuleListEditor.h"
#include "settings/SettingsPaths.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <fstream>
#include <sstream>

namespace ostrel::e2e {
namespace {

using ::testing::HasSubstr;

const std::string kMark = "\xEF\xBB\xBF";
// The names as the scales must hold them: CP1252 bytes.
const std::string kCremeCp1252 = "Cr\xE8me br\xFBl\xE9"
                                 "e";
const std::string kCheeseCp1252 = "Jalape\xF1o-K\xE4se";
const std::string kCheeseRuledCp1252 = "Jalape\xF1o K\xE4se";
// The same names in UTF-8.
const std::string kCremeUtf8 = "Cr\xC3\xA8me br\xC3\xBBl\xC3\xA9"
                               "e";
const std::string kCheeseUtf8 = "Jalape\xC3\xB1o-K\xC3\xA4se";

struct Layout
{
    bool fixed = false;
    std::string separator = ",";
    std::string startRow = "1";
};

// Department, PLU number, name and price, in that order, as the separated designer's Save
// writes them; or the fixed designer's marks at 0-4, 4-12, 12-42 and 42-49.
void saveLayout(const Shop& shop, const Layout& layout)
{
    const SettingsPaths paths = SettingsPaths::fromDocuments(shop.documents());
    const std::vector<PluField> fields = readPluFieldList(paths.structFile);
    const PathTexts pathTexts{shop.pluFolder(), "PLU", "TXT"};
    RecordingMessageSink messages;
    if (!layout.fixed) {
        SeparatedForm form;
        form.separator = layout.separator;
        form.startRow = layout.startRow;
        std::vector<PluIdRow> columns;
        for (const int number : {1, 2, 10, 6}) {
            columns.push_back({number, "field"});
        }
        ASSERT_EQ(saveSeparatedFormat(paths, pathTexts, form, columns, messages),
                  SaveOutcome::Saved);
        return;
    }
    FixedFieldRows rows;
    rows.fill(fields);
    const auto markField = [&](int number, MarkedSpan span) {
        for (std::size_t i = 0; i < fields.size(); ++i) {
            if (fields[i].number == number) {
                rows.select(i);
                ASSERT_TRUE(rows.mark(span));
                return;
            }
        }
        FAIL() << "no field " << number << " in plustruct.str";
    };
    markField(1, {0, 4});
    markField(2, {4, 12});
    markField(10, {12, 42});
    markField(6, {42, 49});
    ASSERT_TRUE(requiredFixedFieldsDefined(rows.definitions()));
    ASSERT_EQ(saveFixedFormat(paths, pathTexts, rows.definitions(), layout.startRow, messages),
              SaveOutcome::Saved);
}

// The rule for the name field, typed as UTF-8 in the rules window, kept in the code page.
void saveCheeseRule(const Shop& shop)
{
    const SettingsPaths paths = SettingsPaths::fromDocuments(shop.documents());
    RuleListEditor editor(readPluFieldList(paths.structFile));
    std::optional<std::size_t> nameField;
    for (std::size_t i = 0; i < editor.fields().size(); ++i) {
        if (editor.fields()[i].number == 10) {
            nameField = i;
        }
    }
    ASSERT_TRUE(nameField);
    ASSERT_EQ(editor.add(nameField, utf8ToCodePage(kCheeseUtf8, "CP1252"),
                         utf8ToCodePage("Jalape\xC3\xB1o K\xC3\xA4se", "CP1252")),
              RuleEditOutcome::Done);
    ASSERT_TRUE(editor.save(paths.rulesFile));
}

std::string fixedLine(int department, int plu, const std::string& name, const std::string& price)
{
    char line[128];
    std::snprintf(line, sizeof line, "%4d%8d%-30s%7s\r\n", department, plu, name.c_str(),
                  price.c_str());
    return line;
}

struct Expected
{
    int department;
    long long plu;
    long long price;
    std::string name;
};

struct Export
{
    const char* what;
    Layout layout;
    std::string bytes;
    const char* readAs; // what the summary says of the file
    std::vector<Expected> records;
};

TEST(ExportsE2e, EachExportReachesBothScalesRight)
{
    const std::vector<Export> exports{
        {"UTF-8 with the mark and a header line",
         {false, ",", "2"},
         kMark + "Dept,PLU,Name,Price\r\n3,1001," + kCremeUtf8 + ",3.50\r\n3,1002," + kCheeseUtf8 +
             ",4.20\r\n",
         "read as UTF-8 (byte-order mark)",
         {{3, 1001, 350, kCremeCp1252}, {3, 1002, 420, kCheeseRuledCp1252}}},
        {"UTF-8 without the mark, decimal commas",
         {false, ";", "1"},
         "3;1001;" + kCremeUtf8 + ";3,50\n3;1002;" + kCheeseUtf8 + ";1.234,50\n",
         "read as UTF-8 (valid UTF-8)",
         {{3, 1001, 350, kCremeCp1252}, {3, 1002, 123450, kCheeseRuledCp1252}}},
        {"CP1252",
         {false, ",", "1"},
         "3,1001," + kCremeCp1252 + ",3.50\r\n3,1002," + kCheeseCp1252 + ",4.20\r\n",
         "read as CP1252 (not UTF-8)",
         {{3, 1001, 350, kCremeCp1252}, {3, 1002, 420, kCheeseRuledCp1252}}},
        {"fixed width, a decimal mark",
         {true},
         fixedLine(3, 1001, kCremeCp1252, "3.51") + fixedLine(3, 1002, kCheeseCp1252, "3,51"),
         "read as CP1252 (not UTF-8)",
         {{3, 1001, 351, kCremeCp1252}, {3, 1002, 351, kCheeseRuledCp1252}}},
        {"fixed width, cents",
         {true},
         fixedLine(3, 1001, kCremeCp1252, "351") + fixedLine(3, 1002, kCheeseCp1252, "351"),
         "read as CP1252 (not UTF-8)",
         {{3, 1001, 351, kCremeCp1252}, {3, 1002, 351, kCheeseRuledCp1252}}},
    };
    for (const Export& exported : exports) {
        SCOPED_TRACE(exported.what);
        Shop shop;
        shop.setEnvironment("OSTREL_CODEPAGE", "CP1252");
        SimulatedScales sim({{"127.0.0.2"}, {"127.0.0.3", "QV7600"}}, shop.db(),
                            shop.outputPrefix("sim"));
        shop.addScale("127.0.0.2", sim.port(0), "QV7100");
        shop.addScale("127.0.0.3", sim.port(1), "QV7600");
        saveLayout(shop, exported.layout);
        saveCheeseRule(shop);
        if (::testing::Test::HasFatalFailure()) {
            return;
        }
        shop.dropFile("A", exported.bytes);

        const RunResult run = shop.runOstrel({"--once"});
        ASSERT_EQ(run.exitCode, 0) << run.out << run.err;
        EXPECT_THAT(run.out, HasSubstr(exported.readAs)) << run.out;
        EXPECT_THAT(run.out, ::testing::Not(HasSubstr("warning"))) << run.out;
        for (std::size_t scale = 0; scale < 2; ++scale) {
            const std::string key =
                "127.0.0." + std::to_string(2 + scale) + ":" + std::to_string(sim.port(scale));
            const auto records = receivedRecords(shop.db(), key);
            ASSERT_EQ(records.size(), exported.records.size()) << key;
            for (std::size_t i = 0; i < records.size(); ++i) {
                const Expected& want = exported.records[i];
                EXPECT_EQ(records[i].department, want.department) << key << " #" << i;
                EXPECT_EQ(records[i].pluNumber, want.plu) << key << " #" << i;
                EXPECT_EQ(records[i].price, want.price) << key << " #" << i;
                EXPECT_EQ(records[i].name, want.name) << key << " #" << i;
            }
        }
    }
}

std::string readText(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream bytes;
    bytes << in.rdbuf();
    return bytes.str();
}

TEST(ExportsE2e, WhatWasNotReadAsItStandsIsSentAndCountedWithItsFirstExample)
{
    Shop shop;
    shop.setEnvironment("OSTREL_CODEPAGE", "CP1252");
    SimulatedScales sim({{"127.0.0.2"}}, shop.db(), shop.outputPrefix("sim"));
    shop.addScale("127.0.0.2", sim.port(0));
    saveLayout(shop, {false, ";", "2"});
    if (::testing::Test::HasFatalFailure()) {
        return;
    }
    // Line 3 a price that is no number, line 4 one read in part; "Łódź" has two letters that
    // CP1252 lacks.
    shop.dropFile("A", "Dept;PLU;Name;Price\n"
                       "3;1001;Milk;1,99\n"
                       "3;1002;Bread;n/a\n"
                       "3;1003;\xC5\x81\xC3\xB3"
                       "d\xC5\xBA;3.5O\n");

    const RunResult run = shop.runOstrel({"--once"});
    ASSERT_EQ(run.exitCode, 0) << run.out << run.err;
    EXPECT_THAT(run.out, HasSubstr("warning: 2 lines with a number read only in part (first: "
                                   "line 3: price 'n/a' read as 0)"))
        << run.out;
    EXPECT_THAT(run.out, HasSubstr("warning: 2 characters without a CP1252 form sent as '?' "
                                   "(first on line 4)"))
        << run.out;
    EXPECT_THAT(run.err, HasSubstr("price 'n/a' read as 0")) << run.err; // the trace

    // Every line is still sent as it was read.
    const auto records = receivedRecords(shop.db());
    ASSERT_EQ(records.size(), 3u);
    EXPECT_EQ(records[0].price, 199);
    EXPECT_EQ(records[1].price, 0);
    EXPECT_EQ(records[2].price, 35);
    EXPECT_EQ(records[2].name, "?\xF3"
                               "d?");

    const auto result = nlohmann::json::parse(
        readText(shop.documents() + "/VEK/Ostrel/Log/last-run.json"), nullptr, false);
    ASSERT_TRUE(result.is_object());
    const auto& file = result["files"][0];
    EXPECT_EQ(file["encoding"], "UTF-8");
    EXPECT_EQ(file["encodingReason"], "valid UTF-8");
    EXPECT_EQ(file["partialReads"], 2);
    EXPECT_EQ(file["firstPartialRead"], "line 3: price 'n/a' read as 0");
    EXPECT_EQ(file["charactersReplaced"], 2);
    EXPECT_EQ(file["firstReplacedLine"], 4);
    EXPECT_EQ(result["succeeded"], true);
}

TEST(ExportsE2e, AnUnknownEncodingSettingSendsNothing)
{
    Shop shop;
    SimulatedScales sim({{"127.0.0.2"}}, shop.db(), shop.outputPrefix("sim"));
    shop.addScale("127.0.0.2", sim.port(0));
    shop.setKey("SENDFILE", "ENCODING", "latin1");
    shop.dropFile("A", separatedLines(1, 2));
    const RunResult run = shop.runOstrel({"--once"});
    EXPECT_EQ(run.exitCode, 2) << run.out << run.err;
    EXPECT_THAT(run.err, HasSubstr(R"([SENDFILE] "ENCODING" is "latin1")")) << run.err;
    EXPECT_TRUE(receivedRecords(shop.db()).empty());
}

} // namespace
} // namespace ostrel::e2e
