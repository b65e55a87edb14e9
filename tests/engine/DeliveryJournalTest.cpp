// The delivery journal's records, the identity hash, and the settle rule.
#include "EngineTestSupport.h"

#include "engine/DeliveryJournal.h"
#include "engine/FileSettle.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <filesystem>
#include <unistd.h>

namespace ostrel {
namespace {

using test::TempDir;

TEST(FileIdentity, HashIsFnv1a64)
{
    // The published FNV-1a 64 test vectors.
    EXPECT_EQ(hashText(contentHash("")), "cbf29ce484222325");
    EXPECT_EQ(hashText(contentHash("a")), "af63dc4c8601ec8c");
    EXPECT_EQ(hashText(contentHash("foobar")), "85944171f73967e8");
}

TEST(DeliveryJournal, RecordsProgressPerFileAndScaleAcrossReopening)
{
    TempDir dir;
    const std::string path = dir.file("delivery.db");
    const FileIdentity first{120, 1'700'000'000'000'000'001, 0xabcdef};
    const FileIdentity second{120, 1'700'000'000'000'000'002, 0xabcdef}; // same bytes, rewritten
    std::int64_t id = 0;
    {
        std::string error;
        auto journal = DeliveryJournal::open(path, &error);
        ASSERT_TRUE(journal) << error;
        id = journal->addFile(first, "/plu/PLU1.TXT", 4, "2024035103000");
        ASSERT_NE(id, 0);
        EXPECT_FALSE(journal->findFile(second));
        journal->startDelivery(id, "127.0.0.2:5001");
        journal->startDelivery(id, "127.0.0.3:5002");
        journal->acknowledge(id, "127.0.0.2:5001", 0);
        journal->acknowledge(id, "127.0.0.2:5001", 1, "refused with E88");
        journal->startDelivery(id, "127.0.0.2:5001");  // again: keeps the progress
        journal->acknowledge(id, "127.0.0.2:5001", 0); // late: never goes back
        journal->acknowledge(id, "127.0.0.3:5002", 3);
    }
    std::string error;
    auto journal = DeliveryJournal::open(path, &error);
    ASSERT_TRUE(journal) << error;
    const auto found = journal->findFile(first);
    ASSERT_TRUE(found);
    EXPECT_EQ(found->id, id);
    EXPECT_EQ(found->path, "/plu/PLU1.TXT");
    EXPECT_EQ(found->lineCount, 4);
    EXPECT_EQ(journal->nextLine(id, "127.0.0.2:5001"), 2);
    EXPECT_EQ(journal->nextLine(id, "127.0.0.3:5002"), 4);
    EXPECT_EQ(journal->nextLine(id, "127.0.0.9:1"), std::nullopt);
    EXPECT_EQ(journal->skippedLines(id, "127.0.0.2:5001"),
              (std::vector<std::pair<int, std::string>>{{1, "refused with E88"}}));

    // Pending: only registered scales that lack lines, until closed or superseded.
    auto pending = journal->pending({"127.0.0.2:5001", "127.0.0.3:5002"});
    ASSERT_EQ(pending.size(), 1u);
    EXPECT_EQ(pending[0].scales, (std::vector<std::string>{"127.0.0.2:5001"}));
    EXPECT_TRUE(journal->pending({"127.0.0.3:5002"}).empty());
    journal->recordBackup(id, "/plu/PLU1_S.bak");
    EXPECT_EQ(journal->pending({"127.0.0.2:5001"})[0].file.backup, "/plu/PLU1_S.bak");
    journal->closeDelivery(id, "127.0.0.2:5001", "backup gone");
    EXPECT_TRUE(journal->pending({"127.0.0.2:5001"}).empty());

    const std::int64_t other = journal->addFile(second, "/plu/PLU1.TXT", 2, "S");
    journal->startDelivery(other, "127.0.0.2:5001");
    EXPECT_EQ(journal->pending({"127.0.0.2:5001"}).size(), 1u);
    journal->markSuperseded(other);
    EXPECT_TRUE(journal->pending({"127.0.0.2:5001"}).empty());
}

TEST(DeliveryJournal, AFolderThatCannotHoldItSaysWhy)
{
    std::string error;
    EXPECT_FALSE(DeliveryJournal::open("/nonexistent-folder/delivery.db", &error));
    EXPECT_NE(error.find("cannot open /nonexistent-folder/delivery.db"), std::string::npos)
        << error;
}

TEST(FileSettle, QuietForTheSettlePeriodByFileTimeOrByWhatItSaw)
{
    TempDir dir;
    const std::string path = dir.file("PLU1.TXT");
    test::writeFile(path, "1,1,a,1\r\n");
    const std::int64_t mtime = fileStamp(path)->mtimeNs;
    std::int64_t wall = mtime + 500'000'000; // half a second after the last write
    std::int64_t steady = 0;
    FileSettle settle({[&] { return wall; }, [&] { return steady; }});
    const std::vector<DataFileEntry> files{{path, {}, {}}};

    auto split = settle.split(files, 2);
    EXPECT_TRUE(split.settled.empty());
    EXPECT_EQ(split.unsettled, (std::vector<std::string>{path}));
    EXPECT_EQ(split.waitMs, 1501);
    EXPECT_EQ(settle.split(files, 0).settled.size(), 1u); // 0 takes it at once

    wall = mtime + 2'000'000'000;
    EXPECT_EQ(settle.split(files, 2).settled.size(), 1u);

    // A clock behind the file's: two seconds of an unchanged stamp, seen here, settle it.
    wall = mtime - 60'000'000'000;
    EXPECT_TRUE(settle.split(files, 2).settled.empty());
    steady += 2'000'000'000;
    EXPECT_EQ(settle.split(files, 2).settled.size(), 1u);
    test::writeFile(path, "1,1,a,1\r\n2,1,b,1\r\n"); // a change starts the wait again
    EXPECT_TRUE(settle.split(files, 2).settled.empty());
}

TEST(FileSettle, AWriterThatHoldsTheFileOpenKeepsItAndEveryNewerFileBack)
{
    TempDir dir;
    const std::string path = dir.file("PLU1.TXT");
    const std::string newer = dir.file("PLU2.TXT");
    test::writeFile(path, "1,1,a,1\r\n");
    test::writeFile(newer, "1,1,b,1\r\n");
    const int writer = ::open(path.c_str(), O_WRONLY | O_APPEND | O_CLOEXEC);
    ASSERT_GE(writer, 0);
    if (!heldOpenForWriting(path).has_value()) {
        ::close(writer);
        GTEST_SKIP() << "this file system does not tell";
    }
    const std::int64_t later = fileStamp(newer)->mtimeNs + 60'000'000'000;
    FileSettle settle({[&] { return later; }, [] { return std::int64_t{0}; }});
    const std::vector<DataFileEntry> files{{path, {}, {}}, {newer, {}, {}}};
    auto split = settle.split(files, 2);
    EXPECT_TRUE(split.settled.empty());
    EXPECT_EQ(split.unsettled, (std::vector<std::string>{path}));
    ASSERT_EQ(split.heldBehind.size(), 1u);
    EXPECT_EQ(split.heldBehind[0].path, newer);
    ::close(writer);
    split = settle.split(files, 2);
    EXPECT_EQ(split.settled.size(), 2u);
    EXPECT_TRUE(split.heldBehind.empty());
}

} // namespace
} // namespace ostrel
