#include "platform/Documents.h"
#include "platform/IniFile.h"
#include "platform/MessageBox.h"
#include "platform/PrivateFolder.h"
#include "platform/Registry.h"

#include "TestSupport.h"

#include <filesystem>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

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

TEST(PrivateFolder, MadeOwnerOnlyAndRefusedWhenOthersCouldHaveMadeIt)
{
    test::TempDir dir;
    const std::string folder = dir.file("ostrel-1");
    EXPECT_EQ(ensurePrivateFolder(folder), "");
    struct stat info = {};
    ASSERT_EQ(::lstat(folder.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 07777, 0700u);
    EXPECT_EQ(ensurePrivateFolder(folder), ""); // ours already

    ::chmod(folder.c_str(), 0750);
    EXPECT_NE(ensurePrivateFolder(folder).find("chmod 700"), std::string::npos);
    struct stat after = {};
    ::lstat(folder.c_str(), &after);
    EXPECT_EQ(after.st_mode & 07777, 0750u); // left as it was

    const std::string link = dir.file("ostrel-2");
    std::filesystem::create_directory_symlink(folder, link);
    EXPECT_NE(ensurePrivateFolder(link).find("not a folder"), std::string::npos);
    test::writeFile(dir.file("ostrel-3"), "");
    EXPECT_NE(ensurePrivateFolder(dir.file("ostrel-3")).find("not a folder"), std::string::npos);
    EXPECT_NE(ensurePrivateFolder(dir.file("missing/ostrel-4")).find("cannot create"),
              std::string::npos);
    if (::geteuid() == 0) {
        ::chmod(folder.c_str(), 0700);
        ASSERT_EQ(::chown(folder.c_str(), 65534, 65534), 0);
        EXPECT_NE(ensurePrivateFolder(folder).find("another user"), std::string::npos);
    }
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
