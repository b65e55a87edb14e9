#include "BenchShop.h"

#include "engine/UpdateController.h"
#include "format/ConfigTemplate.h"
#include "platform/IniFile.h"
#include "platform/MessageBox.h"
#include "protocol/TcpScaleLibrary.h"
#include "settings/ScaleList.h"

#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <mutex>
#include <stdexcept>
#include <unistd.h>

namespace ostrel::bench {

namespace {

std::string makeWorkFolder()
{
    std::string work = (std::filesystem::temp_directory_path() / "ostrel-bench-XXXXXX").string();
    if (::mkdtemp(work.data()) == nullptr) {
        throw std::runtime_error("cannot make a temp folder");
    }
    return work;
}

} // namespace

BenchShop::BenchShop(const std::vector<std::uint16_t>& ports, int firstOctet)
    : work(makeWorkFolder()), pluFolder(work + "/plu-in"),
      paths(SettingsPaths::fromDocuments(work + "/Documents"))
{
    std::filesystem::create_directories(work + "/Documents");
    std::filesystem::create_directories(pluFolder);
    if (const auto report = installConfigTemplate(findConfigTemplateDir(), work + "/Documents");
        !report.ok) {
        throw std::runtime_error(report.error);
    }
    const std::string& ini = paths.tarvikIni;
    writeProfileString("PATH", "PLU ROOT", pluFolder, ini);
    writeProfileString("PATH", "PREFIX", "PLU", ini);
    writeProfileString("PATH", "EXTENTION", "TXT", ini);
    for (std::size_t i = 0; i < ports.size(); ++i) {
        const std::string slot = scaleSlotKey(static_cast<int>(i));
        writeProfileString("IPLIST", slot,
                           "127.0.0." + std::to_string(firstOctet + static_cast<int>(i)) + ":" +
                               std::to_string(ports[i]) + ",S",
                           ini);
        writeProfileString("MODEL", slot, "QV7100", ini);
        writeProfileString("SCALEVERSION", slot, "1.00,1.0,1", ini);
    }
}

void BenchShop::removeUnlessKept() const
{
    if (std::getenv("OSTREL_BENCH_KEEP") == nullptr) {
        std::filesystem::remove_all(work);
    } else {
        std::printf("kept %s\n", work.c_str());
    }
}

RunTiming runOnce(const SettingsPaths& paths, const ostrel::Clock& clock)
{
    RecordingMessageSink messages;
    NullProgressSink progress;
    NullUpdateTimer timer;
    TcpScaleLibrary library;
    std::mutex mutex;
    std::condition_variable done;
    bool finished = false;
    RunTiming timing;
    UpdateController controller({paths, library, messages, progress, timer, clock});
    controller.setRunFinishedHandler([&](const RunSummary& summary) {
        const std::lock_guard lock(mutex);
        timing.summary = summary;
        finished = true;
        done.notify_all();
    });
    const auto start = std::chrono::steady_clock::now();
    controller.startUp();
    std::unique_lock lock(mutex);
    done.wait(lock, [&] { return finished; });
    timing.seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    return timing;
}

void settle(const std::string& path)
{
    std::filesystem::last_write_time(path, std::filesystem::file_time_type::clock::now() -
                                               std::chrono::minutes(1));
}

} // namespace ostrel::bench
