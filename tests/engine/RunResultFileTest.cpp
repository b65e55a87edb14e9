#include "engine/RunResultFile.h"

#include "EngineTestSupport.h"
#include "platform/FileSystem.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>

namespace ostrel {
namespace {

using ::testing::HasSubstr;

RunSummary::ScaleResult scale(std::string ip, bool reached, bool succeeded)
{
    RunSummary::ScaleResult result;
    result.ipText = std::move(ip);
    result.port = 5000;
    result.reached = reached;
    result.succeeded = succeeded;
    return result;
}

TEST(RunResultFile, ResultNamesFollowWhatTheScaleGot)
{
    EXPECT_EQ(scaleResultName(scale("a", true, true)), "success");
    EXPECT_EQ(scaleResultName(scale("a", true, false)), "failed");
    EXPECT_EQ(scaleResultName(scale("a", false, false)), "unreachable");
    auto notTried = scale("a", false, false);
    notTried.notTried = "an earlier scale in [IPLIST] has the same address";
    EXPECT_EQ(scaleResultName(notTried), "failed"); // its entry is wrong, not the network
    auto upToDate = scale("a", false, true);
    upToDate.nothingDue = true;
    EXPECT_EQ(scaleResultName(upToDate), "skipped-duplicate");
}

TEST(RunResultFile, SettingsTextsBecomeUtf8AndBadFileNamesDoNotLoseTheResult)
{
    RunSummary summary;
    summary.stamp = "2026120914023";
    summary.files = {"/plu/PLU\xff.TXT"}; // not UTF-8
    summary.fileLines = {3};
    auto deli = scale("10.0.0.1", true, false);
    deli.name = "Caf\xe9"; // CP1252
    deli.reason = "refused E12 10 times";
    summary.scales = {deli};
    const std::string json = runResultJson(summary);
    EXPECT_THAT(json, HasSubstr("\"name\": \"Caf\xc3\xa9\""));
    EXPECT_THAT(json, HasSubstr("\"path\": \"/plu/PLU\xef\xbf\xbd.TXT\""));
    EXPECT_THAT(json, HasSubstr("\"succeeded\": false"));

    const RunStatus status = describeRunResult(json);
    EXPECT_TRUE(status.readable);
    EXPECT_FALSE(status.succeeded);
    EXPECT_THAT(status.text, HasSubstr("0 of 1 scale(s) OK"));
    EXPECT_THAT(status.text, HasSubstr("10.0.0.1:5000 (Caf\xc3\xa9): failed"));
    EXPECT_THAT(status.text, HasSubstr("refused E12 10 times"));
}

TEST(RunResultFile, AnInterruptedRunNeverSucceeds)
{
    RunSummary summary;
    summary.scales = {scale("10.0.0.1", true, true)};
    EXPECT_TRUE(runSucceeded(summary));
    summary.interrupted = true;
    EXPECT_FALSE(runSucceeded(summary));
    EXPECT_FALSE(describeRunResult(runResultJson(summary)).succeeded);
}

TEST(RunResultFile, StatusOfADamagedFileSaysSoAndFails)
{
    for (const char* text : {"", "{\"succeeded\": tr", "[1, 2]", "{\"succeeded\": \"yes\"}"}) {
        const RunStatus status = describeRunResult(text);
        EXPECT_FALSE(status.succeeded) << text;
    }
    EXPECT_FALSE(describeRunResult("{oops").readable);
}

TEST(RunResultFile, WriteReplacesTheFileAndReportsAMissingFolder)
{
    test::TempDir dir;
    const std::string path = dir.file("last-run.json");
    RunSummary summary;
    summary.stamp = "one";
    std::string error;
    ASSERT_TRUE(writeRunResult(path, summary, &error)) << error;
    summary.stamp = "two";
    ASSERT_TRUE(writeRunResult(path, summary, &error)) << error;
    const auto written = readWholeFile(path);
    ASSERT_TRUE(written.has_value());
    EXPECT_THAT(*written, HasSubstr("\"stamp\": \"two\""));
    EXPECT_FALSE(writeRunResult(dir.file("missing/last-run.json"), summary, &error));
    EXPECT_FALSE(error.empty());
}

TEST(RunResultFile, TimesCarryTheirOffsetAndReasonsTellRefusalFromTimeout)
{
    const char* old = std::getenv("TZ");
    const std::string saved = old != nullptr ? old : "";
    ::setenv("TZ", "CET-1", 1);
    ::tzset();
    const auto time = std::chrono::system_clock::from_time_t(1765285351); // 2025-12-09 13:02:31Z
    EXPECT_EQ(isoLocalTime(time), "2025-12-09T14:02:31+01:00");
    if (old != nullptr) {
        ::setenv("TZ", saved.c_str(), 1);
    } else {
        ::unsetenv("TZ");
    }
    ::tzset();
    EXPECT_EQ(unreachableReason(std::chrono::milliseconds(3)), "connection refused");
    EXPECT_EQ(unreachableReason(std::chrono::milliseconds(2004)), "no reply within 2 s");
}

} // namespace
} // namespace ostrel
