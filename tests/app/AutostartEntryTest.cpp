// Start at login as the user's choice: the entry in the user's autostart folder, and the
// command line that writes it.
#include "app/AutostartEntry.h"
#include "app/CommandLine.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <unistd.h>

namespace ostrel {
namespace {

namespace fs = std::filesystem;

class AutostartEntryTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        m_root = fs::temp_directory_path() /
                 ("ostrel-autostart-" + std::to_string(::getpid()) + "-" +
                  ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(m_root);
        fs::create_directories(m_root);
    }
    void TearDown() override { fs::remove_all(m_root); }

    static std::string contents(const std::string& path)
    {
        std::ifstream in(path);
        std::stringstream text;
        text << in.rdbuf();
        return text.str();
    }

    fs::path m_root;
};

TEST_F(AutostartEntryTest, OffHidesTheEntryAndOnBringsItBack)
{
    const AutostartEntry entry((m_root / "config/autostart").string());
    std::string error;
    ASSERT_TRUE(entry.write(false, error)) << error;
    EXPECT_NE(contents(entry.path()).find("\nHidden=true\n"), std::string::npos);
    EXPECT_NE(contents(entry.path()).find("\nExec=ostrel\n"), std::string::npos);

    ASSERT_TRUE(entry.write(true, error)) << error;
    const std::string shown = contents(entry.path());
    EXPECT_EQ(shown.find("Hidden=true"), std::string::npos);
    EXPECT_NE(shown.find("X-GNOME-Autostart-enabled=true"), std::string::npos);
    EXPECT_FALSE(fs::exists(entry.path() + ".new"));
}

TEST_F(AutostartEntryTest, AFolderThatCannotBeMadeIsAnErrorNamingIt)
{
    std::ofstream(m_root / "config") << "a file where the folder should be";
    const AutostartEntry entry((m_root / "config/autostart").string());
    std::string error;
    EXPECT_FALSE(entry.write(true, error));
    EXPECT_NE(error.find("config/autostart"), std::string::npos) << error;
}

TEST_F(AutostartEntryTest, TheUserFolderFollowsXdgConfigHome)
{
    ::setenv("XDG_CONFIG_HOME", m_root.c_str(), 1);
    EXPECT_EQ(AutostartEntry::userAutostartDir(), (m_root / "autostart").string());
    ::setenv("XDG_CONFIG_HOME", "relative/is/ignored", 1);
    ::setenv("HOME", m_root.c_str(), 1);
    EXPECT_EQ(AutostartEntry::userAutostartDir(), (m_root / ".config/autostart").string());
}

TEST(AutostartCommandLine, TakesOnOrOffOnly)
{
    EXPECT_TRUE(parseCommandLine({"--autostart", "on"}).startAtLogin);
    EXPECT_EQ(parseCommandLine({"--autostart=off"}).mode, CommandLine::Mode::Autostart);
    EXPECT_FALSE(parseCommandLine({"--autostart=off"}).startAtLogin);
    EXPECT_FALSE(parseCommandLine({"--autostart", "yes"}).error.empty());
    EXPECT_FALSE(parseCommandLine({"--autostart"}).error.empty());
    EXPECT_FALSE(parseCommandLine({"--autostart", "on", "--once"}).error.empty());
    EXPECT_EQ(parseCommandLine({"--once", "--version"}).mode, CommandLine::Mode::Version);
}

TEST(SendCommandLine, StartGoesWithSendOnly)
{
    const CommandLine action = parseCommandLine({"--start", "--send", "plu-file-setting"});
    EXPECT_EQ(action.mode, CommandLine::Mode::Send);
    EXPECT_TRUE(action.start);
    EXPECT_EQ(action.message, InstanceMessage::pluFileSetting());
    EXPECT_EQ(parseCommandLine({"--send=configure"}).message, InstanceMessage::configure());
    EXPECT_FALSE(parseCommandLine({"--send", "configure"}).start);
    EXPECT_EQ(parseCommandLine({"--start"}).error, "--start goes with --send");
    EXPECT_EQ(parseCommandLine({"--send", "show"}).error,
              "unknown message 'show' for --send (use run, reload-and-run, exit, configure or "
              "plu-file-setting)");
}

TEST(AutostartCommandLine, HelpAndVersionFitEightyColumns)
{
    std::istringstream help(std::string(usageText()) + versionText());
    for (std::string line; std::getline(help, line);) {
        EXPECT_LE(line.size(), 80u) << line;
    }
}

} // namespace
} // namespace ostrel
