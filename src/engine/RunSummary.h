// What one finished update run did, for the headless summary, the windows and the tests.
#pragma once

#include <string>
#include <vector>

namespace ostrel {

struct RunSummary
{
    struct ScaleResult
    {
        std::string ipText;
        std::string name;
        bool reached = false;    // passed the reachability check
        bool succeeded = false;  // every due line sent (or nothing was due)
        bool nothingDue = false; // had every line already: not contacted
        int linesAccepted = 0;
        int linesSkipped = 0;   // no record, or refused with "E88"
        int linesUnchanged = 0; // held by the scale already: passed over (only changed)
        bool fullSend = false;  // only changed is on, and this was a full send
        std::string notTried;   // why the run never tried this scale, "" when it did
        int port = 0;
        std::string model;     // the MODEL text of Tarvik.ini
        int refusals = 0;      // records the scale refused (each resend counts)
        std::string reason;    // why it failed, in words; "" when it did not
        int linesDue = 0;      // lines planned for it in this run
        bool finished = false; // done with, one way or the other
    };
    // Lines a scale got late: the rest of a file it did not get completely before.
    struct CatchUp
    {
        std::string file; // where the lines were read from (usually the backup)
        std::string ipText;
        int firstLine = 0; // 1-based, among the file's data lines
        int lastLine = 0;
    };
    // How a data file was read, and what of it reached the scales other than it stands.
    struct FileReading
    {
        std::string encoding;       // "UTF-8" or the code page's name
        std::string encodingReason; // "byte-order mark", "valid UTF-8", "ENCODING", ...
        std::string codePage;
        int unmappedCharacters = 0;   // UTF-8 characters the code page lacks: sent as '?'
        int firstUnmappedLine = 0;    // the file's line
        int partialReads = 0;         // lines with a number field read only in part
        std::string firstPartialRead; // "line 14: price 'n/a' read as 0" (UTF-8)
    };
    struct BackupFailure
    {
        std::string file;
        std::string reason;
    };
    // A line a scale refused in several runs in a row: passed over so the scale goes on.
    struct SetAsideLine
    {
        std::string file;
        std::string ipText;
        int line = 0; // 1-based, among the file's data lines
        std::string reason;
    };
    // After the run: a data file (its backup where there is one) that scales still lack lines
    // of, so a lost journal can name it.
    struct OwedFile
    {
        std::string file;
        std::vector<std::string> scales; // "IP:PORT"
    };
    std::string stamp;
    std::string trigger;   // what started the run: start-up, timer, menu, message
    std::string startTime; // local time, ISO 8601 with offset
    std::string endTime;
    std::vector<std::string> files;        // data files of the run, in order
    std::vector<int> fileLines;            // data lines read from each of them
    std::vector<FileReading> fileReadings; // how each of them was read
    std::vector<std::string> backedUp;
    std::vector<std::string> keptForNextRun; // unread, or changed after being read
    std::vector<BackupFailure> backupFailures;
    std::vector<CatchUp> catchUps;
    std::vector<std::string> catchUpsGone; // the backup to catch up from no longer exists
    std::vector<SetAsideLine> linesSetAside;
    std::vector<OwedFile> catchUpsPending;
    std::vector<std::string> stillBeingWritten; // settled too late for this run
    std::size_t filesWaiting = 0;               // beyond the files one run takes
    std::string journalNotice;                  // the journal was lost: what may be owed
    std::string journalFailure;                 // a journal write failed: files kept
    int lines = 0;
    int linesSkipped = 0;     // bad lines the reading passed over
    bool interrupted = false; // stopped on request: unfinished scales failed, files kept
    bool resend = false;      // ostrel --resend: sent again, never renamed
    std::vector<ScaleResult> scales;
};

} // namespace ostrel
