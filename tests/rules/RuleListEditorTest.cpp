#include "rules/RuleListEditor.h"

#include "TestSupport.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

namespace ostrel {
namespace {

using namespace std::string_literals;
using test::readFile;
using test::TempDir;
using test::writeFile;
using test::zeros;

const std::vector<PluField> kFields = {{1, "Dept"}, {2, "PLU No"}, {10, "Comm. Name(1)"}};

// One record written out by hand: number little-endian, then three zero-filled 100-byte texts.
std::string record(const std::string& number, const std::string& name, const std::string& find,
                   const std::string& replace)
{
    return number + name + zeros(100 - name.size()) + find + zeros(100 - find.size()) + replace +
           zeros(100 - replace.size());
}

std::vector<std::string> findTexts(const RuleListEditor& editor)
{
    std::vector<std::string> texts;
    for (const auto& rule : editor.rules()) {
        texts.push_back(rule.findText);
    }
    return texts;
}

TEST(RuleListEditor, ThreeRecordsLoadInFileOrderAndSaveBackTheSameBytes)
{
    TempDir dir;
    const std::string path = dir.file("plumatch.mch");
    const std::string bytes = record("\x01\0\0\0"s, "Dept", "10", "3") +
                              record("\x0A\0\0\0"s, "Comm. Name(1)", "Caf\xE9", "Coffee") +
                              record("\x2C\x01\0\0"s, "Old field", "A", "B");
    writeFile(path, bytes);

    RuleListEditor editor(kFields);
    ASSERT_EQ(editor.load(path), RulesLoad::Loaded);
    ASSERT_EQ(editor.rules().size(), 3u);
    EXPECT_EQ(editor.rules()[0], (ReplaceRule{1, "Dept", "10", "3"}));
    EXPECT_EQ(editor.rules()[1], (ReplaceRule{10, "Comm. Name(1)", "Caf\xE9", "Coffee"}));
    EXPECT_EQ(editor.rules()[2], (ReplaceRule{300, "Old field", "A", "B"}));

    writeFile(path, "stale");
    ASSERT_TRUE(editor.save(path));
    EXPECT_EQ(readFile(path), bytes);
}

TEST(RuleListEditor, MissingFileGivesAnEmptyList)
{
    TempDir dir;
    RuleListEditor editor(kFields);
    EXPECT_EQ(editor.load(dir.file("plumatch.mch")), RulesLoad::NoFile);
    EXPECT_TRUE(editor.rules().empty());
}

TEST(RuleListEditor, UnreadableFileIsToldApartFromAMissingOne)
{
    if (::geteuid() == 0) {
        GTEST_SKIP() << "root reads any file";
    }
    TempDir dir;
    const std::string path = dir.file("plumatch.mch");
    writeFile(path, record("\x01\0\0\0"s, "Dept", "10", "3"));
    ::chmod(path.c_str(), 0);
    RuleListEditor editor(kFields);
    EXPECT_EQ(editor.load(path), RulesLoad::Unreadable);
}

TEST(RuleListEditor, AddRefusesEmptyTextsAndAppendsOtherwise)
{
    RuleListEditor editor(kFields);
    EXPECT_EQ(editor.add(0, "", "3"), RuleEditOutcome::NoFindText);
    EXPECT_EQ(editor.add(0, "10", ""), RuleEditOutcome::NoReplaceText);
    EXPECT_EQ(editor.add(0, "", ""), RuleEditOutcome::NoFindText);
    EXPECT_TRUE(editor.rules().empty());
    EXPECT_EQ(ruleEditMessage(RuleEditOutcome::NoFindText), "Enter the text to find for replace!");
    EXPECT_EQ(ruleEditMessage(RuleEditOutcome::NoReplaceText), "Enter the text to be replaced!");

    // Appended at the end with the chosen field's number and name; duplicates stay.
    EXPECT_EQ(editor.add(0, "10", "3"), RuleEditOutcome::Done);
    EXPECT_EQ(editor.add(2, "Apple", "Pomme"), RuleEditOutcome::Done);
    EXPECT_EQ(editor.add(0, "10", "3"), RuleEditOutcome::Done);
    EXPECT_EQ(editor.rules()[1], (ReplaceRule{10, "Comm. Name(1)", "Apple", "Pomme"}));
    EXPECT_EQ(editor.rules()[2], (ReplaceRule{1, "Dept", "10", "3"}));

    // No field chosen: nothing to act on, and nothing changes.
    EXPECT_FALSE(editor.canAdd(std::nullopt));
    EXPECT_FALSE(editor.canAdd(3));
    EXPECT_EQ(editor.add(std::nullopt, "x", "y"), RuleEditOutcome::NothingToActOn);
    EXPECT_EQ(editor.rules().size(), 3u);
}

TEST(RuleListEditor, EditOverwritesTheRememberedRowOnly)
{
    RuleListEditor editor(kFields);
    EXPECT_FALSE(editor.canEdit(0));
    EXPECT_EQ(editor.edit(0, "a", "b"), RuleEditOutcome::NothingToActOn);
    editor.add(0, "10", "3");
    editor.add(1, "20", "4");
    EXPECT_EQ(editor.edit(0, "a", "b"), RuleEditOutcome::NothingToActOn); // no row selected yet

    EXPECT_EQ(editor.selectRow(1), std::optional<std::size_t>(1));
    EXPECT_TRUE(editor.canEdit(0));
    EXPECT_FALSE(editor.canEdit(std::nullopt));
    EXPECT_EQ(editor.edit(2, "21", ""), RuleEditOutcome::NoReplaceText);
    EXPECT_EQ(editor.rules()[1], (ReplaceRule{2, "PLU No", "20", "4"}));
    EXPECT_EQ(editor.edit(2, "21", "5"), RuleEditOutcome::Done);
    EXPECT_EQ(editor.rules()[0], (ReplaceRule{1, "Dept", "10", "3"}));
    EXPECT_EQ(editor.rules()[1], (ReplaceRule{10, "Comm. Name(1)", "21", "5"}));
    EXPECT_EQ(editor.rememberedRow(), std::optional<std::size_t>(1));
}

TEST(RuleListEditor, SelectingFindsTheFieldByExactName)
{
    TempDir dir;
    const std::string path = dir.file("plumatch.mch");
    writeFile(path, record("\x01\0\0\0"s, "Dept", "10", "3") +
                        record("\x01\0\0\0"s, "dept", "11", "3") +
                        record("\x01\0\0\0"s, "Dept ", "12", "3"));
    RuleListEditor editor(kFields);
    editor.load(path);
    EXPECT_EQ(editor.selectRow(0), std::optional<std::size_t>(0));
    EXPECT_EQ(editor.selectRow(1), std::nullopt); // case differs
    EXPECT_EQ(editor.rememberedRow(), std::optional<std::size_t>(1));
    EXPECT_EQ(editor.selectRow(2), std::nullopt); // trailing blank
    EXPECT_EQ(editor.selectRow(3), std::nullopt); // no such row: still row 2
    EXPECT_EQ(editor.rememberedRow(), std::optional<std::size_t>(2));
}

TEST(RuleListEditor, DeleteKeepsTheIndexSoASecondDeleteTakesTheRowThatMovedUp)
{
    TempDir dir;
    RuleListEditor editor(kFields);
    EXPECT_FALSE(editor.canDelete());
    EXPECT_FALSE(editor.deleteRemembered());
    for (const char* find : {"a", "b", "c", "d"}) {
        editor.add(0, find, "x");
    }
    editor.selectRow(1);
    ASSERT_TRUE(editor.deleteRemembered());
    EXPECT_EQ(findTexts(editor), (std::vector<std::string>{"a", "c", "d"}));
    ASSERT_TRUE(editor.deleteRemembered());
    EXPECT_EQ(findTexts(editor), (std::vector<std::string>{"a", "d"}));
    ASSERT_TRUE(editor.deleteRemembered());
    EXPECT_EQ(findTexts(editor), (std::vector<std::string>{"a"}));
    // The remembered index is past the end now: nothing left to delete there.
    EXPECT_FALSE(editor.canDelete());
    EXPECT_FALSE(editor.deleteRemembered());

    editor.selectRow(0);
    ASSERT_TRUE(editor.deleteRemembered());
    ASSERT_TRUE(editor.save(dir.file("plumatch.mch")));
    EXPECT_EQ(readFile(dir.file("plumatch.mch")), "");
}

TEST(RuleListEditor, The102ndRuleIsRefusedButALongerFileIsKept)
{
    RuleListEditor editor(kFields);
    for (int i = 0; i < 101; ++i) {
        ASSERT_EQ(editor.add(0, std::to_string(i), "x"), RuleEditOutcome::Done);
    }
    EXPECT_EQ(editor.add(0, "101", "x"), RuleEditOutcome::ListFull);
    EXPECT_FALSE(ruleEditMessage(RuleEditOutcome::ListFull).empty());
    EXPECT_EQ(editor.rules().size(), 101u);
    editor.selectRow(100);
    EXPECT_EQ(editor.edit(1, "e", "f"), RuleEditOutcome::Done); // overwriting still works

    // A file that already holds more (not written by this window) loses nothing on saving.
    TempDir dir;
    const std::string path = dir.file("plumatch.mch");
    std::string bytes;
    for (int i = 0; i < 105; ++i) {
        bytes += record("\x01\0\0\0"s, "Dept", std::to_string(i), "x");
    }
    writeFile(path, bytes + "partial");
    ASSERT_EQ(editor.load(path), RulesLoad::Loaded);
    EXPECT_EQ(editor.rules().size(), 105u);
    EXPECT_EQ(editor.add(0, "new", "x"), RuleEditOutcome::ListFull);
    ASSERT_TRUE(editor.save(path));
    EXPECT_EQ(readFile(path), bytes); // the partial record was never a rule
}

TEST(RuleText, LimitIs99BytesInTheCodePage)
{
    test::ScopedEnv env("OSTREL_CODEPAGE", std::nullopt);
    EXPECT_TRUE(fitsRuleText(std::string(99, 'a')));
    EXPECT_FALSE(fitsRuleText(std::string(100, 'a')));
    // "é" is two bytes in UTF-8 and one in CP1252.
    std::string accents;
    for (int i = 0; i < 99; ++i) {
        accents += "\xC3\xA9";
    }
    EXPECT_TRUE(fitsRuleText(accents));
    EXPECT_FALSE(fitsRuleText(accents + "a"));
    // A character the code page lacks is stored as one '?'.
    EXPECT_TRUE(fitsRuleText(std::string(98, 'a') + "\xE4\xB8\x80"));

    // In a double-byte code page "あ" takes two bytes: 49 fit, 50 do not.
    test::ScopedEnv japanese("OSTREL_CODEPAGE", "CP932");
    std::string kana;
    for (int i = 0; i < 49; ++i) {
        kana += "\xE3\x81\x82";
    }
    EXPECT_TRUE(fitsRuleText(kana + "a"));
    EXPECT_FALSE(fitsRuleText(kana + "\xE3\x81\x82"));
}

} // namespace
} // namespace ostrel
