// The update run's sending side: each scale opened on a worker of its own, up to its first record.
#include "engine/RunBlocks.h"
#include "engine/RunResultFile.h"
#include "engine/RunSettings.h"
#include "engine/UpdateRun.h"
#include "platform/Trace.h"
#include "protocol/ScaleLibrary.h"

#include <chrono>

namespace ostrel {
namespace {

const char* const kStoppedWhileOpening = "run stopped while the scale was being opened";

} // namespace

void UpdateRun::openScale(ActiveRun& run, RunScale& scale)
{
    // Runs on a worker of the opening, beside the other scales' workers. The scale's address,
    // port, model and versions never change during the run, so they are read here without the
    // lock; CheckIp2 and Connect wait for the library's thread, whose callbacks take the lock.
    const ScaleEntry& entry = scale.entry;
    auto fail = [this, &run, &scale] {
        run.log(m_logPaths, scale, kLogFailed);
        scale.entry.finished = true;
        scale.entry.succeeded = false;
    };
    {
        Lock lock(*this);
        if (run.stopRequested) {
            scale.failReason = "run stopped before the scale was contacted";
            fail();
            return;
        }
        std::string problem = scaleEntryProblem(entry);
        if (problem.empty() && run.firstScaleAt(entry.ip()) != &scale) {
            // One scale written twice ("127.0.0.2", "127.000.000.002") would get every line
            // twice; and replies name a scale by its address, so a twin would never hear
            // back and the run would never end.
            problem = "an earlier scale in [IPLIST] has the same address";
        }
        if (!problem.empty()) {
            scale.notTried = problem;
            scale.failReason = problem;
            trace("scale " + std::string(entry.ip()) + " not tried: " + problem);
            fail();
            return;
        }
    }
    const auto checkStart = std::chrono::steady_clock::now();
    if (m_library.CheckIp2(1, entry.ip(), static_cast<std::uint16_t>(entry.port)) <= 0) {
        // The library says only "no"; a quick no is a refusal, a slow one the time limit.
        const auto waited = std::chrono::duration_cast<std::chrono::milliseconds>(
            std::chrono::steady_clock::now() - checkStart);
        Lock lock(*this);
        if (run.stopRequested) {
            scale.failReason = kStoppedWhileOpening;
        } else {
            run.noteFailure(scale, unreachableReason(waited));
        }
        fail();
        return;
    }
    {
        Lock lock(*this);
        scale.reached = true;
        run.attempted = true;
    }
    const ConnectionBlock block =
        makeConnectionBlock(entry, &CallbackRouter::onReply, &CallbackRouter::onEvent);
    int result = m_library.AddConnectionEx(block) != 0 ? 1 : 0;
    const bool registered = result == 1;
    const bool connected = result == 1 && m_library.Connect(entry.ip(), -1) > 0;
    if (!connected) {
        result = 0;
    }
    Lock lock(*this);
    if (scale.entry.finished) {
        return; // a connection event ended it while it was opening
    }
    if (!registered) {
        run.noteFailure(scale, "model " + entry.modelName + " has no interpreter");
    } else if (!connected && run.stopRequested) {
        scale.failReason = kStoppedWhileOpening;
    } else if (!connected) {
        run.noteFailure(scale, "the connection could not be opened");
    }
    if (result == 1 && run.stopRequested) {
        // Stopped while it was connecting: its first record never goes out.
        m_library.Disconnect(entry.ip(), -1);
        result = 0;
        scale.failReason = "run stopped before the scale was contacted";
    }
    if (result == 1) {
        run.startPlan(scale);
        result = m_transfer.sendFirstLine(scale, run);
        if (result == 0 && !scale.sendCalled) {
            // Every due line was passed over (no record): nothing to send, nothing lost.
            run.log(m_logPaths, scale, kLogSuccess);
            m_library.Disconnect(entry.ip(), -1);
            scale.entry.finished = true;
            scale.entry.succeeded = true;
            return;
        }
    }
    run.log(m_logPaths, scale, result >= 1 ? kLogSuccess : kLogFailed);
    if (result >= 1) {
        return; // the replies carry the rest of its lines
    }
    if (scale.failReason.empty()) {
        run.noteFailure(scale, "the first record could not be sent");
    }
    if (scale.sendCalled) {
        m_transfer.DisconnectScale(run, entry.ip());
    }
    scale.entry.finished = true;
    scale.entry.succeeded = false;
}

} // namespace ostrel
