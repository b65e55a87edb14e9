#include "platform/IniFile.h"

#include "TestSupport.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

namespace ostrel {
namespace {

struct ReadCase
{
    const char* rule;
    const char* file;
    const char* section;
    const char* key;
    const char* expected; // with default "DEF" and capacity 512
};

// One row per read rule, in the manner of Wine's profile tests.
const ReadCase kReadCases[] = {
    {"plain value", "[PATH]\nPREFIX=PLU\n", "PATH", "PREFIX", "PLU"},
    {"section name ignores case", "[path]\nPREFIX=PLU\n", "PATH", "PREFIX", "PLU"},
    {"key in another case is found", "[PATH]\nprefix=PLU\n", "PATH", "PREFIX", "PLU"},
    {"blanks around names and value", "[ PATH ]\n \t PREFIX \t= \t PLU \t\n", "PATH", "PREFIX",
     "PLU"},
    {"CR LF line ends", "[PATH]\r\nPREFIX=PLU\r\nEXT=TXT\r\n", "PATH", "PREFIX", "PLU"},
    {"double quotes removed", "[A]\nk=\"quoted value\"\n", "A", "k", "quoted value"},
    {"single quotes removed", "[A]\nk='x y'\n", "A", "k", "x y"},
    {"only one pair removed", "[A]\nk=\"\"x\"\"\n", "A", "k", "\"x\""},
    {"mismatched quotes stay", "[A]\nk=\"x'\n", "A", "k", "\"x'"},
    {"a lone quote stays", "[A]\nk=\"\n", "A", "k", "\""},
    {"semicolon line is a comment", "[A]\n;k=1\n", "A", "k", "DEF"},
    {"indented semicolon is a comment", "[A]\n  ;k=1\n", "A", "k", "DEF"},
    {"hash is no comment", "[A]\n#k=1\n", "A", "#k", "1"},
    {"no end-of-line comment", "[A]\nk=1 ; note\n", "A", "k", "1 ; note"},
    {"section ends at first bracket", "[A]B]\nk=1\n", "A", "k", "1"},
    {"first duplicate key wins", "[A]\nk=1\nk=2\n", "A", "k", "1"},
    {"first duplicate section wins", "[A]\nk=1\n[a]\nk=2\nj=3\n", "A", "j", "DEF"},
    {"line without equals is no key", "[A]\nk\n", "A", "k", "DEF"},
    {"empty value is a value", "[A]\nk=\n", "A", "k", ""},
    {"key before any section is unreachable", "k=1\n[A]\n", "A", "k", "DEF"},
    {"missing section gives default", "[A]\nk=1\n", "B", "k", "DEF"},
    {"equals inside value kept", "[A]\nk=a=b\n", "A", "k", "a=b"},
    {"no final line end", "[A]\nk=last", "A", "k", "last"},
    {"key of another section not found", "[A]\n[B]\nk=1\n", "A", "k", "DEF"},
    {"CR-only line ends", "[A]\rk=1\rj=2\r", "A", "j", "2"},
    {"CR-only first key", "[A]\rk=1\rj=2\r", "A", "k", "1"},
    {"CR-only sections", "[A]\rk=1\r[B]\rk=2\r", "B", "k", "2"},
    {"CR-only comment line", "[A]\r;k=1\rj=2", "A", "k", "DEF"},
    {"CR-only without final line end", "[A]\rk=last", "A", "k", "last"},
};

class IniReadRules : public ::testing::TestWithParam<ReadCase>
{
};

TEST_P(IniReadRules, FileReadGivesExpectedValue)
{
    const ReadCase& c = GetParam();
    test::TempDir dir;
    const std::string path = dir.file("t.ini");
    test::writeFile(path, c.file);
    EXPECT_EQ(readProfileString(c.section, c.key, "DEF", 512, path), c.expected) << c.rule;
}

INSTANTIATE_TEST_SUITE_P(Table, IniReadRules, ::testing::ValuesIn(kReadCases));

TEST(IniRead, CapacityCutsToCapacityMinusOne)
{
    test::TempDir dir;
    const std::string path = dir.file("t.ini");
    test::writeFile(path, "[A]\nk=" + std::string(600, 'x') + "\n");
    EXPECT_EQ(readProfileString("A", "k", "", 512, path).size(), 511u);
    EXPECT_EQ(readProfileString("A", "k", "", 128, path).size(), 127u);
    EXPECT_EQ(readProfileString("A", "k", "", 1, path), "");
    EXPECT_EQ(readProfileString("A", "k", "", 0, path), "");
    // The default is cut the same way.
    EXPECT_EQ(readProfileString("A", "none", "abcdef", 4, path), "abc");
}

TEST(IniRead, MissingFileGivesDefault)
{
    test::TempDir dir;
    EXPECT_EQ(readProfileString("A", "k", "dflt", 512, dir.file("absent.ini")), "dflt");
    EXPECT_EQ(readProfileInt("A", "k", 7, dir.file("absent.ini")), 7);
}

TEST(IniRead, DefaultLosesTrailingSpacesOnly)
{
    test::TempDir dir;
    const std::string path = dir.file("t.ini");
    test::writeFile(path, "[A]\nk=v  \n");
    EXPECT_EQ(readProfileString("A", "none", "default  ", 512, path), "default");
    EXPECT_EQ(readProfileString("A", "none", "  lead\t ", 512, path), "  lead\t");
    EXPECT_EQ(readProfileString("A", "none", "   ", 512, path), " ");
    EXPECT_EQ(readProfileString("A", "none", "", 512, path), "");
    EXPECT_EQ(readProfileString("A", "none", "x ", 512, dir.file("absent.ini")), "x");
    EXPECT_EQ(readProfileString("A", "k", "default  ", 512, path), "v");
}

TEST(IniRead, AFifoOrFolderReadsAsMissingWithoutBlocking)
{
    test::TempDir dir;
    const std::string fifo = dir.file("fifo.ini");
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    EXPECT_EQ(readProfileString("A", "k", "dflt", 512, fifo), "dflt");
    EXPECT_EQ(readProfileString("A", "k", "dflt", 512, dir.path()), "dflt");
    EXPECT_FALSE(writeProfileString("A", "k", "1", fifo));
}

TEST(IniRead, StoredWindowsPathResolvesIgnoringCase)
{
    test::TempDir dir;
    test::writeFile(dir.file("Tarvik.ini"), "[A]\nk=1\n");
    EXPECT_EQ(readProfileString("A", "k", "", 512, dir.path() + "\\TARVIK.INI"), "1");
}

struct WriteCase
{
    const char* rule;
    const char* before;
    const char* section;
    const char* key;
    const char* value;
    const char* after;
};

const WriteCase kWriteCases[] = {
    {"new file gets LF", "", "PATH", "PREFIX", "PLU", "[PATH]\nPREFIX=PLU\n"},
    {"replace keeps comments and foreign keys",
     "; settings\n[PATH]\n; the folder\nPLU ROOT=/data\nPREFIX=OLD\nX=1\n[OTHER]\nY=2\n", "PATH",
     "PREFIX", "NEW",
     "; settings\n[PATH]\n; the folder\nPLU ROOT=/data\nPREFIX=NEW\nX=1\n[OTHER]\nY=2\n"},
    {"replace keeps the stored key spelling", "[A]\n  Key = old  \n", "a", "KEY", "new",
     "[A]\nKey=new\n"},
    {"new key after the last key of its section", "[A]\nk=1\n\n; about B\n[B]\nj=2\n", "A", "n",
     "v", "[A]\nk=1\nn=v\n\n; about B\n[B]\nj=2\n"},
    {"new key right after an empty section's header", "[A]\n\n[B]\n", "A", "k", "1",
     "[A]\nk=1\n\n[B]\n"},
    {"new section at the end", "[A]\nk=1\n", "B", "j", "2", "[A]\nk=1\n[B]\nj=2\n"},
    {"new section after a last line without line end", "[A]\nk=1", "B", "j", "2",
     "[A]\nk=1\n[B]\nj=2\n"},
    {"new key after a last key without line end", "[A]\nk=1", "A", "j", "2", "[A]\nk=1\nj=2\n"},
    {"a lone CR ends the last line", "[A]\r\nk=1\r", "A", "j", "2", "[A]\r\nk=1\rj=2\r\n"},
    {"CR-only file stays CR-only", "[A]\rk=1\r[B]\rx=0\r", "A", "j", "2",
     "[A]\rk=1\rj=2\r[B]\rx=0\r"},
    {"CR-only file gets a CR-only section", "[A]\rk=1", "B", "j", "2", "[A]\rk=1\r[B]\rj=2\r"},
    {"CR-only replace", "[A]\rk=1\rj=2\r", "A", "k", "9", "[A]\rk=9\rj=2\r"},
    {"CR LF style kept", "[A]\r\nk=1\r\n", "A", "j", "2", "[A]\r\nk=1\r\nj=2\r\n"},
    {"CR LF kept on replace", "[A]\r\nk=1\r\nj=2\r\n", "A", "k", "9", "[A]\r\nk=9\r\nj=2\r\n"},
    {"empty value keeps the key", "[A]\nk=1\n", "A", "k", "", "[A]\nk=\n"},
    {"only the first duplicate section is written", "[A]\nk=1\n[A]\nk=2\n", "A", "k", "3",
     "[A]\nk=3\n[A]\nk=2\n"},
    {"a new key goes to the first duplicate section", "[A]\nk=1\n[A]\nj=2\n", "A", "n", "3",
     "[A]\nk=1\nn=3\n[A]\nj=2\n"},
    {"line end inside a value is cut", "", "A", "k", "one\ntwo", "[A]\nk=one\n"},
};

class IniWriteRules : public ::testing::TestWithParam<WriteCase>
{
};

TEST_P(IniWriteRules, FileBytesAfterWrite)
{
    const WriteCase& c = GetParam();
    test::TempDir dir;
    const std::string path = dir.file("t.ini");
    if (*c.before != '\0') {
        test::writeFile(path, c.before);
    }
    ASSERT_TRUE(writeProfileString(c.section, c.key, c.value, path)) << c.rule;
    EXPECT_EQ(test::readFile(path), c.after) << c.rule;
    EXPECT_EQ(readProfileString(c.section, c.key, "DEF", 512, path),
              std::string(c.value).substr(0, std::string(c.value).find('\n')))
        << c.rule;
}

INSTANTIATE_TEST_SUITE_P(Table, IniWriteRules, ::testing::ValuesIn(kWriteCases));

TEST(IniWrite, NeverCreatesFoldersAndFailsSilently)
{
    test::TempDir dir;
    const std::string path = dir.path() + "/missing/t.ini";
    EXPECT_FALSE(writeProfileString("A", "k", "1", path));
    EXPECT_FALSE(std::filesystem::exists(dir.path() + "/missing"));
}

TEST(IniWrite, ReadOnlyFileStaysUnchanged)
{
    test::TempDir dir;
    const std::string path = dir.file("t.ini");
    test::writeFile(path, "[A]\nk=1\n");
    ::chmod(path.c_str(), 0444);
    EXPECT_FALSE(writeProfileString("A", "k", "2", path));
    EXPECT_EQ(test::readFile(path), "[A]\nk=1\n");
}

TEST(IniWrite, LeavesNoTemporaryFilesAndKeepsMode)
{
    test::TempDir dir;
    const std::string path = dir.file("t.ini");
    test::writeFile(path, "[A]\nk=1\n");
    ::chmod(path.c_str(), 0600);
    ASSERT_TRUE(writeProfileString("A", "k", "2", path));
    int files = 0;
    for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator(dir.path())) {
        ++files;
    }
    EXPECT_EQ(files, 1);
    struct stat info
    {
    };
    ::stat(path.c_str(), &info);
    EXPECT_EQ(info.st_mode & 0777, 0600u);
}

TEST(IniDocumentTest, KeysInFileOrderWithoutRepeats)
{
    const IniDocument doc = IniDocument::parse("[PLU ID]\nID01=0002\nid01=0009\nID02=0001\n");
    EXPECT_EQ(doc.keys("plu id"), (std::vector<std::string>{"ID01", "ID02"}));
    EXPECT_TRUE(doc.hasSection("PLU ID"));
    EXPECT_FALSE(doc.hasSection("PLU NAME"));
}

} // namespace
} // namespace ostrel
