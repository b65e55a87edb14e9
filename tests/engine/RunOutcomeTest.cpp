// The progress window's lines for runs in every state a scale can be in, against hand-written
// texts.
#include "engine/RunOutcome.h"

#include <gtest/gtest.h>

namespace ostrel {
namespace {

RunSummary::ScaleResult scale(const std::string& name, int accepted, int due)
{
    RunSummary::ScaleResult result;
    result.ipText = "127.0.0.2";
    result.port = 20304;
    result.name = name;
    result.reached = true;
    result.linesAccepted = accepted;
    result.linesDue = due;
    return result;
}

TEST(ProgressLines, SeveralFilesAndEveryStateOfAScale)
{
    RunSummary run;
    run.files = {"/plu/PLU0001.TXT", "/plu/PLU0002.TXT", "/plu/PLU0003.TXT"};
    run.fileLines = {400, 1, 11};

    auto unnamed = scale("", 0, 412);
    unnamed.reached = false;
    auto sending = scale("Deli", 120, 412);
    sending.linesSkipped = 2;
    auto done = scale("Bakery", 412, 412);
    done.finished = done.succeeded = true;
    auto upToDate = scale("Fish", 0, 0);
    upToDate.finished = upToDate.succeeded = upToDate.nothingDue = true;
    auto dropped = scale("Cheese", 312, 412);
    dropped.finished = true;
    dropped.reason = "connection dropped after 312 records";
    auto refused = scale("Caf\xe9", 0, 412); // the name's byte in the code page
    refused.finished = true;
    refused.reached = false;
    refused.reason = "connection refused";
    run.scales = {unnamed, sending, done, upToDate, dropped, refused};

    EXPECT_EQ(progressLines(run),
              (std::vector<std::string>{
                  "3 files, PLU0001.TXT to PLU0003.TXT: 412 lines",
                  "127.0.0.2:20304: connecting",
                  "Deli: 120 of 412 records, 2 skipped",
                  "Bakery: 412 of 412 records, done",
                  "Fish: nothing new",
                  "Cheese: failed after 312 of 412 records (connection dropped after 312 records)",
                  "Caf\u00e9: failed (connection refused)",
              }));
}

TEST(ProgressLines, OneFileAndScalesBeyondTheLimitShareALine)
{
    RunSummary run;
    run.files = {"PLU1.TXT"};
    run.fileLines = {1};
    for (int i = 0; i < 5; ++i) {
        run.scales.push_back(scale("S" + std::to_string(i), i % 2, 1));
    }
    run.scales[4].linesSkipped = 1;
    EXPECT_EQ(progressLines(run, 3), (std::vector<std::string>{
                                         "File PLU1.TXT: 1 line",
                                         "S0: 0 of 1 record",
                                         "S1: 1 of 1 record",
                                         "3 more scales: 1 of 3 records, 1 skipped",
                                     }));
    EXPECT_EQ(progressLines(run, 5).size(), 6u); // all fit: no shared line
    EXPECT_TRUE(progressLines(RunSummary{}).empty());
}

} // namespace
} // namespace ostrel
