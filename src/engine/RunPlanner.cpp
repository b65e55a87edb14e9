#include "engine/RunPlanner.h"

#include "platform/Trace.h"

#include <algorithm>

namespace ostrel {

namespace {

bool sameBytes(const FileIdentity& a, const FileIdentity& b)
{
    // A copy across file systems may not keep the time; size and hash decide.
    return a.size == b.size && a.hash == b.hash;
}

std::string ipOfKey(const std::string& key)
{
    return key.substr(0, key.rfind(':'));
}

} // namespace

std::optional<RunPlanner::ReadFile>
RunPlanner::readCatchUpSource(DataFileReader& reader, const DeliveryJournal::FileRecord& file)
{
    std::vector<std::string> candidates;
    if (!file.backup.empty()) {
        candidates.push_back(file.backup);
    }
    candidates.push_back(file.path);
    // The run may have ended between the rename and its record in the journal.
    // Every name its backup can have: "<folder>/<name without extension>_*.bak".
    for (auto& match : findFiles(backupName(file.path, "*"))) {
        if (std::find(candidates.begin(), candidates.end(), match.path) == candidates.end()) {
            candidates.push_back(std::move(match.path));
        }
    }
    for (const std::string& path : candidates) {
        const auto stamp = fileStamp(path);
        if (!stamp || stamp->size != file.identity.size) {
            continue;
        }
        ReadFile read;
        read.result = reader.indexFile(path, read.lines);
        read.identity = identityOf(read.result.stamp, read.result.contentHash);
        if (!read.result.opened || !sameBytes(read.identity, file.identity)) {
            continue;
        }
        read.entry.path = path;
        read.entry.readStamp = read.result.stamp;
        read.fromBackup = path != file.path;
        return read;
    }
    return std::nullopt;
}

void RunPlanner::read(DataFileReader& reader, const std::vector<DataFileEntry>& found,
                      std::vector<DeliveryJournal::Pending> pending)
{
    m_reader = reader;
    std::vector<ReadFile> fresh;
    for (const DataFileEntry& entry : found) {
        ReadFile read;
        read.entry = entry;
        read.result = reader.indexFile(entry.path, read.lines);
        if (!read.result.opened) {
            m_unread.push_back(entry.path);
            continue;
        }
        read.entry.readStamp = read.result.stamp;
        read.identity = identityOf(read.result.stamp, read.result.contentHash);
        fresh.push_back(std::move(read));
    }
    // Catch-ups first, in the order the files were first read.
    for (auto& item : pending) {
        auto inFolder = std::find_if(fresh.begin(), fresh.end(), [&](const ReadFile& read) {
            return !read.pending && sameBytes(read.identity, item.file.identity);
        });
        if (inFolder != fresh.end()) {
            inFolder->pending = std::move(item);
            m_files.push_back(std::move(*inFolder));
            fresh.erase(inFolder);
            continue;
        }
        auto source = readCatchUpSource(reader, item.file);
        if (!source) {
            m_gone.push_back(std::move(item));
            continue;
        }
        source->pending = std::move(item);
        m_files.push_back(std::move(*source));
    }
    for (auto& read : fresh) {
        m_files.push_back(std::move(read));
    }
}

void RunPlanner::closeGone(ActiveRun& run, DeliveryJournal& journal, const SendLogPaths& logPaths,
                           const DeliveryJournal::Pending& gone)
{
    const std::string where = gone.file.backup.empty() ? gone.file.path : gone.file.backup;
    DataFileEntry entry;
    entry.path = where;
    for (const std::string& key : gone.scales) {
        std::string text = "catch-up for ";
        text += key;
        text += " impossible: ";
        text += where;
        text += " is gone";
        trace(text);
        WriteSendLog(logPaths, {&entry, 1}, run.stamp(), ipOfKey(key), kLogFailed);
        journal.closeDelivery(gone.file.id, key, "backup gone");
    }
    run.catchUpsGone.push_back(where);
}

bool RunPlanner::plan(ActiveRun& run, DeliveryJournal* journal, const SendLogPaths& logPaths,
                      const RunLineSources& sources, int fileType, int decimals, bool resend)
{
    DeliveryJournal::Batch batch(journal);
    if (journal != nullptr) {
        for (const auto& gone : m_gone) {
            closeGone(run, *journal, logPaths, gone);
        }
    }
    std::vector<IndexedFile> lineFiles;
    std::size_t lineCountSoFar = 0;
    FileLineNumbers fileLines;
    for (ReadFile& read : m_files) {
        const std::size_t index = run.files().size();
        RunFile file;
        file.entry = read.entry;
        file.fromBackup = read.fromBackup;
        file.linesSkipped = read.result.linesSkipped;
        file.encoding = read.result.encoding;
        file.codePage = read.result.codePage;
        file.unmappedCharacters = static_cast<int>(read.result.unmappedCharacters);
        file.firstUnmappedLine = read.result.firstUnmappedLine;
        file.begin = lineCountSoFar;
        lineCountSoFar += read.lines.size();
        lineFiles.push_back(read.lines);
        fileLines.appendAll(read.result.lineNumbers, file.begin);
        file.end = lineCountSoFar;
        const int lineCount = static_cast<int>(file.end - file.begin);
        bool known = read.pending.has_value();
        if (journal != nullptr) {
            if (known) {
                file.journalId = read.pending->file.id;
            } else if (auto record = journal->findFile(read.identity)) {
                file.journalId = record->id;
                known = true;
            } else {
                file.journalId =
                    journal->addFile(read.identity, file.entry.path, lineCount, run.stamp());
            }
        }
        run.files().push_back(file);

        for (RunScale& scale : run.scales()) {
            std::size_t from = 0;
            bool catchUp = false;
            if (resend) {
                if (journal != nullptr && file.journalId != 0) {
                    journal->restartDelivery(file.journalId, scale.key);
                }
            } else if (journal != nullptr && known && file.journalId != 0) {
                const auto next = journal->nextLine(file.journalId, scale.key);
                const bool pendingHere =
                    read.pending &&
                    std::find(read.pending->scales.begin(), read.pending->scales.end(),
                              scale.key) != read.pending->scales.end();
                if (read.fromBackup && !pendingHere) {
                    continue; // it was never due for this scale, or it has it
                }
                if (next) {
                    if (*next >= lineCount) {
                        continue; // it has every line
                    }
                    from = static_cast<std::size_t>(*next);
                    catchUp = true;
                } else {
                    journal->startDelivery(file.journalId, scale.key);
                }
            } else if (journal != nullptr && file.journalId != 0) {
                journal->startDelivery(file.journalId, scale.key);
            }
            scale.dueFiles.push_back(index);
            if (file.begin + from < file.end) {
                scale.plan.push_back({index, file.begin + from, file.end, catchUp});
            }
        }
    }
    run.unread = m_unread;
    if (m_reader) {
        run.setLines(RunLines(*m_reader, std::move(lineFiles), std::move(fileLines), fileType,
                              decimals, sources));
    }
    if (batch.commit()) {
        return true;
    }
    // Rolled back: an id it handed out may belong to no row, or to another file later.
    for (RunFile& file : run.files()) {
        file.journalId = 0;
    }
    return false;
}

} // namespace ostrel
