#include "EngineTestSupport.h"

#include "engine/DataOption.h"
#include "engine/SendLog.h"
#include "platform/IniFile.h"

#include <gtest/gtest.h>

namespace ostrel {
namespace {

using test::readFile;
using test::TempDir;
using test::writeFile;

class FixedClock final : public Clock
{
public:
    explicit FixedClock(LocalTime time) : m_time(time) {}
    LocalTime now() const override { return m_time; }

private:
    LocalTime m_time;
};

TEST(MakeRunStamp, DayHasNoLeadingZero)
{
    EXPECT_EQ(MakeRunStamp(FixedClock({2024, 3, 5, 10, 30, 0})), "2024035103000");
    EXPECT_EQ(MakeRunStamp(FixedClock({2024, 3, 15, 10, 30, 0})), "20240315103000");
    EXPECT_EQ(MakeRunStamp(LocalTime{2025, 12, 31, 0, 1, 9}), "20251231000109");
}

TEST(BackupName, ReplacesTheExtensionOfTheFileName)
{
    EXPECT_EQ(backupName("/plu/ITEM1.TXT", "S"), "/plu/ITEM1_S.bak");
    EXPECT_EQ(backupName("/plu/ITEM1.A.TXT", "2024035103000"), "/plu/ITEM1.A_2024035103000.bak");
    EXPECT_EQ(backupName("/plu.d/ITEM1", "S"), "/plu.d/ITEM1_S.bak");
}

TEST(WriteSendLog, OneLinePerFileAppendedWithCrLf)
{
    TempDir dir;
    const SendLogPaths log{dir.file("Log"), dir.file("Log") + "/Ostrel.log"};
    const std::vector<DataFileEntry> files{{"/plu/ITEM1.TXT", {}, {}}, {"/plu/ITEM2.TXT", {}, {}}};
    EXPECT_EQ(WriteSendLog(log, files, "2024035103000", "192.168.0.20", kLogFailed), 2);
    EXPECT_EQ(WriteSendLog(log, files, "2024035103000", "192.168.0.21", kLogSuccess), 2);
    EXPECT_EQ(WriteSendLog(log, files, "2024035103000", "192.168.0.22", 2), 0);
    EXPECT_EQ(readFile(log.logFile), "2024035103000 : /plu/ITEM1.TXT : 192.168.0.20 - FAILED\r\n"
                                     "2024035103000 : /plu/ITEM2.TXT : 192.168.0.20 - FAILED\r\n"
                                     "2024035103000 : /plu/ITEM1.TXT : 192.168.0.21 - SUCCESS\r\n"
                                     "2024035103000 : /plu/ITEM2.TXT : 192.168.0.21 - SUCCESS\r\n");
}

TEST(WriteSendLog, CreatesOnlyTheLastFolderLevel)
{
    TempDir dir;
    const SendLogPaths log{dir.file("a/Log"), dir.file("a/Log/Ostrel.log")};
    const std::vector<DataFileEntry> files{{"/plu/ITEM1.TXT", {}, {}}};
    EXPECT_EQ(WriteSendLog(log, files, "1", "ip", kLogSuccess), 0);
    EXPECT_FALSE(std::filesystem::exists(dir.file("a")));
}

TEST(BackupDataFiles, NeverReplacesABackupAndKeepsRewrittenFiles)
{
    TempDir dir;
    writeFile(dir.file("ITEM1.TXT"), "new");
    writeFile(dir.file("ITEM1_S.bak"), "older backup");
    writeFile(dir.file("ITEM1_S_1.bak"), "second backup");
    writeFile(dir.file("ITEM2.TXT"), "read");
    std::vector<DataFileEntry> files{{dir.file("ITEM1.TXT"), {}, {}},
                                     {dir.file("ITEM2.TXT"), {}, fileStamp(dir.file("ITEM2.TXT"))},
                                     {dir.file("GONE.TXT"), {}, {}}};
    writeFile(dir.file("ITEM2.TXT"), "rewritten after reading");

    EXPECT_EQ(BackupDataFiles(files, "S"), 1);
    EXPECT_EQ(readFile(dir.file("ITEM1_S.bak")), "older backup");
    EXPECT_EQ(readFile(dir.file("ITEM1_S_1.bak")), "second backup");
    EXPECT_EQ(readFile(dir.file("ITEM1_S_2.bak")), "new");
    EXPECT_FALSE(std::filesystem::exists(dir.file("ITEM1.TXT")));
    EXPECT_EQ(readFile(dir.file("ITEM2.TXT")), "rewritten after reading");
}

TEST(BackupDataFiles, AFailedRenameSaysWhy)
{
    TempDir dir;
    const DataFileEntry missing{dir.file("ITEM9.TXT"), {}, {}};
    const BackupOutcome outcome = backupDataFile(missing, "S");
    EXPECT_EQ(outcome.backup, "");
    EXPECT_EQ(outcome.error, "No such file or directory");
}

TEST(PrepareDataOption, FixedTypeWritesTheLevelsIntoTheModelSection)
{
    TempDir dir;
    const std::string ini = dir.file("DATAOPTION.INI");
    writeFile(ini, "[FILE_INFO]\r\nMODEL_LIST=7100,7600\r\n");
    ImportFormat format;
    format.fileType = kFixedType;
    format.fixedFields = {{6, 0, 0}, {2, 0, 8}, {10, -1, 5}};
    std::string handedPath;
    EXPECT_EQ(PrepareDataOption(format, ini, [&](const std::string& p) { handedPath = p; }), 1);
    EXPECT_EQ(handedPath, ini);
    EXPECT_EQ(readProfileString("PLU_STRUCTURE_71007600", "PLU_FIELD6_LEVEL", "?", 8, ini), "0");
    EXPECT_EQ(readProfileString("PLU_STRUCTURE_71007600", "PLU_FIELD2_LEVEL", "?", 8, ini), "1");
    EXPECT_EQ(readProfileString("PLU_STRUCTURE_71007600", "PLU_FIELD10_LEVEL", "?", 8, ini), "0");
    EXPECT_EQ(readProfileString("FILE_INFO", "MODEL_LIST", "?", 32, ini), "7100,7600");
}

TEST(PrepareDataOption, SeparatedTypeLeavesTheFileAlone)
{
    TempDir dir;
    const std::string ini = dir.file("DATAOPTION.INI");
    ImportFormat format;
    format.fileType = kSeparatedType;
    format.fixedFields = {{2, 0, 8}};
    bool called = false;
    EXPECT_EQ(PrepareDataOption(format, ini, [&](const std::string&) { called = true; }), 0);
    EXPECT_FALSE(called);
    EXPECT_FALSE(std::filesystem::exists(ini));
    EXPECT_EQ(dataOptionSection(ini), "PLU_STRUCTURE_7100");
}

} // namespace
} // namespace ostrel
