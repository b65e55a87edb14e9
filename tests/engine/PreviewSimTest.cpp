// The preview against what a run really sends: a thousand random separated lines and a
// thousand random fixed-width lines go to a simulated scale, and every record the preview
// shows is byte for byte the one the scale stored.
#include "RunTestSupport.h"
#include "TestSupport.h"

#include "engine/DeltaSend.h"
#include "engine/PreviewSettings.h"
#include "engine/RecordPreview.h"
#include "format/PrsFile.h"
#include "format/StructFile.h"
#include "protocol/TcpScaleLibrary.h"

#include "SimChildProcess.h"
#include "SimStoreReader.h"

#include <gtest/gtest.h>

#include <map>
#include <random>

namespace ostrel {
namespace {

struct Layout
{
    const char* name;
    int fileType;
    std::string (*line)(std::mt19937& random, int plu);
};

std::string randomName(std::mt19937& random)
{
    static const char* const kPieces[] = {"Apfel", "Kse", "Cr\xE8me",    "Jam\xF3n",
                                          "Brot",  " ",   "Br\xFBl\xE9", "Kiwi"};
    std::string name;
    for (unsigned n = random() % 4; n-- > 0;) {
        name += kPieces[random() % 8];
    }
    return name;
}

std::string randomPrice(std::mt19937& random)
{
    const unsigned cents = random() % 100000;
    switch (random() % 5) {
    case 0:
        return std::to_string(cents); // minor units, no mark
    case 1:
        return std::to_string(cents / 100) + "." + std::to_string(cents % 100 / 10);
    case 2:
        return "n/a"; // read in part: 0
    default:
        return std::to_string(cents / 100) + "." + std::to_string(cents % 100 / 10) +
               std::to_string(cents % 10);
    }
}

std::string separatedLine(std::mt19937& random, int plu)
{
    return std::to_string(random() % 99 + 1) + "," + std::to_string(random() % 50 == 0 ? 0 : plu) +
           "," + randomName(random) + "," + randomPrice(random) + "," +
           std::to_string(random() % 1000000);
}

std::string fixedLine(std::mt19937& random, int plu)
{
    char text[64];
    std::snprintf(text, sizeof text, "%02u%06d%-20.20s%8.8s",
                  static_cast<unsigned>(random() % 99 + 1), random() % 50 == 0 ? 0 : plu,
                  randomName(random).c_str(), randomPrice(random).c_str());
    return text;
}

class PreviewSimTest : public ::testing::TestWithParam<Layout>, public test::RunFolder
{
};

TEST_P(PreviewSimTest, EveryRecordShownIsTheOneTheScaleStores)
{
    const Layout& layout = GetParam();
    // The shipped field list, with fixed ranges for department, PLU, name and price.
    test::writeFile(paths.structFile,
                    test::readFile(OSTREL_SOURCE_DIR "/packaging/config-template/plustruct.str"));
    test::writeFile(paths.pluIdIni, "[PLU ID]\nID01=0001\nID02=0002\nID03=0010\nID04=0006\n"
                                    "ID05=0011\n");
    const std::map<int, std::pair<int, int>> ranges{
        {1, {0, 2}}, {2, {2, 6}}, {10, {8, 20}}, {6, {28, 8}}};
    std::vector<FixedFieldDef> definitions;
    for (const PluField& field : readPluFieldList(paths.structFile)) {
        const auto range = ranges.find(field.number);
        definitions.push_back(range == ranges.end()
                                  ? makeFixedFieldDef(field.number, field.name, 0, 0)
                                  : makeFixedFieldDef(field.number, field.name, range->second.first,
                                                      range->second.second));
    }
    writePrsFile(paths.prsFile, definitions);
    sim::SimChildProcess sim({"--no-scan", "--db", dir.file("sim.db"), "--scale", "127.0.7.2:0"});
    const test::ScaleConfig scale{"127.0.7.2", sim.scalePort(0), "QV7100"};
    writeSettings({scale}, "[CYCLE]\nDecimal Point=2\n[SENDFILE]\nSETTLE SECONDS=0\n[TYPE]\n"
                           "FILETYPE=" +
                               std::to_string(layout.fileType) + "\n");
    std::mt19937 random(layout.fileType * 7919);
    std::vector<std::string> lines;
    for (int plu = 1; plu <= 1000; ++plu) {
        lines.push_back(layout.line(random, plu));
    }
    writeData("PLU1.TXT", lines);
    const std::string path = dataFile("PLU1.TXT");

    PreviewLayout previewLayout;
    std::vector<RecordBytes> shown;
    {
        std::vector<std::string> files;
        ASSERT_EQ(loadPreviewLayout(paths, messages, previewLayout, &files), "");
        ASSERT_EQ(files, std::vector<std::string>{path});
        const PreviewFile preview = previewDataFile(previewLayout, path, 1000);
        ASSERT_EQ(preview.lineCount, 1000);
        for (const PreviewLine& line : preview.lines) {
            if (line.action >= 1) {
                shown.push_back(line.record);
            }
        }
        TcpScaleLibrary library;
        test::RunWaiter waiter;
        UpdateController controller({paths, library, messages, progress, timer, clock});
        waiter.attach(controller);
        controller.startUp();
        ASSERT_TRUE(waiter.waitFor(1));
        ASSERT_TRUE(waiter.summaries().back().scales[0].succeeded);
    }
    const auto stored =
        test::storedTable(dir.file("sim.db"), scale.ip + ":" + std::to_string(scale.port));
    ASSERT_EQ(stored.size(), shown.size());
    std::size_t differences = 0;
    for (const RecordBytes& record : shown) {
        const HeldKey key = heldKeyOf(record);
        const auto it = stored.find({key.department, static_cast<int>(key.pluNumber)});
        differences +=
            it == stored.end() || it->second != std::string(record.begin(), record.end()) ? 1 : 0;
    }
    EXPECT_EQ(differences, 0u) << layout.name;
}

INSTANTIATE_TEST_SUITE_P(Layouts, PreviewSimTest,
                         ::testing::Values(Layout{"separated", 1, separatedLine},
                                           Layout{"fixed", 2, fixedLine}),
                         [](const auto& info) { return std::string(info.param.name); });

} // namespace
} // namespace ostrel
