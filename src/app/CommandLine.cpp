#include "app/CommandLine.h"

#include "platform/Numbers.h"

namespace ostrel {

const char* usageText()
{
    return "Usage: ostrel [MODE] [--documents DIR]\n"
           "\n"
           "Ostrel keeps the item master of networked label-printing scales up to date\n"
           "from the PLU files that the back office drops into a folder. It sends every\n"
           "line of new files to every registered scale, logs the outcome per file and\n"
           "scale, and renames sent files to time-stamped backups.\n"
           "\n"
           "Modes (at most one):\n"
           "  (none)             run as the desktop program: an icon in the tray with the\n"
           "                     program menu, or, on a desktop without a tray, the\n"
           "                     Ostrel window with the menu's commands (closing it\n"
           "                     keeps Ostrel running); without a display (DISPLAY and\n"
           "                     WAYLAND_DISPLAY unset) as with --headless\n"
           "  --headless         run without windows: start-up run, update timer, the PLU\n"
           "                     folder watch ([CYCLE] WATCH FOLDER=1: a new data file is\n"
           "                     sent once it has settled), and the messages of --send;\n"
           "                     ends with 'ostrel --send exit', SIGINT or SIGTERM\n"
           "  --once             one Direct Download in the foreground, then a summary\n"
           "                     (files with the encoding they were read in and their\n"
           "                     warnings, lines, the result per scale) and exit. It\n"
           "                     first waits for data files still being written (up to\n"
           "                     SETTLE SECONDS and a second more), so they all go in one\n"
           "                     run; with more than 100 files it runs until none is left.\n"
           "                     Exit status:\n"
           "                       0  every scale succeeded, or nothing was new\n"
           "                       1  a scale failed, the run was interrupted, a file was\n"
           "                          still being written, or the delivery journal was\n"
           "                          lost or could not be written\n"
           "                       2  settings error (no settings file, no scale, a\n"
           "                          Decimal Point that is empty or outside 0 to 3, an\n"
           "                          ENCODING other than auto, utf-8 or codepage, no\n"
           "                          [PATH] section, a layout that gives no line its PLU\n"
           "                          number)\n"
           "                       3  another Ostrel instance is running, also one with\n"
           "                          another runtime folder on the same documents folder\n"
           "                     SIGINT or SIGTERM stops it after the records in flight:\n"
           "                     unfinished scales are logged FAILED and the files stay;\n"
           "                     'ostrel --send exit' does not end it\n"
           "  --once --full      the same run, with a full send to every scale (every line\n"
           "                     of its files, also with [SENDFILE] ONLY CHANGED=1)\n"
           "  --once --json      the same run; prints the run's result document (the\n"
           "                     contents of last-run.json) instead of the summary, one\n"
           "                     document per run, and nothing when no run took place\n"
           "  --resend FILE [--scale IP[:PORT]] [--json]\n"
           "                     send FILE (a backup or any data file) again to every\n"
           "                     registered scale, or to the one at IP[:PORT], through a\n"
           "                     normal run with its journal and log lines; FILE is not\n"
           "                     renamed. For a scale that was reset or lost its items.\n"
           "                     Exit status as with --once\n"
           "  --preview [FILE...] [--lines N] [--json]\n"
           "                     show the records the data files a Direct Download would\n"
           "                     take now (or the FILEs named) become, line by line, as a\n"
           "                     run makes them (encoding, Start Row, columns, replacement\n"
           "                     rules, prices with their decimal point); sends nothing and\n"
           "                     writes no settings. The first N lines of each file\n"
           "                     (default 20); a value a rule changed is marked '*'.\n"
           "                     --json prints a document (see docs/preview.md). Exit\n"
           "                     status 0 when every line shown makes a record, 1 when a\n"
           "                     line was skipped or a number read only in part, 2 on a\n"
           "                     settings error (the checks of a run)\n"
           "  --status           print how the last run went (from last-run.json) and\n"
           "                     exit 0 when it succeeded, 1 when it did not or no run\n"
           "                     is recorded\n"
           "  --send MESSAGE     send MESSAGE to the running instance and wait until it was\n"
           "                     handled: run (look for new files and send them; with\n"
           "                     --full as a full send to every scale),\n"
           "                     reload-and-run (reload the settings first), exit,\n"
           "                     configure (open the configuration window),\n"
           "                     plu-file-setting (open the PLU file setting window);\n"
           "                     exit status 1 when no running instance answers or it\n"
           "                     refuses the message (one without windows refuses\n"
           "                     configure and plu-file-setting)\n"
           "  --start --send MESSAGE\n"
           "                     the same, but when no Ostrel runs, start the desktop\n"
           "                     program and give it MESSAGE (the desktop entry's\n"
           "                     actions use this); exit is only sent\n"
           "  --init-config      create the settings folder and the template files where\n"
           "                     they are missing; never overwrites a file\n"
           "  --autostart on|off start Ostrel at login, or not, for this user: writes\n"
           "                     ~/.config/autostart/ostrel.desktop, which overrides the\n"
           "                     system-wide entry in /etc/xdg/autostart\n"
           "  --scan [--save]    find the scales on the network (UDP broadcast to port\n"
           "                     65535, replies on SCAN PORT of Tarvik.ini, default\n"
           "                     20304), ask each for its information and print one row\n"
           "                     per scale; --save writes them to the scale list in\n"
           "                     place of the registered scales, as the configuration\n"
           "                     window's Save does. Exit status 0 when a scale answered,\n"
           "                     1 when none did, 2 on a settings error, 3 when another\n"
           "                     instance runs\n"
           "  --test             ask every registered scale for its information and print\n"
           "                     the list with its Connection column; exit status 0 when\n"
           "                     every scale answered, 1 when one did not, 2 on a\n"
           "                     settings error, with no scale, or when the scale list\n"
           "                     has a slot it passes over (named on stderr: a port\n"
           "                     outside 1 to 65535, an address listed twice, a slot\n"
           "                     after an empty one or beyond IP099), 3 when another\n"
           "                     instance runs\n"
           "  -h, --help         show this help and exit\n"
           "  --version          show the version and exit\n"
           "\n"
           "Options:\n"
           "  --documents DIR    use DIR as the documents folder (same as OSTREL_DOCUMENTS)\n"
           "\n"
           "A second start while Ostrel runs asks the running instance to reload its\n"
           "settings and run, and to show the Configuration window (or, without a tray,\n"
           "the Ostrel window), then ends. Only one Ostrel sends from a documents folder:\n"
           "each holds DOCUMENTS/VEK/Ostrel/Log/ostrel.lock while it runs.\n"
           "\n"
           "Settings live in DOCUMENTS/VEK/Ostrel/Config (Tarvik.ini and the layout files),\n"
           "the log in DOCUMENTS/VEK/Ostrel/Log/Ostrel.log (at 10 MB it becomes\n"
           "Ostrel.log.1; five old logs are kept, up to Ostrel.log.5) and, beside it,\n"
           "delivery.db: which lines each scale has, so a scale that missed some gets\n"
           "them at the next run (a line a scale refuses in 3 runs in a row is set\n"
           "aside; a damaged journal is renamed delivery.db.damaged-STAMP and a new one\n"
           "started, with a notice naming what may be owed), and last-run.json: the\n"
           "result of the last run per scale, with the reason of a failure.\n"
           "\n"
           "Environment:\n"
           "  OSTREL_DOCUMENTS      the documents folder (default: the XDG documents folder)\n"
           "  OSTREL_CODEPAGE       code page of the data and settings texts\n"
           "                        (default CP1252)\n"
           "  OSTREL_INSTANCE_NAME  name of the single-instance lock and socket\n"
           "  XDG_RUNTIME_DIR       folder of that lock and socket; when unset,\n"
           "                        TMPDIR/ostrel-UID, which must be the user's own with\n"
           "                        mode 0700 (it is made so when missing)\n"
           "  OSTREL_TRACE=0        no trace lines on stderr\n"
           "  OSTREL_SCAN_BROADCAST ADDR[:PORT] for the scan request in place of\n"
           "                        255.255.255.255 (and port 65535), e.g. a loopback\n"
           "                        broadcast address for tests\n";
}

const char* versionText()
{
    return "ostrel " OSTREL_VERSION "\n";
}

CommandLine parseCommandLine(const std::vector<std::string>& arguments)
{
    CommandLine line;
    bool modeGiven = false;
    const auto setMode = [&](CommandLine::Mode mode, const std::string& option) {
        if (modeGiven && line.mode != mode) {
            line.error = "only one mode can be given (" + option + ")";
            return;
        }
        line.mode = mode;
        modeGiven = true;
    };

    for (std::size_t i = 0; i < arguments.size() && line.error.empty(); ++i) {
        const std::string& arg = arguments[i];
        const auto valueOf = [&](const std::string& option) -> std::optional<std::string> {
            if (i + 1 >= arguments.size()) {
                line.error = option + " needs a value";
                return std::nullopt;
            }
            return arguments[++i];
        };
        if (arg == "-h" || arg == "--help") {
            line.mode = CommandLine::Mode::Help;
            return line;
        } else if (arg == "--version") {
            line.mode = CommandLine::Mode::Version;
            return line;
        } else if (arg == "--autostart" || arg.rfind("--autostart=", 0) == 0) {
            const auto value = arg == "--autostart" ? valueOf(arg) : arg.substr(12);
            if (!value) {
                break;
            }
            if (*value != "on" && *value != "off") {
                line.error = "--autostart wants on or off, not '" + *value + "'";
                break;
            }
            line.startAtLogin = *value == "on";
            setMode(CommandLine::Mode::Autostart, "--autostart");
        } else if (arg == "--headless") {
            setMode(CommandLine::Mode::Headless, arg);
        } else if (arg == "--once") {
            setMode(CommandLine::Mode::Once, arg);
        } else if (arg == "--scan") {
            setMode(CommandLine::Mode::Scan, arg);
        } else if (arg == "--test") {
            setMode(CommandLine::Mode::Test, arg);
        } else if (arg == "--save") {
            line.save = true;
        } else if (arg == "--full") {
            line.full = true;
        } else if (arg == "--start") {
            line.start = true;
        } else if (arg == "--json") {
            line.json = true;
        } else if (arg == "--resend" || arg.rfind("--resend=", 0) == 0) {
            const auto value = arg == "--resend" ? valueOf(arg) : arg.substr(9);
            if (!value) {
                break;
            }
            if (value->empty()) {
                line.error = "--resend needs a data file";
                break;
            }
            line.resendFile = *value;
            setMode(CommandLine::Mode::Resend, "--resend");
        } else if (arg == "--scale" || arg.rfind("--scale=", 0) == 0) {
            const auto value = arg == "--scale" ? valueOf(arg) : arg.substr(8);
            if (!value) {
                break;
            }
            if (value->empty()) {
                line.error = "--scale needs an address";
                break;
            }
            line.scale = *value;
        } else if (arg == "--status") {
            setMode(CommandLine::Mode::Status, arg);
        } else if (arg == "--init-config") {
            setMode(CommandLine::Mode::InitConfig, arg);
        } else if (arg == "--send" || arg.rfind("--send=", 0) == 0) {
            const auto value = arg == "--send" ? valueOf(arg) : arg.substr(7);
            if (!value) {
                break;
            }
            line.message = instanceMessageFromName(*value);
            if (!line.message) {
                line.error = "unknown message '" + *value +
                             "' for --send (use run, reload-and-run, exit, configure or "
                             "plu-file-setting)";
                break;
            }
            setMode(CommandLine::Mode::Send, "--send");
        } else if (arg == "--preview") {
            setMode(CommandLine::Mode::Preview, arg);
        } else if (arg == "--lines" || arg.rfind("--lines=", 0) == 0) {
            const auto value = arg == "--lines" ? valueOf(arg) : arg.substr(8);
            if (!value) {
                break;
            }
            const int lines = atoiText(*value);
            if (lines < 1 || value->find_first_not_of("0123456789") != std::string::npos) {
                line.error = "--lines wants a number of lines from 1 on, not '" + *value + "'";
                break;
            }
            line.previewLines = lines;
        } else if (line.mode == CommandLine::Mode::Preview && !arg.starts_with("-")) {
            line.previewFiles.push_back(arg);
        } else if (arg == "--documents" || arg.rfind("--documents=", 0) == 0) {
            const auto value = arg == "--documents" ? valueOf(arg) : arg.substr(12);
            if (!value) {
                break;
            }
            if (value->empty()) {
                line.error = "--documents needs a folder";
                break;
            }
            line.documents = *value;
        } else {
            line.error = "unknown option '" + arg + "'";
        }
    }
    if (line.error.empty() && line.save && line.mode != CommandLine::Mode::Scan &&
        line.mode != CommandLine::Mode::Help) {
        line.error = "--save goes with --scan";
    }
    if (line.error.empty() && line.json && line.mode != CommandLine::Mode::Once &&
        line.mode != CommandLine::Mode::Resend && line.mode != CommandLine::Mode::Preview) {
        line.error = "--json goes with --once, --resend or --preview";
    }
    if (line.error.empty() && line.full) {
        if (line.mode == CommandLine::Mode::Send && line.message &&
            *line.message == InstanceMessage::copyData(kCopyDataRun)) {
            line.message = InstanceMessage::runFull();
        } else if (line.mode != CommandLine::Mode::Once) {
            line.error = "--full goes with --once or --send run";
        }
    }
    if (line.error.empty() && line.previewLines != CommandLine{}.previewLines &&
        line.mode != CommandLine::Mode::Preview) {
        line.error = "--lines goes with --preview";
    }
    if (line.error.empty() && !line.scale.empty() && line.mode != CommandLine::Mode::Resend) {
        line.error = "--scale goes with --resend";
    }
    if (line.error.empty() && line.start && line.mode != CommandLine::Mode::Send) {
        line.error = "--start goes with --send";
    }
    return line;
}

} // namespace ostrel
