#include "engine/ScaleTransfer.h"

#include "engine/RunBlocks.h"
#include "engine/RunServices.h"
#include "platform/Trace.h"
#include "protocol/ScaleLibrary.h"

namespace ostrel {

namespace {

std::string_view ipOf(const SendBlock& block)
{
    return block.ipText != nullptr ? std::string_view(block.ipText) : std::string_view();
}

} // namespace

ScaleTransfer::ScaleTransfer(ScaleLibrary& library, ProgressSink& progress, SendLogPaths logPaths,
                             std::function<void()> finishRunIfDone)
    : m_library(library), m_progress(progress), m_logPaths(std::move(logPaths)),
      m_finishRunIfDone(std::move(finishRunIfDone))
{
}

int ScaleTransfer::sendFirstLine(RunScale& scale, ActiveRun& run)
{
    ScaleEntry& entry = scale.entry;
    entry.finished = false;
    // A first line without a record (a header, PLU 0) is passed over like any later one.
    int action = 0;
    while (action < 1) {
        if (!run.seekDueLine(scale)) {
            return 0;
        }
        const auto line = static_cast<std::size_t>(entry.nextLine);
        if (run.passOverKnownUnchanged(scale, line)) {
            ++entry.nextLine;
            run.stepProgress(m_progress);
            continue;
        }
        action = run.lines().parse(line, scale.record);
        ++entry.nextLine;
        if (action < 1) {
            run.acknowledge(scale, line, kSkipNoRecord);
            run.stepProgress(m_progress);
        } else if (run.passOverUnchanged(scale, line, action)) {
            run.stepProgress(m_progress);
            action = 0;
        } else {
            scale.inFlight = static_cast<int>(line);
        }
    }
    scale.sendCalled = true;
    return m_library.SendDataEx(makeSendBlock(entry, action, scale.record.data()));
}

int ScaleTransfer::handleReply(ActiveRun& run, const SendBlock& block)
{
    const int kind = ClassifyReply(block);
    RunScale* scale = run.FindScaleByIp(ipOf(block));
    // A reply for a scale this run did not open, or one already ended, changes nothing.
    if (scale == nullptr || !scale->sendCalled || scale->entry.finished) {
        return 0;
    }
    ScaleEntry& entry = scale->entry;
    if (kind == kReplyAccepted || kind == kReplySkip) {
        // A line refused with "E88" will never be taken: it is passed over like a sent one.
        if (kind == kReplyAccepted) {
            ++scale->linesAccepted;
        }
        if (scale->inFlight >= 0) {
            if (kind == kReplySkip) {
                ++scale->refusals;
                trace("scale " + scale->key + " refused " +
                      run.describeLine(static_cast<std::size_t>(scale->inFlight)) + " (" +
                      replyErrorText(block) + "): skipped");
            }
            if (kind == kReplyAccepted) {
                run.noteAccepted(*scale);
            }
            run.acknowledge(*scale, static_cast<std::size_t>(scale->inFlight),
                            kind == kReplySkip ? kSkipE88 : std::string_view());
            scale->inFlight = -1;
        }
        run.stepProgress(m_progress);
        const int result = SendNextLine(run, block);
        if (result != 0) {
            entry.retryCount = 0;
        }
        return result;
    }
    if (kind != kReplyRetry) {
        return 0;
    }
    const int allowed = block.modelCode == 7100 ? kMaxRefusals7100 - 1 : kMaxResends;
    ++scale->refusals;
    const std::string error = replyErrorText(block);
    if (entry.retryCount >= allowed) {
        // A record the scale never takes must not hold back every newer price for good.
        if (run.setAsideAfterRepeatedRefusals(*scale, error)) {
            entry.retryCount = 0;
            run.stepProgress(m_progress);
            return SendNextLine(run, block);
        }
        run.noteFailure(*scale, "refused " +
                                    (error.empty() ? std::string("without a reason") : error) +
                                    " " + std::to_string(entry.retryCount + 1) + " times");
        FailScale(run, block, kFailRetriesUsed);
        return 0;
    }
    if (scale->inFlight >= 0) {
        trace("scale " + scale->key + " refused " +
              run.describeLine(static_cast<std::size_t>(scale->inFlight)) + " (" + error +
              "): sent again");
        entry.nextLine = scale->inFlight; // the same line again
    }
    const int result = SendNextLine(run, block);
    ++entry.retryCount;
    return result;
}

int ScaleTransfer::SendNextLine(ActiveRun& run, const SendBlock& block)
{
    if (block.dataKind != kDataKindPlu) {
        return 0;
    }
    RunScale* scale = run.FindScaleByIp(ipOf(block));
    if (scale == nullptr) {
        return 0;
    }
    ScaleEntry& entry = scale->entry;
    int action = 0;
    while (action < 1) {
        if (!run.seekDueLine(*scale)) {
            entry.finished = true;
            entry.succeeded = true;
            DisconnectScale(run, entry.ip());
            m_finishRunIfDone();
            return 0;
        }
        if (run.stopRequested) {
            // The record in flight was answered; nothing more goes out.
            run.noteFailure(*scale, "run stopped after " + std::to_string(scale->linesAccepted) +
                                        " records");
            FailScale(run, block, kFailRetriesUsed);
            return 0;
        }
        const auto line = static_cast<std::size_t>(entry.nextLine);
        if (run.passOverKnownUnchanged(*scale, line)) {
            ++entry.nextLine;
            run.stepProgress(m_progress);
            continue;
        }
        action = run.lines().parse(line, scale->record);
        ++entry.nextLine;
        if (action < 1) {
            // No reply would ever come for a line that is not sent: go on with the next.
            run.acknowledge(*scale, line, kSkipNoRecord);
            run.stepProgress(m_progress);
        } else if (run.passOverUnchanged(*scale, line, action)) {
            run.stepProgress(m_progress);
            action = 0;
        } else {
            scale->inFlight = static_cast<int>(line);
        }
    }
    SendBlock next = block;
    next.ipText = entry.ip();
    next.data = scale->record.data();
    next.actionCode = static_cast<std::uint16_t>(action);
    const int result = m_library.SendDataEx(next);
    if (result <= 0) {
        // Nothing is under way, so no reply will end this scale: it fails now.
        run.noteFailure(*scale, "a record could not be sent");
        FailScale(run, block, kFailRetriesUsed);
        return 0;
    }
    return result;
}

int ScaleTransfer::FailScale(ActiveRun& run, const SendBlock& block, int kind)
{
    if (kind != kFailRetriesUsed && kind != kFailConnection) {
        return 0;
    }
    RunScale* scale = run.FindScaleByIp(ipOf(block));
    if (scale == nullptr || scale->entry.finished) {
        return 0;
    }
    if (scale->failReason.empty()) {
        run.noteFailure(*scale, kind == kFailConnection
                                    ? "connection dropped after " +
                                          std::to_string(scale->linesAccepted) + " records"
                                    : std::string("gave up"));
    }
    run.log(m_logPaths, *scale, kLogFailed);
    scale->entry.finished = true;
    scale->entry.succeeded = false;
    DisconnectScale(run, scale->entry.ip());
    m_finishRunIfDone();
    return 0;
}

int ScaleTransfer::DisconnectScale(ActiveRun& run, std::string_view ipText)
{
    if (ipText.empty()) {
        return 0;
    }
    RunScale* scale = run.FindScaleByIp(ipText);
    if (scale == nullptr) {
        return 0;
    }
    m_library.Disconnect(scale->entry.ip(), -1);
    return 1;
}

} // namespace ostrel
