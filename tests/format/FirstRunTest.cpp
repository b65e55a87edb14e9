#include "format/FirstRun.h"

#include "TestSupport.h"
#include "platform/MessageBox.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace ostrel {
namespace {

using test::TempDir;

std::string templateDir()
{
    const char* source = std::getenv("OSTREL_SOURCE_DIR");
    return std::string(source ? source : ".") + "/packaging/config-template";
}

std::vector<std::string> entriesUnder(const std::string& folder)
{
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(folder)) {
        names.push_back(entry.path().string());
    }
    std::sort(names.begin(), names.end());
    return names;
}

TEST(FirstRun, YesCreatesTheSettingsAndSaysWhere)
{
    TempDir documents;
    const SettingsPaths paths = SettingsPaths::fromDocuments(documents.path());
    ASSERT_TRUE(settingsMissing(paths));
    RecordingMessageSink messages;
    messages.setNextAnswer(MessageAnswer::Yes);
    EXPECT_EQ(offerFirstRun(paths, templateDir(), messages), FirstRunOutcome::Created);
    EXPECT_TRUE(std::filesystem::is_regular_file(paths.tarvikIni));
    EXPECT_TRUE(std::filesystem::is_directory(paths.logFolder));
    EXPECT_FALSE(settingsMissing(paths));
    const auto shown = messages.messages();
    ASSERT_EQ(shown.size(), 2u);
    EXPECT_EQ(shown[0].buttons, MessageButtons::YesNo);
    EXPECT_NE(shown[0].text.find(paths.configFolder), std::string::npos);
    EXPECT_NE(shown[1].text.find(paths.configFolder), std::string::npos);
    // Once there, nothing is asked again.
    EXPECT_EQ(offerFirstRun(paths, templateDir(), messages), FirstRunOutcome::NotNeeded);
    EXPECT_EQ(messages.messages().size(), 2u);
}

TEST(FirstRun, NoLeavesEverythingAsItWas)
{
    TempDir documents;
    const SettingsPaths paths = SettingsPaths::fromDocuments(documents.path());
    std::filesystem::create_directories(paths.configFolder); // a folder without Tarvik.ini
    const auto before = entriesUnder(documents.path());
    RecordingMessageSink messages;
    messages.setNextAnswer(MessageAnswer::No);
    EXPECT_EQ(offerFirstRun(paths, templateDir(), messages), FirstRunOutcome::Declined);
    EXPECT_EQ(entriesUnder(documents.path()), before);
    EXPECT_EQ(messages.messages().size(), 1u);
}

TEST(FirstRun, AMissingTemplateIsToldAndCreatesNothing)
{
    TempDir documents;
    const SettingsPaths paths = SettingsPaths::fromDocuments(documents.path());
    RecordingMessageSink messages;
    messages.setNextAnswer(MessageAnswer::Yes);
    EXPECT_EQ(offerFirstRun(paths, "", messages), FirstRunOutcome::Failed);
    EXPECT_TRUE(entriesUnder(documents.path()).empty());
    ASSERT_EQ(messages.messages().size(), 2u);
    EXPECT_EQ(messages.messages()[1].icon, MessageIcon::Error);
}

} // namespace
} // namespace ostrel
