#include "platform/Documents.h"
#include "platform/IniFile.h"
#include "platform/MessageBox.h"
#include "platform/Registry.h"

#include "TestSupport.h"

#include <filesystem>
#include <gtest/gtest.h>

namespace ostrel {
namespace {

TEST(Documents, OverrideThenXdgThenHome)
{
    test::TempDir home;
    test::ScopedEnv homeEnv("HOME", home.path());
    test::ScopedEnv configEnv("XDG_CONFIG_HOME", std::nullopt);
    {
        test::ScopedEnv env("OSTREL_DOCUMENTS", "/srv/docs/");
        EXPECT_EQ(GetPathDocuments(), "/srv/docs");
    }
    test::ScopedEnv env("OSTREL_DOCUMENTS", std::nullopt);
    EXPECT_EQ(GetPathDocuments(), home.path() + "/Documents");

    std::filesystem::create_directories(home.path() + "/.config");
    test::writeFile(home.path() + "/.config/user-dirs.dirs",
                    "# written by xdg-user-dirs-update\nXDG_DESKTOP_DIR=\"$HOME/Desktop\"\n"
                    "XDG_DOCUMENTS_DIR=\"$HOME/Dokumente/\"\n");
    EXPECT_EQ(GetPathDocuments(), home.path() + "/Dokumente");
}

TEST(Registry, ExitValueCreatesFolderAndKey)
{
    test::TempDir dir;
    const std::string file = dir.path() + "/VEK/registry.ini";
    test::ScopedEnv env("OSTREL_REGISTRY", file);
    EXPECT_TRUE(writeExitRegistryValue());
    EXPECT_EQ(test::readFile(file), "[SOFTWARE\\VEK\\VEKAPP]\nUpdate201012=\n");
}

TEST(MessageSeam, RecorderQueuesAnswersThenDefaults)
{
    RecordingMessageSink sink;
    sink.setNextAnswer(MessageAnswer::No);
    EXPECT_EQ(sink.ShowMessage("Delete?", "Ostrel", MessageIcon::Question, MessageButtons::YesNo),
              MessageAnswer::No);
    EXPECT_EQ(sink.ShowMessage("Again?", "Ostrel", MessageIcon::Question, MessageButtons::YesNo),
              MessageAnswer::Yes);
    sink.ShowMessage("File not found!");
    const auto messages = sink.messages();
    ASSERT_EQ(messages.size(), 3u);
    EXPECT_EQ(messages[2].caption, "Ostrel");
    EXPECT_EQ(messages[2].buttons, MessageButtons::Ok);
}

} // namespace
} // namespace ostrel
