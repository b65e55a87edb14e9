// What a run sends to whom: reads the run's data files and the catch-ups the delivery journal
// holds into the run's lines, enters new files into the journal, and gives each scale the lines
// it is due: a catch-up from its first unacknowledged line, before any newer file, then every
// new file whole; nothing it has already.
//
// Three steps, so that files are read without the engine's lock: pending() and plan() with
// it held, read() without.
#pragma once

#include "engine/ActiveRun.h"
#include "engine/DataFileReader.h"
#include "engine/DeliveryJournal.h"

#include <optional>
#include <string>
#include <vector>

namespace ostrel {

class RunPlanner final
{
public:
    // Reads the files that `found` lists, and for each pending catch-up the first of its
    // backup, its original path and any backup of that path whose bytes are the file's.
    void read(DataFileReader& reader, const std::vector<DataFileEntry>& found,
              std::vector<DeliveryJournal::Pending> pending);

    // Fills the run's files, lines and each scale's plan. Catch-ups whose bytes are nowhere
    // are closed in the journal, traced and logged FAILED for their scales, once. With
    // `resend` every scale is due every line of every file, whatever the journal held. False
    // when the journal could not record the plan: no row of it may then be relied on, and the
    // run's files carry no journal id.
    bool plan(ActiveRun& run, DeliveryJournal* journal, const SendLogPaths& logPaths,
              const RunLineSources& sources, int fileType, int decimals, bool resend = false);

    // Found files that could not be read: they stay for the next run.
    const std::vector<std::string>& unread() const { return m_unread; }

private:
    struct ReadFile
    {
        DataFileEntry entry;
        IndexedFile lines;
        FileReadResult result;
        FileIdentity identity;
        bool fromBackup = false;
        std::optional<DeliveryJournal::Pending> pending;
    };

    std::optional<ReadFile> readCatchUpSource(DataFileReader& reader,
                                              const DeliveryJournal::FileRecord& file);
    void closeGone(ActiveRun& run, DeliveryJournal& journal, const SendLogPaths& logPaths,
                   const DeliveryJournal::Pending& gone);

    std::optional<DataFileReader> m_reader; // the lines are read again with it
    std::vector<ReadFile> m_files;          // in run order
    std::vector<DeliveryJournal::Pending> m_gone;
    std::vector<std::string> m_unread;
};

} // namespace ostrel
