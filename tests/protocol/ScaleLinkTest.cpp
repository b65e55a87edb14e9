// The TCP library against the simulated scale, over loopback.
#include "SimHarness.h"

#include <asio/connect.hpp>
#include <asio/ip/udp.hpp>
#include <asio/read.hpp>
#include <asio/write.hpp>

#include "protocol/ScanFrame.h"
#include "protocol/WireFrame.h"
#include "protocol/WireMessages.h"

#include <gtest/gtest.h>
#include <sqlite3.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <cstdlib>
#include <filesystem>
#include <future>
#include <map>

namespace ostrel::test {
namespace {

class ScaleLink : public ::testing::Test
{
protected:
    void SetUp() override { Recorder::instance().reset(); }
    void TearDown() override { Recorder::instance().reset(); }

    // Registers and connects a scale of model 7100 (or the one given).
    void open(TcpScaleLibrary& library, const char* ip, std::uint16_t port,
              std::uint16_t model = 7100)
    {
        ASSERT_EQ(library.AddConnectionEx(connectionBlock(ip, port, model)), 1);
        ASSERT_GE(library.Connect(ip, -1), 1);
    }
};

struct Row
{
    int action = 0, department = 0, plu = 0, itemCode = 0, price = 0;
    std::string name;
    std::vector<std::uint8_t> record;
};

std::map<int, Row> readPluTable(const std::string& path, const std::string& table, int& count)
{
    sqlite3* db = nullptr;
    EXPECT_EQ(sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READONLY, nullptr), SQLITE_OK);
    sqlite3_stmt* st = nullptr;
    // The journal keeps no raw record.
    const std::string sql = "SELECT action, department, plu_number, item_code, price, name, " +
                            std::string(table == "plu" ? "record" : "x''") + " FROM " + table;
    EXPECT_EQ(sqlite3_prepare_v2(db, sql.c_str(), -1, &st, nullptr), SQLITE_OK);
    std::map<int, Row> rows;
    count = 0;
    while (sqlite3_step(st) == SQLITE_ROW) {
        Row r;
        r.action = sqlite3_column_int(st, 0);
        r.department = sqlite3_column_int(st, 1);
        r.plu = sqlite3_column_int(st, 2);
        r.itemCode = sqlite3_column_int(st, 3);
        r.price = sqlite3_column_int(st, 4);
        r.name = reinterpret_cast<const char*>(sqlite3_column_text(st, 5));
        const auto* blob = static_cast<const std::uint8_t*>(sqlite3_column_blob(st, 6));
        r.record.assign(blob, blob + sqlite3_column_bytes(st, 6));
        rows[r.plu] = r;
        ++count;
    }
    sqlite3_finalize(st);
    sqlite3_close(db);
    return rows;
}

TEST_F(ScaleLink, RecordsArriveByteIdenticalInTheStoreAndDeletesRemoveThem)
{
    const auto db = std::filesystem::temp_directory_path() /
                    ("ostrel-sim-" + std::to_string(::getpid()) + ".db");
    std::filesystem::remove(db);
    SimProcess sim({"--scale", "127.0.0.2:0:QV7100", "--db", db.string(), "--no-scan"});
    {
        TcpScaleLibrary library(fastOptions());
        registerInterpreters(library);
        open(library, "127.0.0.2", sim.scalePort(0));
        std::vector<Record> records = {makeRecord(1, 1001, 5001, 299, "Apples \xE9"),
                                       makeRecord(2, 1002, 5002, 1099, "Pears"),
                                       makeRecord(1, 1003, 0, 5, "")};
        Record removal = makeRecord(2, 1002, 0, 0, "");
        for (auto& r : records) {
            ASSERT_EQ(library.SendDataEx(recordBlock("127.0.0.2", r)), 1);
        }
        ASSERT_EQ(library.SendDataEx(recordBlock("127.0.0.2", removal, kActionDelete)), 1);
        ASSERT_TRUE(Recorder::instance().waitFor(4));
        for (const auto& call : Recorder::instance().calls()) {
            EXPECT_FALSE(call.isEvent);
            EXPECT_EQ(call.accepted(), 1u);
            EXPECT_EQ(call.ipText, "127.0.0.2");
            EXPECT_EQ(call.block.dataKind, kDataKindPlu);
            EXPECT_EQ(call.block.dataSize, kPluRecordSize);
        }
        library.Disconnect("127.0.0.2", -1);

        EXPECT_EQ(sim.terminate(), 0) << "SIGTERM ends the simulator cleanly";
        int count = 0;
        auto current = readPluTable(db.string(), "plu", count);
        EXPECT_EQ(count, 2);
        ASSERT_TRUE(current.contains(1001));
        EXPECT_FALSE(current.contains(1002));
        const Row& apples = current[1001];
        EXPECT_EQ(apples.department, 1);
        EXPECT_EQ(apples.itemCode, 5001);
        EXPECT_EQ(apples.price, 299);
        EXPECT_EQ(apples.name, "Apples \xE9");
        EXPECT_EQ(apples.record, std::vector<std::uint8_t>(records[0].begin(), records[0].end()));
        EXPECT_EQ(current[1003].record,
                  std::vector<std::uint8_t>(records[2].begin(), records[2].end()));
        auto journal = readPluTable(db.string(), "received", count);
        EXPECT_EQ(count, 4);
        EXPECT_EQ(journal[1002].action, kActionDelete);
    }
    std::filesystem::remove(db);
    std::filesystem::remove(db.string() + "-wal");
    std::filesystem::remove(db.string() + "-shm");
}

TEST_F(ScaleLink, AFileStoreHoldsEveryRecordBeforeItsReply)
{
    // Readers of the file (tests, scripts) look while the scale runs: an accepted record must
    // be committed by the time the sender hears of it.
    const auto db = std::filesystem::temp_directory_path() /
                    ("ostrel-sim-acked-" + std::to_string(::getpid()) + ".db");
    std::filesystem::remove(db);
    {
        InProcessSim sim({"--no-scan", "--db", db.string(), "--scale", "127.0.0.2:0"});
        TcpScaleLibrary library(fastOptions());
        registerInterpreters(library);
        open(library, "127.0.0.2", sim.scalePort(0));
        std::atomic<int> replies{0};
        std::atomic<int> behind{0};
        Recorder::instance().setReplyHook([&](const Callback&) {
            int count = 0;
            readPluTable(db.string(), "received", count);
            if (count < ++replies)
                ++behind;
        });
        constexpr int kRecords = 40;
        for (int i = 0; i < kRecords; ++i) {
            Record r = makeRecord(1, 500 + i, 0, i, "R");
            ASSERT_EQ(library.SendDataEx(recordBlock("127.0.0.2", r)), 1);
            ASSERT_TRUE(Recorder::instance().waitFor(static_cast<std::size_t>(i) + 1));
        }
        EXPECT_EQ(behind.load(), 0);
        library.Disconnect("127.0.0.2", -1);
    }
    std::filesystem::remove(db);
    std::filesystem::remove(db.string() + "-wal");
    std::filesystem::remove(db.string() + "-shm");
}

TEST_F(ScaleLink, RefusalsReachTheReplyCallbackWithTheirText)
{
    InProcessSim sim({"--no-scan", "--scale", "127.0.0.2:0", "--refuse-first", "1:E88", "--scale",
                      "127.0.0.3:0", "--refuse-every", "2:E12 memory full"});
    TcpScaleLibrary library(fastOptions());
    registerInterpreters(library);
    open(library, "127.0.0.2", sim.scalePort(0));
    open(library, "127.0.0.3", sim.scalePort(1));
    Record a = makeRecord(1, 7, 0, 1, "A");
    Record b = makeRecord(1, 8, 0, 1, "B");
    // Each try is sent after the previous reply, as the run does.
    for (int i = 0; i < 2; ++i) {
        ASSERT_EQ(library.SendDataEx(recordBlock("127.0.0.2", a)), 1);
        ASSERT_TRUE(Recorder::instance().waitFor(static_cast<std::size_t>(i + 1), "127.0.0.2"));
        ASSERT_EQ(library.SendDataEx(recordBlock("127.0.0.3", b)), 1);
        ASSERT_TRUE(Recorder::instance().waitFor(static_cast<std::size_t>(i + 1), "127.0.0.3"));
    }
    const auto first = Recorder::instance().calls("127.0.0.2");
    ASSERT_EQ(first.size(), 2u);
    EXPECT_EQ(first[0].accepted(), 0u);
    EXPECT_EQ(first[0].text(), "E88");
    EXPECT_EQ(first[1].accepted(), 1u);
    EXPECT_EQ(first[1].text(), "");
    const auto second = Recorder::instance().calls("127.0.0.3");
    ASSERT_EQ(second.size(), 2u);
    EXPECT_EQ(second[0].accepted(), 1u);
    EXPECT_EQ(second[1].accepted(), 0u);
    EXPECT_EQ(second[1].text(), "E12 memory full");
}

TEST_F(ScaleLink, ADroppedConnectionGivesEventEightForThatScaleOnly)
{
    InProcessSim sim(
        {"--no-scan", "--scale", "127.0.0.2:0", "--drop-after", "1", "--scale", "127.0.0.3:0"});
    TcpScaleLibrary library(fastOptions());
    registerInterpreters(library);
    open(library, "127.0.0.2", sim.scalePort(0));
    open(library, "127.0.0.3", sim.scalePort(1));
    Record r = makeRecord(3, 30, 0, 1, "x");
    ASSERT_EQ(library.SendDataEx(recordBlock("127.0.0.2", r)), 1);
    ASSERT_TRUE(Recorder::instance().waitFor(1, "127.0.0.2"));
    ASSERT_EQ(library.SendDataEx(recordBlock("127.0.0.2", r)), 1);
    ASSERT_TRUE(Recorder::instance().waitFor(2, "127.0.0.2"));
    const auto calls = Recorder::instance().calls("127.0.0.2");
    EXPECT_FALSE(calls[0].isEvent);
    ASSERT_TRUE(calls[1].isEvent);
    EXPECT_EQ(calls[1].eventCode(), kEventConnectionFailed);
    EXPECT_EQ(calls[1].block.dataKind, kDataKindPlu);
    // The failed session refuses further records; the other scale goes on.
    EXPECT_EQ(library.SendDataEx(recordBlock("127.0.0.2", r)), 0);
    ASSERT_EQ(library.SendDataEx(recordBlock("127.0.0.3", r)), 1);
    ASSERT_TRUE(Recorder::instance().waitFor(1, "127.0.0.3"));
    EXPECT_FALSE(Recorder::instance().calls("127.0.0.3")[0].isEvent);
    EXPECT_EQ(Recorder::instance().calls("127.0.0.2").size(), 2u) << "one event only";
    // A new Connect opens a fresh session.
    EXPECT_GE(library.Connect("127.0.0.2", -1), 1);
}

TEST_F(ScaleLink, ASilentOrSlowScaleGivesEventEightAfterTheTimeLimit)
{
    InProcessSim sim({"--no-scan", "--scale", "127.0.0.2:0", "--silent-after", "0", "--scale",
                      "127.0.0.3:0", "--delay", "30000"});
    TcpScaleLibrary library(fastOptions());
    registerInterpreters(library);
    open(library, "127.0.0.2", sim.scalePort(0));
    open(library, "127.0.0.3", sim.scalePort(1));
    Record r = makeRecord(1, 1, 0, 1, "x");
    // Requests pile up unanswered only to a limit.
    int queued = 0;
    while (queued < 1000 && library.SendDataEx(recordBlock("127.0.0.2", r)) == 1)
        ++queued;
    EXPECT_EQ(queued, fastOptions().maxPendingPerScale);
    ASSERT_EQ(library.SendDataEx(recordBlock("127.0.0.3", r)), 1);
    for (const char* ip : {"127.0.0.2", "127.0.0.3"}) {
        ASSERT_TRUE(Recorder::instance().waitFor(1, ip));
        const auto calls = Recorder::instance().calls(ip);
        ASSERT_EQ(calls.size(), 1u);
        EXPECT_TRUE(calls[0].isEvent);
        EXPECT_EQ(calls[0].eventCode(), kEventConnectionFailed);
    }
}

TEST_F(ScaleLink, NothingIsSentOrReportedAfterDisconnect)
{
    InProcessSim sim({"--no-scan", "--scale", "127.0.0.2:0", "--delay", "200"});
    TcpScaleLibraryOptions options = fastOptions();
    options.replyTimeout = std::chrono::seconds(10);
    TcpScaleLibrary library(options);
    registerInterpreters(library);
    open(library, "127.0.0.2", sim.scalePort(0));
    Record r = makeRecord(1, 1, 0, 1, "x");
    ASSERT_EQ(library.SendDataEx(recordBlock("127.0.0.2", r)), 1);
    EXPECT_EQ(library.Disconnect("127.0.0.2", -1), 1);
    EXPECT_EQ(library.Disconnect("127.0.0.2", -1), 0);
    EXPECT_EQ(library.SendDataEx(recordBlock("127.0.0.2", r)), 0);
    // A later session works; the reply of the dropped one never shows up.
    ASSERT_GE(library.Connect("127.0.0.2", -1), 1);
    ASSERT_EQ(library.SendDataEx(recordBlock("127.0.0.2", r)), 1);
    ASSERT_TRUE(Recorder::instance().waitFor(1));
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    const auto calls = Recorder::instance().calls();
    ASSERT_EQ(calls.size(), 1u);
    EXPECT_FALSE(calls[0].isEvent);
}

TEST_F(ScaleLink, CheckIp2AndConnectFailOnAClosedPortAndRefuseUnregisteredModels)
{
    InProcessSim sim({"--no-scan", "--scale", "127.0.0.2:0"});
    TcpScaleLibraryOptions options = fastOptions();
    options.connectTimeout = std::chrono::seconds(60); // a refused connect must not wait for it
    TcpScaleLibrary library(options);
    registerInterpreters(library);
    const std::uint16_t closed = closedPort("127.0.0.4");
    EXPECT_EQ(library.CheckIp2(1, "127.0.0.4", closed), 0);
    EXPECT_EQ(library.CheckIp2(1, "not an address", 20304), 0);
    EXPECT_GE(library.CheckIp2(1, "127.0.0.2", sim.scalePort(0)), 1);
    EXPECT_GE(library.CheckIp2(1, "127.000.000.002", sim.scalePort(0)), 1);

    EXPECT_EQ(library.AddConnectionEx(connectionBlock("127.0.0.2", sim.scalePort(0), 460)), 0);
    EXPECT_EQ(library.Connect("127.0.0.2", -1), 0) << "never registered";
    ASSERT_EQ(library.AddConnectionEx(connectionBlock("127.0.0.4", closed)), 1);
    EXPECT_EQ(library.Connect("127.0.0.4", -1), 0);
    Record r = makeRecord(1, 1, 0, 1, "x");
    EXPECT_EQ(library.SendDataEx(recordBlock("127.0.0.4", r)), 0);
    EXPECT_TRUE(Recorder::instance().calls().empty()) << "a failed Connect raises no event";
}

// A listening socket whose accept queue is full: connects to it never complete. With
// `fill` 0 it completes connects but, never accepting, never greets.
class UnansweredListener
{
public:
    UnansweredListener(const std::string& address, int fill)
        : m_acceptor(m_io, {asio::ip::make_address_v4(address), 0})
    {
        m_acceptor.listen(0);
        const auto endpoint = m_acceptor.local_endpoint();
        for (int i = 0; i < fill; ++i) {
            // Raw sockets: Asio's connect would wait for the handshake, which never comes.
            const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK, 0);
            m_fillers.push_back(fd);
            ::connect(fd, endpoint.data(), static_cast<socklen_t>(endpoint.size()));
        }
    }
    ~UnansweredListener()
    {
        for (const int fd : m_fillers) {
            ::close(fd);
        }
    }
    UnansweredListener(const UnansweredListener&) = delete;
    UnansweredListener& operator=(const UnansweredListener&) = delete;
    std::uint16_t port() const { return m_acceptor.local_endpoint().port(); }

private:
    asio::io_context m_io;
    asio::ip::tcp::acceptor m_acceptor;
    std::vector<int> m_fillers;
};

TEST_F(ScaleLink, StopWaitingLetsGoOfChecksAndConnectsBeforeTheirTimeLimits)
{
    const UnansweredListener offline("127.0.0.5", 4);
    const UnansweredListener silent("127.0.0.6", 0);
    TcpScaleLibraryOptions options = fastOptions();
    options.connectTimeout = std::chrono::minutes(10); // the test hangs if the stop is lost
    options.replyTimeout = std::chrono::minutes(10);
    TcpScaleLibrary library(options);
    registerInterpreters(library);
    ASSERT_EQ(library.AddConnectionEx(connectionBlock("127.0.0.6", silent.port())), 1);

    int checked = -1;
    int connected = -1;
    std::thread checking([&] { checked = library.CheckIp2(1, "127.0.0.5", offline.port()); });
    std::thread connecting([&] { connected = library.Connect("127.0.0.6", -1); });
    std::this_thread::sleep_for(std::chrono::milliseconds(100)); // let both start waiting
    library.stopWaiting();
    checking.join();
    connecting.join();
    EXPECT_EQ(checked, 0);
    EXPECT_EQ(connected, 0);
    EXPECT_EQ(library.CheckIp2(1, "127.0.0.5", offline.port()), 0) << "stopped until resumed";

    library.resumeWaiting();
    InProcessSim sim({"--no-scan", "--scale", "127.0.0.2:0"});
    EXPECT_GE(library.CheckIp2(1, "127.0.0.2", sim.scalePort(0)), 1);
    open(library, "127.0.0.2", sim.scalePort(0));
    EXPECT_TRUE(Recorder::instance().calls().empty()) << "a let-go Connect raises no event";
}

TEST_F(ScaleLink, InformationRequestsGetTheModelAndVersionValues)
{
    InProcessSim sim({"--no-scan", "--scale", "127.0.0.2:0:QV7100MN:123,4,15,2"});
    TcpScaleLibrary library(fastOptions());
    registerInterpreters(library);
    // As the connection test opens a scale: trimmed text to register, untrimmed to connect.
    ASSERT_EQ(library.AddProcConnectionEx(1, "127.0.0.2", sim.scalePort(0), 100, 7110, 3000, 3, 10,
                                          &Recorder::onReply, &Recorder::onEvent, -1, 0),
              1);
    ASSERT_GE(library.Connect("127.0.0.2  ", -1), 1);
    std::array<char, 64> ipBlock{"127.0.0.2"};
    std::int32_t port = sim.scalePort(0);
    for (std::uint8_t kind : {kDataKindInfoMn, kDataKindInfo, kDataKindInfoOther}) {
        SendBlock block;
        block.ipText = ipBlock.data();
        block.dataKind = kind;
        block.modelCode = 7110;
        block.actionCode = kActionInfoRequest;
        block.data = &port;
        ASSERT_EQ(library.SendDataEx(block), 1);
    }
    ASSERT_TRUE(Recorder::instance().waitFor(3));
    const auto calls = Recorder::instance().calls();
    const std::uint8_t kinds[] = {61, 62, 6};
    for (std::size_t i = 0; i < 3; ++i) {
        const Callback& c = calls[i];
        EXPECT_FALSE(c.isEvent);
        EXPECT_EQ(c.block.dataKind, kinds[i]) << "replies come in request order";
        EXPECT_EQ(c.block.actionCode, kActionInfoRequest);
        EXPECT_EQ(c.block.connectionId, 0xFFFF);
        EXPECT_NE(c.data[0] | c.data[1], 0) << "status";
        const std::uint8_t expected[] = {0xC6, 0x1B, 0, 0, 0,  123, 0, 0, 0,
                                         4,    0,    0, 0, 15, 0,   2, 0};
        EXPECT_EQ(std::memcmp(c.data.data() + 104, expected, sizeof expected), 0);
    }
}

TEST_F(ScaleLink, TheScanRequestGetsOneCorrectReplyPerScale)
{
    // Bound to 127.0.0.1 by default, the responder hears the loopback broadcast too, and
    // answers from its own address.
    InProcessSim sim(
        {"--scan-port", "0", "--scale", "127.0.0.2:0:QV7100", "--scale", "127.0.0.3:0:TZ47"});
    asio::io_context io;
    asio::ip::udp::socket socket(io, {asio::ip::make_address_v4("127.0.0.1"), 0});
    socket.set_option(asio::socket_base::broadcast(true));
    const asio::ip::udp::endpoint target(asio::ip::make_address_v4("127.255.255.255"),
                                         sim.scanPort());
    // Garbage first: ignored, and the responder keeps going.
    socket.send_to(asio::buffer(std::string("\x53\x02\x03junk")), target);
    socket.send_to(asio::buffer(scanRequest()), target);
    std::map<int, ScanReplyBytes> replies;
    for (int i = 0; i < 2; ++i) {
        ScanReplyBytes buffer{};
        std::array<std::uint8_t, 64> raw{};
        asio::ip::udp::endpoint from;
        const std::size_t n = socket.receive_from(asio::buffer(raw), from);
        ASSERT_EQ(n, kScanReplySize);
        EXPECT_EQ(from.address().to_string(), "127.0.0.1");
        std::copy_n(raw.begin(), n, buffer.begin());
        replies[buffer[13]] = buffer;
    }
    ASSERT_EQ(replies.size(), 2u);
    for (auto [last, bytes] : replies) {
        EXPECT_EQ(bytes[0], 0x53);
        EXPECT_EQ(bytes[1], 0x04);
        EXPECT_EQ(bytes[10], 127);
        EXPECT_EQ(bytes[11], 0);
        EXPECT_EQ(bytes[12], 0);
        const std::uint16_t port = sim.scalePort(last == 2 ? 0 : 1);
        EXPECT_EQ(bytes[22], port >> 8);
        EXPECT_EQ(bytes[23], port & 0xFF);
        std::uint8_t sum = 0;
        for (std::size_t i = 1; i < 37; ++i)
            sum ^= bytes[i];
        EXPECT_EQ(bytes[37], sum);
    }
    EXPECT_NE(std::memcmp(replies[2].data() + 4, replies[3].data() + 4, 6), 0)
        << "identifiers tell the scales apart";
}

TEST_F(ScaleLink, TwoScalesTransferInParallelFromTheCallbacks)
{
    const auto db = std::filesystem::temp_directory_path() /
                    ("ostrel-sim-par-" + std::to_string(::getpid()) + ".db");
    std::filesystem::remove(db);
    constexpr int kRecords = 60;
    {
        InProcessSim sim({"--no-scan", "--db", db.string(), "--scale", "127.0.0.2:0",
                          "--refuse-every", "7", "--scale", "127.0.0.3:0"});
        // Both entries exist before the first send, and outlive the library's thread.
        std::map<std::string, int> next = {{"127.0.0.2", 1}, {"127.0.0.3", 1}};
        std::map<std::string, Record> buffers = {{"127.0.0.2", {}}, {"127.0.0.3", {}}};
        TcpScaleLibraryOptions options = fastOptions();
        options.replyTimeout = std::chrono::seconds(10);
        TcpScaleLibrary library(options);
        registerInterpreters(library);
        open(library, "127.0.0.2", sim.scalePort(0));
        open(library, "127.0.0.3", sim.scalePort(1));

        // Like the run: each reply sends the next record (a refused one again) from the
        // library thread, while this thread keeps asking for a third, unknown scale.
        Recorder::instance().setReplyHook([&](const Callback& call) {
            int& n = next[call.ipText];
            if (call.accepted())
                ++n;
            if (n > kRecords) {
                library.Disconnect(call.ipText.c_str(), -1);
                return;
            }
            Record& r = buffers[call.ipText];
            r = makeRecord(1, n, n, n * 10, "item");
            SendBlock block = call.block;
            block.ipText = call.ipText.c_str();
            block.data = r.data();
            library.SendDataEx(block);
        });
        for (const char* ip : {"127.0.0.2", "127.0.0.3"}) {
            Record& r = buffers[ip];
            r = makeRecord(1, 1, 1, 10, "item");
            ASSERT_EQ(library.SendDataEx(recordBlock(ip, r)), 1);
        }
        Record stray = makeRecord(1, 1, 1, 1, "");
        for (int i = 0; i < 200; ++i)
            EXPECT_EQ(library.SendDataEx(recordBlock("127.0.0.9", stray)), 0);
        std::size_t frames = 0; // every 7th frame of the first scale is refused and sent again
        for (std::size_t accepted = 0; accepted < kRecords;)
            accepted += (++frames % 7) != 0;
        ASSERT_TRUE(Recorder::instance().waitFor(kRecords, "127.0.0.3"));
        ASSERT_TRUE(Recorder::instance().waitFor(frames, "127.0.0.2"));
        for (const auto& call : Recorder::instance().calls())
            EXPECT_FALSE(call.isEvent);
    }
    int count = 0;
    readPluTable(db.string(), "plu", count);
    EXPECT_EQ(count, 2 * kRecords);
    std::filesystem::remove(db);
    std::filesystem::remove(db.string() + "-wal");
    std::filesystem::remove(db.string() + "-shm");
}

// A scale that stops reading while a burst is sent from the reply callback: the socket takes
// part of a frame and the rest waits in the queue. The scale still gets every frame whole, in
// order and with the bytes of the call, although the caller reused its buffer at once.
TEST_F(ScaleLink, ABurstToAScaleThatReadsLateArrivesWholeAndInOrder)
{
    constexpr int kBurst = 1500; // about 8 MB, more than the sockets hold
    asio::io_context io;
    asio::ip::tcp::acceptor acceptor(io);
    const asio::ip::tcp::endpoint endpoint(asio::ip::make_address_v4("127.0.0.6"), 0);
    acceptor.open(endpoint.protocol());
    acceptor.set_option(asio::socket_base::receive_buffer_size(4096)); // inherited on accept
    acceptor.bind(endpoint);
    acceptor.listen();
    std::vector<Record> seen;
    std::vector<std::uint32_t> ids;
    std::promise<void> allRead;
    std::thread peer([&] {
        asio::ip::tcp::socket s(io);
        acceptor.accept(s);
        std::array<std::uint8_t, kWireHeaderSize> hello{};
        asio::read(s, asio::buffer(hello));
        asio::write(s, asio::buffer(encodeFrame(0x81, 0, encodeHelloAck({7100}))));
        std::vector<std::uint8_t> frame(kWireHeaderSize + 4 + kPluRecordSize);
        for (int i = 0; i <= kBurst; ++i) {
            asio::read(s, asio::buffer(frame));
            ids.push_back(static_cast<std::uint32_t>(frame[4] << 24 | frame[5] << 16 |
                                                     frame[6] << 8 | frame[7]));
            Record& r = seen.emplace_back();
            std::copy_n(frame.begin() + kWireHeaderSize + 4, kPluRecordSize, r.begin());
            if (i == 0) {
                asio::write(
                    s, asio::buffer(encodeFrame(0x82, ids.back(), encodeRecordReply({true, ""}))));
                // Let the burst pile up before reading any of it.
                std::this_thread::sleep_for(std::chrono::milliseconds(200));
            }
        }
        allRead.set_value();
        std::array<std::uint8_t, 16> rest{};
        asio::error_code ec;
        s.read_some(asio::buffer(rest), ec); // until the library hangs up
    });
    {
        TcpScaleLibraryOptions options = fastOptions();
        options.replyTimeout = std::chrono::seconds(5);
        options.maxPendingPerScale = kBurst;
        TcpScaleLibrary library(options);
        registerInterpreters(library);
        open(library, "127.0.0.6", acceptor.local_endpoint().port());
        std::atomic<int> sent{0};
        Recorder::instance().setReplyHook([&](const Callback& call) {
            Record r{};
            for (int n = 1; n <= kBurst; ++n) {
                r = makeRecord(2, n, n, n, "burst " + std::to_string(n));
                SendBlock block = call.block;
                block.ipText = call.ipText.c_str();
                block.data = r.data();
                sent += library.SendDataEx(block);
                r.fill(0xEE); // the library may not read the buffer after the call
            }
        });
        Record first = makeRecord(2, 0, 0, 0, "first");
        ASSERT_EQ(library.SendDataEx(recordBlock("127.0.0.6", first)), 1);
        ASSERT_TRUE(Recorder::instance().waitFor(1));
        ASSERT_EQ(allRead.get_future().wait_for(std::chrono::seconds(20)),
                  std::future_status::ready);
        EXPECT_EQ(sent.load(), kBurst);
    }
    peer.join();
    ASSERT_EQ(seen.size(), static_cast<std::size_t>(kBurst + 1));
    for (int n = 0; n <= kBurst; ++n) {
        EXPECT_EQ(ids[static_cast<std::size_t>(n)], static_cast<std::uint32_t>(n + 1));
        const Record expected = n == 0 ? makeRecord(2, 0, 0, 0, "first")
                                       : makeRecord(2, n, n, n, "burst " + std::to_string(n));
        EXPECT_TRUE(seen[static_cast<std::size_t>(n)] == expected) << "frame " << n;
    }
}

// A scale that greets and then misbehaves: the session ends with event 8, the process lives.
TEST_F(ScaleLink, MalformedOrOversizedFramesFromTheScaleEndOnlyThatSession)
{
    const std::vector<std::vector<std::uint8_t>> answers = {
        {'G', 'A', 'R', 'B', 'A', 'G', 'E', '!', '!', '!', '!', '!'},
        {0x4F, 0x53, 1, 0x82, 0, 0, 0, 1, 0x00, 0x10, 0x00, 0x00}, // 1 MiB announced
        encodeFrame(0x82, 99, encodeRecordReply({true, ""})),      // id of no request
        encodeFrame(0x82, 1, Payload{1}),                          // payload cut short
    };
    for (const auto& answer : answers) {
        Recorder::instance().reset();
        asio::io_context io;
        asio::ip::tcp::acceptor acceptor(io, {asio::ip::make_address_v4("127.0.0.5"), 0});
        std::thread peer([&] {
            asio::ip::tcp::socket s(io);
            acceptor.accept(s);
            std::array<std::uint8_t, kWireHeaderSize> header{};
            asio::read(s, asio::buffer(header));
            asio::write(s, asio::buffer(encodeFrame(0x81, 0, encodeHelloAck({7100}))));
            std::vector<std::uint8_t> record(kWireHeaderSize + 4 + kPluRecordSize);
            asio::read(s, asio::buffer(record));
            asio::write(s, asio::buffer(answer));
            std::array<std::uint8_t, 16> rest{};
            asio::error_code ec;
            s.read_some(asio::buffer(rest), ec); // until the library hangs up
        });
        {
            TcpScaleLibrary library(fastOptions());
            registerInterpreters(library);
            open(library, "127.0.0.5", acceptor.local_endpoint().port());
            Record r = makeRecord(1, 1, 0, 1, "x");
            ASSERT_EQ(library.SendDataEx(recordBlock("127.0.0.5", r)), 1);
            ASSERT_TRUE(Recorder::instance().waitFor(1));
            const auto calls = Recorder::instance().calls();
            EXPECT_TRUE(calls[0].isEvent);
            EXPECT_EQ(calls[0].eventCode(), kEventConnectionFailed);
        }
        peer.join();
    }
}

// The simulator answers a peer that breaks the protocol with an error frame and hangs up,
// and goes on serving others.
TEST_F(ScaleLink, TheSimulatorSurvivesMalformedFrames)
{
    SimProcess sim({"--no-scan", "--scale", "127.0.0.2:0"});
    asio::io_context io;
    const asio::ip::tcp::endpoint target(asio::ip::make_address_v4("127.0.0.2"), sim.scalePort(0));
    for (const auto& bad : {std::vector<std::uint8_t>{0x4F, 0x53, 9},
                            std::vector<std::uint8_t>{0x4F, 0x53, 1, 1, 0, 0, 0, 0, 0, 1, 0, 0},
                            encodeFrame(0x02, 1, Payload(10, 0))}) {
        asio::ip::tcp::socket s(io);
        s.connect(target);
        asio::write(s, asio::buffer(bad));
        std::vector<std::uint8_t> reply(256);
        asio::error_code ec;
        std::size_t got = 0;
        while (!ec)
            got += s.read_some(asio::buffer(reply.data() + got, reply.size() - got), ec);
        EXPECT_EQ(ec, asio::error::eof);
        FrameDecoder decoder;
        decoder.append(std::span(reply.data(), got));
        WireFrame frame;
        ASSERT_EQ(decoder.next(frame), FrameDecoder::Result::Frame);
        EXPECT_EQ(frame.type, static_cast<std::uint8_t>(MessageType::Error));
        EXPECT_TRUE(decodeError(frame.payload));
    }
    TcpScaleLibrary library(fastOptions());
    registerInterpreters(library);
    open(library, "127.0.0.2", sim.scalePort(0));
    EXPECT_EQ(sim.terminate(), 0);
}

} // namespace
} // namespace ostrel::test
