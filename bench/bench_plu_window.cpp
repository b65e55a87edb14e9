// Opening the PLU file setting window on samples of 1 MB and 200 MB: the time until the shown
// window has handled a key press, and, for a sample whose lines are all comment lines (the
// preview then reads the whole file), the time to the filled preview and the longest wait of
// a 1 ms timer meanwhile. The samples are written to a temporary folder and removed after.
#include "format/SeparatedForm.h"
#include "platform/MessageBox.h"
#include "settings/SettingsPaths.h"
#include "ui/format/CPluFileSettingDlg.h"
#include "ui/format/SeparatedDesignerGroup.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QKeyEvent>
#include <QLineEdit>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace {

using namespace ostrel;

constexpr int kRounds = 3;
constexpr std::uint64_t kMiB = std::uint64_t{1024} * 1024;

void writeText(const std::string& path, const std::string& bytes)
{
    std::ofstream(path, std::ios::binary) << bytes;
}

// A shop's settings folder with one sample data file of about `bytes` bytes.
class SampleShop final
{
public:
    SampleShop()
    {
        std::string pattern =
            (std::filesystem::temp_directory_path() / "ostrel-bench-XXXXXX").string();
        m_dir = ::mkdtemp(pattern.data());
        paths = SettingsPaths::fromDocuments(m_dir);
        std::filesystem::create_directories(paths.configFolder);
        std::filesystem::create_directories(m_dir + "/plu");
        writeText(paths.tarvikIni, "[PATH]\nPLU ROOT=" + m_dir +
                                       "/plu\nPREFIX=PLU\nEXTENTION=TXT\n[TYPE]\nFILETYPE=1\n");
        writeText(paths.pluIdIni, "[PLU ID]\nID01=0001\nID02=0002\nID03=0010\nID04=0006\n");
        writeText(paths.structFile, "C=04DeptP=1.\nC=06PLU NoP=2.\nC=04NameP=0A.\nC=05PriceP=6.\n");
        writeText(paths.prsFile, "");
    }
    ~SampleShop()
    {
        std::error_code error;
        std::filesystem::remove_all(m_dir, error);
    }
    SampleShop(const SampleShop&) = delete;
    SampleShop& operator=(const SampleShop&) = delete;

    void writeSample(std::uint64_t bytes, bool allComments)
    {
        std::ofstream out(m_dir + "/plu/PLU0001.TXT", std::ios::binary | std::ios::trunc);
        std::string block;
        for (int plu = 1; block.size() < kMiB; ++plu) {
            block += (allComments ? "//" : "") + std::string("1,") + std::to_string(plu) +
                     ",Item " + std::to_string(plu) + ",2.49\r\n";
        }
        for (std::uint64_t written = 0; written < bytes; written += block.size()) {
            out.write(block.data(), static_cast<std::streamsize>(block.size()));
        }
    }

    SettingsPaths paths;

private:
    std::string m_dir;
};

struct Opening
{
    double inputMs = 0;       // open called until a key press reached the shown window
    double previewMs = 0;     // open called until the value column was filled
    double longestWaitMs = 0; // the longest a 1 ms timer waited while the preview ran
};

Opening openOnce(CPluFileSettingDlg& window)
{
    Opening result;
    QElapsedTimer clock;
    auto* folder = window.findChild<QLineEdit*>(QStringLiteral("folderEdit"));
    QMetaObject::Connection typed = QObject::connect(folder, &QLineEdit::textEdited, &window, [&] {
        if (result.inputMs == 0) {
            result.inputMs = static_cast<double>(clock.nsecsElapsed()) / 1e6;
        }
    });
    QTimer ticks;
    ticks.setInterval(1);
    qint64 lastTick = 0;
    QObject::connect(&ticks, &QTimer::timeout, &window, [&] {
        const qint64 now = clock.nsecsElapsed();
        result.longestWaitMs =
            std::max(result.longestWaitMs, static_cast<double>(now - lastTick) / 1e6);
        lastTick = now;
        if (!window.separatedGroup().previewPending() && result.inputMs > 0) {
            result.previewMs = static_cast<double>(now) / 1e6;
            ticks.stop();
            window.done(QDialog::Rejected);
        }
    });
    // Runs once the modal loop turns, that is once the opening's steps are done and the
    // window is shown.
    QTimer::singleShot(0, &window, [&] {
        folder->setFocus();
        QCoreApplication::postEvent(folder, new QKeyEvent(QEvent::KeyPress, Qt::Key_X,
                                                          Qt::NoModifier, QStringLiteral("x")));
        lastTick = clock.nsecsElapsed();
        ticks.start();
    });
    clock.start();
    window.runModal();
    QObject::disconnect(typed);
    return result;
}

double median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

Opening medianOpening(SampleShop& shop, std::uint64_t bytes, bool allComments)
{
    shop.writeSample(bytes, allComments);
    RecordingMessageSink messages;
    CPluFileSettingDlg window(shop.paths, messages);
    std::vector<double> input;
    std::vector<double> preview;
    std::vector<double> wait;
    for (int round = 0; round < kRounds; ++round) {
        const Opening one = openOnce(window);
        input.push_back(one.inputMs);
        preview.push_back(one.previewMs);
        wait.push_back(one.longestWaitMs);
    }
    return {median(input), median(preview), median(wait)};
}

} // namespace

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    QApplication app(argc, argv);
    SampleShop shop;
    const std::uint64_t small = 1 * kMiB;
    const std::uint64_t large = 200 * kMiB;

    std::printf("PLU file setting window, median of %d openings (ms)\n", kRounds);
    std::printf("%-34s %12s %12s %14s\n", "sample", "key handled", "preview", "longest wait");
    const auto row = [](const char* name, const Opening& o) {
        std::printf("%-34s %12.1f %12.1f %14.1f\n", name, o.inputMs, o.previewMs, o.longestWaitMs);
    };
    const Opening dataSmall = medianOpening(shop, small, false);
    row("1 MB, data from the first line", dataSmall);
    const Opening dataLarge = medianOpening(shop, large, false);
    row("200 MB, data from the first line", dataLarge);
    const Opening commentSmall = medianOpening(shop, small, true);
    row("1 MB, every line a comment", commentSmall);
    const Opening commentLarge = medianOpening(shop, large, true);
    row("200 MB, every line a comment", commentLarge);

    std::printf("\nratios 200 MB / 1 MB\n");
    std::printf("  key handled, data sample:      %8.2f\n", dataLarge.inputMs / dataSmall.inputMs);
    std::printf("  key handled, comment sample:   %8.2f\n",
                commentLarge.inputMs / commentSmall.inputMs);
    std::printf("  preview filled, comment sample:%8.2f  (the whole file is read)\n",
                commentLarge.previewMs / commentSmall.previewMs);
    std::printf("  longest wait, comment sample:  %8.2f\n",
                commentLarge.longestWaitMs / commentSmall.longestWaitMs);
    const double worst = std::max(dataLarge.inputMs, commentLarge.inputMs);
    std::printf("\n200 MB: key handled after %.1f ms (limit 1000 ms): %s\n", worst,
                worst < 1000 ? "ok" : "TOO SLOW");
    return worst < 1000 ? EXIT_SUCCESS : EXIT_FAILURE;
}
