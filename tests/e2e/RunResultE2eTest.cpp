// The run's result document and --status against simulated scales with one fault each.
#include "E2eSupport.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <fstream>
#include <sstream>

namespace ostrel::e2e {
namespace {

using ::testing::HasSubstr;
using Json = nlohmann::json;

Json readJsonFile(const std::string& path)
{
    std::ifstream in(path);
    std::stringstream bytes;
    bytes << in.rdbuf();
    return Json::parse(bytes.str(), nullptr, false);
}

std::string resultFile(const Shop& shop)
{
    return shop.documents() + "/VEK/Ostrel/Log/last-run.json";
}

const Json* scaleNamed(const Json& document, const std::string& address)
{
    for (const Json& scale : document.at("scales")) {
        if (scale.at("address") == address) {
            return &scale;
        }
    }
    return nullptr;
}

TEST(RunResultE2e, FourScalesEachWithItsResultAndReason)
{
    Shop shop;
    SimulatedScales sim({{"127.0.0.2", "QV7100", {"--refuse-first", "1000:E12"}},
                         {"127.0.0.3", "QV7100", {"--drop-after", "2"}},
                         {"127.0.0.4", "QV7600"}},
                        shop.db(), shop.outputPrefix("sim"));
    shop.addScale("127.0.0.2", sim.port(0), "QV7100", "Refuser");
    shop.addScale("127.0.0.3", sim.port(1), "QV7100", "Dropper");
    const std::uint16_t closed = test::closedPortOn("127.0.0.5");
    shop.addScale("127.0.0.5", closed, "QV7100", "Gone");
    shop.addScale("127.0.0.4", sim.port(2), "QV7600", "Fine");
    const std::string file = shop.dropFile("A", separatedLines(1, 5), 60);

    const RunResult run = shop.runOstrel({"--once", "--json"});
    EXPECT_EQ(run.exitCode, 1) << run.out << run.err;
    const Json printed = Json::parse(run.out, nullptr, false);
    ASSERT_FALSE(printed.is_discarded()) << run.out;
    const Json stored = readJsonFile(resultFile(shop));
    ASSERT_FALSE(stored.is_discarded());
    EXPECT_EQ(printed, stored);

    EXPECT_EQ(stored.at("format"), 1);
    EXPECT_EQ(stored.at("trigger"), "start-up");
    EXPECT_EQ(stored.at("succeeded"), false);
    EXPECT_EQ(stored.at("interrupted"), false);
    EXPECT_EQ(stored.at("lines"), 5);
    EXPECT_FALSE(stored.at("stamp").get<std::string>().empty());
    EXPECT_THAT(
        stored.at("start").get<std::string>(),
        ::testing::MatchesRegex("[0-9]{4}-[0-9]{2}-[0-9]{2}T[0-9:]{8}[+-][0-9]{2}:[0-9]{2}"));
    EXPECT_LE(stored.at("start").get<std::string>(), stored.at("end").get<std::string>());
    ASSERT_EQ(stored.at("files").size(), 1u);
    EXPECT_EQ(stored.at("files")[0].at("path"), file);
    EXPECT_EQ(stored.at("files")[0].at("lines"), 5);
    ASSERT_EQ(stored.at("scales").size(), 4u);

    const Json* refuser = scaleNamed(stored, "127.0.0.2");
    ASSERT_NE(refuser, nullptr);
    EXPECT_EQ(refuser->at("port"), sim.port(0));
    EXPECT_EQ(refuser->at("name"), "Refuser");
    EXPECT_EQ(refuser->at("model"), "QV7100");
    EXPECT_EQ(refuser->at("result"), "failed");
    EXPECT_EQ(refuser->at("recordsAccepted"), 0);
    EXPECT_EQ(refuser->at("refusals"), 10);
    EXPECT_EQ(refuser->at("reason"), "refused E12 10 times");

    const Json* dropper = scaleNamed(stored, "127.0.0.3");
    ASSERT_NE(dropper, nullptr);
    EXPECT_EQ(dropper->at("result"), "failed");
    EXPECT_EQ(dropper->at("recordsAccepted"), 2);
    EXPECT_EQ(dropper->at("refusals"), 0);
    EXPECT_EQ(dropper->at("reason"), "connection dropped after 2 records");

    const Json* gone = scaleNamed(stored, "127.0.0.5");
    ASSERT_NE(gone, nullptr);
    EXPECT_EQ(gone->at("port"), closed);
    EXPECT_EQ(gone->at("result"), "unreachable");
    EXPECT_EQ(gone->at("recordsAccepted"), 0);
    EXPECT_EQ(gone->at("reason"), "connection refused");

    const Json* fine = scaleNamed(stored, "127.0.0.4");
    ASSERT_NE(fine, nullptr);
    EXPECT_EQ(fine->at("result"), "success");
    EXPECT_EQ(fine->at("recordsAccepted"), 5);
    EXPECT_EQ(fine->at("linesSkipped"), 0);
    EXPECT_EQ(fine->at("reason"), "");

    // One trace line per failure, with the scale, the line and the reason.
    EXPECT_THAT(run.err, HasSubstr("scale 127.0.0.2:" + std::to_string(sim.port(0)) +
                                   " failed at line 1 of " + file + ": refused E12 10 times"));
    EXPECT_THAT(run.err,
                HasSubstr("scale 127.0.0.3:" + std::to_string(sim.port(1)) +
                          " failed at line 3 of " + file + ": connection dropped after 2 records"));
    EXPECT_THAT(run.err, HasSubstr("scale 127.0.0.5:" + std::to_string(closed) +
                                   " failed: connection refused"));

    const RunResult status = shop.runOstrel({"--status"});
    EXPECT_EQ(status.exitCode, 1) << status.out << status.err;
    EXPECT_THAT(status.out, HasSubstr("FAILED"));
    EXPECT_THAT(status.out, HasSubstr("1 of 4 scale(s) OK"));
    EXPECT_THAT(status.out, HasSubstr("refused E12 10 times"));
}

TEST(RunResultE2e, StatusSucceedsAfterAGoodRunAndFailsWithoutOne)
{
    Shop shop;
    const RunResult none = shop.runOstrel({"--status"});
    EXPECT_EQ(none.exitCode, 1);
    EXPECT_THAT(none.out, HasSubstr("No run recorded yet"));

    SimulatedScales sim({{"127.0.0.2"}}, shop.db(), shop.outputPrefix("sim"));
    shop.addScale("127.0.0.2", sim.port(0));
    shop.dropFile("A", separatedLines(1, 3), 60);
    ASSERT_EQ(shop.runOstrel({"--once"}).exitCode, 0);
    const RunResult status = shop.runOstrel({"--status"});
    EXPECT_EQ(status.exitCode, 0) << status.out << status.err;
    EXPECT_THAT(status.out, HasSubstr("succeeded"));
    EXPECT_THAT(status.out, HasSubstr("1 of 1 scale(s) OK"));

    // With nothing new, --once --json prints nothing and the last result stays.
    const RunResult idle = shop.runOstrel({"--once", "--json"});
    EXPECT_EQ(idle.exitCode, 0);
    EXPECT_EQ(idle.out, "");
    EXPECT_THAT(idle.err, HasSubstr("No new data file."));
    EXPECT_EQ(shop.runOstrel({"--status"}).exitCode, 0);
}

TEST(RunResultE2e, JsonOnlyWithOnce)
{
    Shop shop;
    const RunResult run = shop.runOstrel({"--json"});
    EXPECT_EQ(run.exitCode, 2);
    EXPECT_THAT(run.err, HasSubstr("--json goes with --once"));
}

TEST(RunResultE2e, PreviewShowsWhatTheScalesThenStore)
{
    Shop shop;
    SimulatedScales sim({{"127.0.0.2"}}, shop.db(), shop.outputPrefix("sim"));
    shop.addScale("127.0.0.2", sim.port(0));
    shop.setKey("SENDFILE", "SETTLE SECONDS", "0");
    // The demo's export: UTF-8 with a byte-order mark, prices written three ways.
    shop.dropFile("0001", "\xEF\xBB\xBF"
                          "1,101,0,\xC3\x84pfel Elstar,2.49,101\r\n"
                          "2,201,0,Cr\xC3\xA8me br\xC3\xBBl\xC3\xA9"
                          "e,4.5,201\r\n"
                          "3,301,0,Jam\xC3\xB3n serrano,32,301\r\n");
    const RunResult text = shop.runOstrel({"--preview"});
    EXPECT_EQ(text.exitCode, 0) << text.out << text.err;
    EXPECT_THAT(text.out, HasSubstr("read as UTF-8 (byte-order mark), 3 data line(s)"));
    EXPECT_THAT(text.out, HasSubstr("line 1: insert dept 1, PLU 101, item 101, price 2.49"));
    EXPECT_THAT(text.out, HasSubstr("Comm. Name(1) \"Cr\xC3\xA8me br\xC3\xBBl\xC3\xA9"
                                    "e\""));
    EXPECT_THAT(text.out, HasSubstr("price 32.00"));

    const RunResult json = shop.runOstrel({"--preview", "--json", "--lines", "2"});
    ASSERT_EQ(json.exitCode, 0) << json.err;
    const Json document = Json::parse(json.out);
    ASSERT_EQ(document["files"].size(), 1u);
    const Json& file = document["files"][0];
    for (const char* key : {"path", "readable", "encoding", "layout", "lineCount", "skippedLines",
                            "warnings", "lines"}) {
        EXPECT_TRUE(file.contains(key)) << key; // as docs/preview.md lists them
    }
    ASSERT_EQ(file["lines"].size(), 2u);
    const Json& second = file["lines"][1];
    EXPECT_EQ(second["price"], "4.50");
    EXPECT_EQ(second["action"], "insert");

    // The run sends exactly that, and the preview sent nothing and renamed nothing.
    EXPECT_TRUE(receivedRecords(shop.db()).empty());
    ASSERT_EQ(shop.runOstrel({"--once"}).exitCode, 0);
    const auto stored = currentRecords(shop.db(), "127.0.0.2:" + std::to_string(sim.port(0)));
    ASSERT_EQ(stored.size(), 3u);
    EXPECT_EQ(stored[1].price, 450);
    EXPECT_EQ(stored[1].name, "Cr\xE8me br\xFBl\xE9"
                              "e"); // CP1252, as previewed in UTF-8
    EXPECT_EQ(stored[2].price, 3200);

    // A line that makes no record, or a number read in part, is exit status 1.
    shop.dropFile("0002", "1,0,0,Nothing,1.00,1\r\n1,5,0,Odd,n/a,5\r\n");
    const RunResult flagged = shop.runOstrel({"--preview", shop.pluFolder() + "/PLU0002.TXT"});
    EXPECT_EQ(flagged.exitCode, 1) << flagged.out;
    EXPECT_THAT(flagged.out, HasSubstr("line 1: no record (PLU 0 or no PLU number)"));
    EXPECT_THAT(flagged.out, HasSubstr("(line 2: price 'n/a' read as 0)"));
}

} // namespace
} // namespace ostrel::e2e
