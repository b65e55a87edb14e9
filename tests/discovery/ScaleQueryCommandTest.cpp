// The headless scan and test over the real scale library and simulated scales on loopback:
// the library's thread hands answers to the command, which brings them into the list on the
// caller's thread. CI runs this under ThreadSanitizer.
#include "discovery/ScaleQueryCommand.h"
#include "TestSupport.h"
#include "protocol/TcpScaleLibrary.h"
#include "settings/ScaleList.h"
#include "settings/SettingsHolder.h"

#include "SimChildProcess.h"

#include <gtest/gtest.h>

#include <atomic>
#include <filesystem>

using namespace ostrel;

namespace {

// The library's callbacks carry no user data: the command of the running test.
std::atomic<ScaleQueryCommand*> g_command{nullptr};

int onReply(SendBlock block)
{
    ScaleQueryCommand* command = g_command.load();
    return command != nullptr ? command->OnScaleReply(block) : 0;
}

int onEvent(SendBlock)
{
    return 0;
}

struct CommandFixture
{
    test::TempDir documents;
    SettingsPaths paths = SettingsPaths::fromDocuments(documents.path());
    std::unique_ptr<TcpScaleLibrary> ownLibrary =
        std::make_unique<TcpScaleLibrary>(TcpScaleLibraryOptions{});
    TcpScaleLibrary& library = *ownLibrary;
    SettingsHolder holder;
    std::unique_ptr<ScaleQueryCommand> command;

    explicit CommandFixture(const std::string& tarvik)
    {
        std::filesystem::create_directories(paths.configFolder);
        test::writeFile(paths.tarvikIni, tarvik);
        for (int model : {7100, 7600, 7110}) {
            library.AddInterpreter(100, model, "QVInterpreter.DLL");
        }
        holder.loadScaleList(paths.tarvikIni);
        command = std::make_unique<ScaleQueryCommand>(ScaleQueryCommand::Dependencies{
            paths,
            library,
            holder,
            [this](const std::string& ip, std::uint16_t port, std::uint16_t model) {
                library.AddProcConnectionEx(1, ip.c_str(), port, 100, model, 3000, 3, 10, &onReply,
                                            &onEvent, -1, 0);
                return library.Connect(ip.c_str(), -1);
            },
            {std::chrono::milliseconds(1500), std::chrono::milliseconds(1500)},
            {}});
        g_command = command.get();
    }
    // The library's thread ends before the command that its callbacks reach.
    ~CommandFixture()
    {
        ownLibrary.reset();
        g_command = nullptr;
    }

    std::string connection(const std::string& ip) const
    {
        for (const auto& row : holder.scaleTable().rows()) {
            if (row.columns.address == ip) {
                return row.connection;
            }
        }
        return "(no row)";
    }
};

} // namespace

TEST(ScaleQueryCommand, ScanFindsTheScalesAndSaveRegistersThem)
{
    sim::SimChildProcess simulator({"--scan-port", "0", "--scale", "127.0.0.2:0", "--scale",
                                    "127.0.0.3:0:QV7100MN:123,4,15,2"});
    test::ScopedEnv broadcast("OSTREL_SCAN_BROADCAST",
                              "127.255.255.255:" + std::to_string(simulator.scanPort()));
    CommandFixture f("[CYCLE]\nUpdate Cycle=minutes\nUpdate Interval=5\n"
                     "[COMMUNICATION]\nSCAN PORT=0\n");
    f.command->scan();
    ASSERT_EQ(f.holder.scaleTable().size(), 2u);
    EXPECT_EQ(f.connection("127.0.0.2"), "Connected");
    EXPECT_EQ(f.connection("127.0.0.3"), "Connected");
    std::string error;
    ASSERT_TRUE(f.command->save(error)) << error;
    const auto rows = readScaleListForWindow(f.paths.tarvikIni);
    ASSERT_EQ(rows.size(), 2u);
    EXPECT_TRUE(rows[0].version == "12.3.4,15,2" || rows[1].version == "12.3.4,15,2");
}

TEST(ScaleQueryCommand, TestLeavesTheScaleThatIsDownEmpty)
{
    sim::SimChildProcess simulator(
        {"--no-scan", "--scale", "127.0.0.2:0", "--scale", "127.0.0.3:0:QV7600"});
    CommandFixture f("[IPLIST]\nIP000=127.0.0.2:" + std::to_string(simulator.scalePort(0)) +
                     ",S\nIP001=127.0.0.1:1,S\nIP002=127.0.0.3:" +
                     std::to_string(simulator.scalePort(1)) + ",S\n[MODEL]\nIP002=QV7600\n");
    EXPECT_EQ(f.command->test(), 3);
    EXPECT_EQ(f.connection("127.0.0.2"), "Connected");
    EXPECT_EQ(f.connection("127.0.0.1"), "");
    EXPECT_EQ(f.connection("127.0.0.3"), "Connected");
}
