// Answers of scales into the scale list, and the connection test's queries.
#include "DiscoveryTestSupport.h"
#include "protocol/ReplyData.h"

#include <gtest/gtest.h>

using namespace ostrel;
using namespace ostrel::test;

namespace {

// Information reply data as the library lays it out, written at the documented offsets.
ReplyData infoData(std::uint16_t status, const std::string& text, std::uint16_t model,
                   std::int32_t v1, std::int32_t v2, std::uint16_t v3, std::uint16_t v4)
{
    ReplyData d{};
    d[0] = static_cast<std::uint8_t>(status);
    d[1] = static_cast<std::uint8_t>(status >> 8);
    std::copy(text.begin(), text.end(), d.begin() + 2);
    d[104] = static_cast<std::uint8_t>(model);
    d[105] = static_cast<std::uint8_t>(model >> 8);
    for (int i = 0; i < 4; ++i) {
        d[109 + i] = static_cast<std::uint8_t>(static_cast<std::uint32_t>(v1) >> (8 * i));
        d[113 + i] = static_cast<std::uint8_t>(static_cast<std::uint32_t>(v2) >> (8 * i));
    }
    d[117] = static_cast<std::uint8_t>(v3);
    d[118] = static_cast<std::uint8_t>(v3 >> 8);
    d[119] = static_cast<std::uint8_t>(v4);
    d[120] = static_cast<std::uint8_t>(v4 >> 8);
    return d;
}

int reply(DiscoveryFixture& f, const char* ip, ReplyData& data, std::uint16_t action = 2)
{
    SendBlock block;
    block.connectionId = 0xFFFF;
    block.ipText = ip;
    block.actionCode = action;
    block.data = data.data();
    const int result = f.discovery.OnScaleReply(block);
    f.posted.drain();
    return result;
}

int disconnects(QueryLibrary& library, const std::string& ip)
{
    int n = 0;
    for (const auto& call : library.calls()) {
        n += call.what == "disconnect" && call.ip == ip && call.connectionId == -1;
    }
    return n;
}

struct AnsweredFixture : DiscoveryFixture
{
    AnsweredFixture()
    {
        writeFile(tarvik, "[IPNAME]\n127.000.000.020=Deli counter\n");
        holder.scaleTable().add({"127.0.0.7", "3007", "Bakery", "OLD", "0.1"});
        discovery.rebuildConnections();
        discovery.connections(); // the row's key
    }
    const ScaleTableRow& row(std::size_t i) { return holder.scaleTable().rows().at(i); }
};

} // namespace

TEST(ScaleAnswers, VersionTextsByModel)
{
    ScaleInformation info;
    info.version1 = 123;
    info.version2 = 4;
    info.version3 = 15;
    info.version4 = 2;
    EXPECT_EQ(versionText(*modelShown(7100), info), "1.23.4,1.5,2");
    EXPECT_EQ(versionText(*modelShown(470), info), "1.23.4,15,2");
    EXPECT_EQ(versionText(*modelShown(7110), info), "12.3.4,15,2");
    EXPECT_EQ(modelShown(7110)->name, "QV7100MN");
    EXPECT_EQ(modelShown(210)->name, "TZ3W");
    EXPECT_FALSE(modelShown(999));
    // Shorter than the digits after the dot: the dot goes in front.
    info.version1 = 5;
    EXPECT_EQ(versionText(*modelShown(7100), info), ".5.4,1.5,2");
}

TEST(ScaleAnswers, AnAnswerAppendsARowWithTheStoredNameModelAndVersion)
{
    AnsweredFixture f;
    f.discovery.connections();
    // A scan entered the address; the list has no row for it yet.
    ScopedEnv none("OSTREL_SCAN_BROADCAST", "127.0.0.1");
    f.discovery.OnScanReply(scanReplyBytes({1, 2, 3, 4, 5, 6}, {127, 0, 0, 20}, 3020));
    f.discovery.waitForQueries();
    ReplyData data = infoData(1, "", 7110, 123, 4, 15, 2);
    EXPECT_EQ(reply(f, "127.0.0.20", data), 0);
    ASSERT_EQ(f.holder.scaleTable().size(), 2u);
    const ScaleTableRow& added = f.row(1);
    EXPECT_EQ(added.columns.address, "127.0.0.20");
    EXPECT_EQ(added.columns.port, "3020");
    EXPECT_EQ(added.connection, "Connected");
    EXPECT_EQ(added.columns.name, "Deli counter");
    EXPECT_EQ(added.columns.model, "QV7100MN");
    EXPECT_EQ(added.columns.version, "12.3.4,15,2");
    EXPECT_EQ(disconnects(f.library, "127.0.0.20"), 1);
    EXPECT_GT(f.listChanges, 0);
}

TEST(ScaleAnswers, AnUnknownModelKeepsModelVersionAndNameButStillDisconnects)
{
    AnsweredFixture f;
    ReplyData data = infoData(1, "", 999, 123, 4, 15, 2);
    EXPECT_EQ(reply(f, "127.0.0.7", data), 0);
    ASSERT_EQ(f.holder.scaleTable().size(), 1u);
    EXPECT_EQ(f.row(0).columns.model, "OLD");
    EXPECT_EQ(f.row(0).columns.version, "0.1");
    EXPECT_EQ(f.row(0).columns.name, "Bakery");
    EXPECT_EQ(f.row(0).connection, "Connected");
    EXPECT_EQ(disconnects(f.library, "127.0.0.7"), 1);
}

TEST(ScaleAnswers, TheFilterDropsStatusZeroWithoutE99AndOtherActions)
{
    AnsweredFixture f;
    ReplyData refused = infoData(0, "E12 busy", 7100, 100, 1, 10, 1);
    EXPECT_EQ(reply(f, "127.0.0.7", refused), 2);
    ReplyData record = infoData(1, "", 7100, 100, 1, 10, 1);
    EXPECT_EQ(reply(f, "127.0.0.7", record, 3), 0);
    EXPECT_EQ(f.row(0).connection, "");
    EXPECT_EQ(f.row(0).columns.model, "OLD");
    EXPECT_EQ(disconnects(f.library, "127.0.0.7"), 0);

    ReplyData e99 = infoData(0, "E99", 7100, 100, 1, 10, 1);
    EXPECT_EQ(reply(f, "127.0.0.7", e99), 0);
    EXPECT_EQ(f.row(0).connection, "Connected");
    EXPECT_EQ(f.row(0).columns.model, "QV7100");
    EXPECT_EQ(f.row(0).columns.version, "1.00.1,1.0,1");
}

TEST(ScaleAnswers, AnAnswerFromAnAddressOutsideTheTableIsDropped)
{
    AnsweredFixture f;
    ReplyData data = infoData(1, "", 7100, 100, 1, 10, 1);
    EXPECT_EQ(reply(f, "127.0.0.99", data), 0);
    EXPECT_EQ(f.holder.scaleTable().size(), 1u);
    EXPECT_EQ(f.row(0).connection, "");
    EXPECT_TRUE(f.library.calls().empty());
}

TEST(ConnectionTest, ScanAndTestLeaveABusyRunItsRepliesAndSessions)
{
    DiscoveryFixture f;
    ScaleTable& table = f.holder.scaleTable();
    table.add({"127.0.0.1", "3001", "", "QV7100", ""});
    f.runBusy = true;
    EXPECT_FALSE(f.discovery.ConnectionTest());
    EXPECT_EQ(f.discovery.Scan(), ScaleDiscovery::kRefusedRunBusy);
    f.discovery.waitForQueries();
    EXPECT_EQ(f.holder.runMode(), RunMode::Update);
    EXPECT_EQ(table.size(), 1u);
    EXPECT_TRUE(f.library.calls().empty());
    EXPECT_EQ(f.discovery.listenerPort(), 0);
    EXPECT_EQ(f.errors, std::vector<std::string>(2, ScaleDiscovery::kRunBusyMessage));

    f.runBusy = false;
    EXPECT_TRUE(f.discovery.ConnectionTest());
    EXPECT_EQ(f.holder.runMode(), RunMode::ScaleQuery);
}

TEST(ConnectionTest, QueriesEveryRowByItsModelInOrder)
{
    DiscoveryFixture f;
    ScaleTable& table = f.holder.scaleTable();
    table.add({"127.0.0.1", "3001", "", "qv7600", ""});
    table.add({"127.0.0.2 ", "3002", "", "QV7100MN", ""});
    table.add({"127.0.0.3", "3003", "", "TZ47", ""});
    table.add({"127.0.0.4", "3004", "", "", ""});
    table.setConnection(0, "Connected"); // from an earlier test
    f.discovery.ConnectionTest();
    EXPECT_EQ(f.holder.runMode(), RunMode::ScaleQuery);
    EXPECT_EQ(table.rows()[0].connection, "");
    EXPECT_EQ(f.discovery.connections().port("127.0.0.2_-1"), 3002);
    f.discovery.waitForQueries();

    std::vector<std::string> seen;
    for (const auto& call : f.library.calls()) {
        seen.push_back(call.what + " " + call.ip + " " + std::to_string(call.port) + " " +
                       std::to_string(call.modelCode) + " " + std::to_string(call.dataKind));
        if (call.what == "send") {
            EXPECT_EQ(call.actionCode, 2);
            EXPECT_EQ(call.connectionId, -1);
        }
    }
    EXPECT_EQ(seen, (std::vector<std::string>{
                        "connect 127.0.0.1 3001 7100 0", "send 127.0.0.1 3001 7100 62",
                        "connect 127.0.0.2 3002 7110 0", "send 127.0.0.2 3002 7110 61",
                        "connect 127.0.0.3 3003 7100 0", "send 127.0.0.3 3003 7100 6",
                        "connect 127.0.0.4 3004 7100 0", "send 127.0.0.4 3004 7100 61",
                        "send 127.0.0.4 3004 7100 62"}));
}

TEST(ConnectionTest, TheRequestBlockPointsAtAZeroEndedIpBlockAndThePort)
{
    const ScaleQueryRequest request(std::string(80, '1'), 3005, 7110);
    const SendBlock block = request.block(61);
    EXPECT_EQ(std::string(block.ipText).size(), 63u);
    EXPECT_EQ(*static_cast<const std::int32_t*>(block.data), 3005);
    EXPECT_EQ(block.flag8, 1);
    EXPECT_EQ(block.flag9, 1);
    EXPECT_EQ(block.scaleKind, 100);
    EXPECT_EQ(block.connectionId, 0xFFFF);
}
