#include "platform/FileSystem.h"

#include "TestSupport.h"

#include <algorithm>
#include <filesystem>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <utime.h>

namespace ostrel {
namespace {

TEST(Paths, ConcatenationAndSlashCollapse)
{
    EXPECT_EQ(concatPath("/home/u/Documents", "/VEK/Ostrel/Config/Tarvik.ini"),
              "/home/u/Documents/VEK/Ostrel/Config/Tarvik.ini");
    EXPECT_EQ(collapseDoubleSlashes("/data//PLU*.TXT"), "/data/PLU*.TXT");
    EXPECT_EQ(collapseDoubleSlashes("/data///x"), "/data/x");
}

TEST(Paths, ResolveStoredPathIgnoringCaseAndBackslashes)
{
    test::TempDir dir;
    std::filesystem::create_directories(dir.path() + "/Data/Inbox");
    test::writeFile(dir.path() + "/Data/Inbox/Plu1.txt", "x");

    EXPECT_EQ(resolvePath(dir.path() + "/Data/Inbox/Plu1.txt"),
              dir.path() + "/Data/Inbox/Plu1.txt");
    EXPECT_EQ(resolvePath(dir.path() + "/DATA/INBOX/PLU1.TXT"),
              dir.path() + "/Data/Inbox/Plu1.txt");
    EXPECT_EQ(resolvePath(dir.path() + "\\DATA\\inbox\\plu1.TXT"),
              dir.path() + "/Data/Inbox/Plu1.txt");
    // A missing last part keeps its spelling behind the resolved folder.
    EXPECT_EQ(resolvePath(dir.path() + "/DATA/new.ini"), dir.path() + "/Data/new.ini");
    EXPECT_TRUE(fileExists(dir.path() + "/DATA/INBOX/PLU1.TXT"));
    EXPECT_TRUE(folderExists(dir.path() + "/data"));
    EXPECT_FALSE(fileExists(dir.path() + "/data"));
}

TEST(Wildcards, StarQuestionAndCase)
{
    EXPECT_TRUE(wildcardMatch("PLU*.TXT", "plu0001.txt"));
    EXPECT_TRUE(wildcardMatch("PLU*.TXT", "PLU.TXT"));
    EXPECT_FALSE(wildcardMatch("PLU*.TXT", "PLU1.TXT.bak"));
    EXPECT_FALSE(wildcardMatch("PLU*.TXT", "XPLU1.TXT"));
    EXPECT_TRUE(wildcardMatch("P?U*", "PLU"));
    EXPECT_FALSE(wildcardMatch("P?U*", "PU"));
    EXPECT_TRUE(wildcardMatch("*a*b*c", "xxaxxbxxc"));
    EXPECT_FALSE(wildcardMatch("*a*b*c", "xxaxxcxxb"));
}

TEST(Wildcards, SearchSkipsFoldersAndMatchesIgnoringCase)
{
    test::TempDir dir;
    test::writeFile(dir.file("plu_a.txt"), "1");
    test::writeFile(dir.file("PLU_B.TXT"), "2");
    test::writeFile(dir.file("other.txt"), "3");
    std::filesystem::create_directory(dir.file("PLU_DIR.TXT"));

    auto found = findFiles(dir.path() + "/PLU*.TXT");
    std::vector<std::string> names;
    for (const auto& f : found) {
        names.push_back(f.name);
        EXPECT_EQ(f.path, dir.path() + "/" + f.name);
    }
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, (std::vector<std::string>{"PLU_B.TXT", "plu_a.txt"}));
    EXPECT_TRUE(findFiles(dir.path() + "/nowhere/PLU*.TXT").empty());
}

TEST(Wildcards, SearchSkipsFifosAndLinksLeadingOutOfTheFolder)
{
    test::TempDir outside;
    test::writeFile(outside.file("secret.txt"), "s");
    test::TempDir dir;
    std::filesystem::create_directory(dir.file("sub"));
    test::writeFile(dir.file("sub/inner.txt"), "i");
    test::writeFile(dir.file("PLU_A.TXT"), "a");
    ASSERT_EQ(::mkfifo(dir.file("PLU_FIFO.TXT").c_str(), 0600), 0);
    std::filesystem::create_symlink(outside.file("secret.txt"), dir.file("PLU_OUT.TXT"));
    std::filesystem::create_symlink("PLU_A.TXT", dir.file("PLU_SAME.TXT"));
    std::filesystem::create_symlink(dir.file("sub/inner.txt"), dir.file("PLU_SUB.TXT"));
    std::filesystem::create_symlink("../" + std::filesystem::path(dir.path()).filename().string() +
                                        "/PLU_A.TXT",
                                    dir.file("PLU_ROUND.TXT"));

    std::vector<std::string> names;
    for (const auto& f : findFiles(dir.path() + "/PLU*.TXT")) {
        names.push_back(f.name);
    }
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, (std::vector<std::string>{"PLU_A.TXT", "PLU_ROUND.TXT", "PLU_SAME.TXT",
                                               "PLU_SUB.TXT"}));
    EXPECT_FALSE(readWholeFile(dir.file("PLU_FIFO.TXT"))); // returns at once
    EXPECT_FALSE(readWholeFile(dir.path()));
    EXPECT_EQ(readWholeFile(dir.file("PLU_A.TXT")), "a");
}

TEST(FileTimes, LastWriteInLocalTime)
{
    test::ScopedEnv tz("TZ", "UTC");
    ::tzset();
    test::TempDir dir;
    const std::string path = dir.file("f");
    test::writeFile(path, "x");
    utimbuf times{};
    times.actime = 1700000000; // 2023-11-14 22:13:20 UTC
    times.modtime = 1700000000;
    ::utime(path.c_str(), &times);
    const auto local = fileLastWriteLocal(path);
    ASSERT_TRUE(local);
    EXPECT_EQ(*local, (LocalTime{2023, 11, 14, 22, 13, 20}));
    EXPECT_FALSE(fileLastWriteLocal(dir.file("absent")));
}

TEST(FileStamps, ChangeWithContentAndIdentity)
{
    test::TempDir dir;
    const std::string path = dir.file("f");
    test::writeFile(path, "abc");
    const auto first = fileStamp(path);
    ASSERT_TRUE(first);
    EXPECT_EQ(first->size, 3);
    test::writeFile(dir.file("g"), "abc");
    std::filesystem::rename(dir.file("g"), path);
    const auto replaced = fileStamp(path);
    ASSERT_TRUE(replaced);
    EXPECT_NE(*first, *replaced);
}

TEST(Moves, ReplaceExistingTarget)
{
    test::TempDir dir;
    test::writeFile(dir.file("a"), "new");
    test::writeFile(dir.file("b"), "old");
    EXPECT_TRUE(moveFileReplace(dir.file("a"), dir.file("b")));
    EXPECT_EQ(test::readFile(dir.file("b")), "new");
    EXPECT_FALSE(std::filesystem::exists(dir.file("a")));
    EXPECT_FALSE(moveFileReplace(dir.file("a"), dir.file("c")));
}

TEST(Moves, AcrossFileSystems)
{
    // /dev/shm is a tmpfs on Linux; skip where the temp folder shares its file system.
    if (!std::filesystem::is_directory("/dev/shm")) {
        GTEST_SKIP() << "no /dev/shm";
    }
    test::TempDir dir;
    std::string shmPattern = "/dev/shm/ostrel-test-XXXXXX";
    ASSERT_NE(::mkdtemp(shmPattern.data()), nullptr);
    const std::string source = shmPattern + "/plu.txt";
    test::writeFile(source, "payload");
    EXPECT_TRUE(moveFileReplace(source, dir.file("moved.txt")));
    EXPECT_EQ(test::readFile(dir.file("moved.txt")), "payload");
    EXPECT_FALSE(std::filesystem::exists(source));
    std::filesystem::remove_all(shmPattern);
}

} // namespace
} // namespace ostrel
