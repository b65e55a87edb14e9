#include "SimOptions.h"

#include <asio/ip/address_v4.hpp>

#include <charconv>
#include <map>

namespace ostrel::sim {

namespace {

std::vector<std::string> split(const std::string& text, char separator)
{
    std::vector<std::string> parts;
    std::size_t start = 0;
    for (;;) {
        const auto end = text.find(separator, start);
        parts.push_back(text.substr(start, end - start));
        if (end == std::string::npos)
            return parts;
        start = end + 1;
    }
}

std::optional<long long> number(const std::string& text, long long low, long long high)
{
    long long value = 0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (text.empty() || ec != std::errc() || end != text.data() + text.size() || value < low ||
        value > high)
        return std::nullopt;
    return value;
}

// IP:PORT[:MODEL[:VERSION]]
std::optional<ScaleConfig> parseScale(const std::string& text, std::string& error)
{
    const auto parts = split(text, ':');
    if (parts.size() < 2 || parts.size() > 4) {
        error = "--scale wants IP:PORT[:MODEL[:VERSION]], got '" + text + "'";
        return std::nullopt;
    }
    ScaleConfig scale;
    asio::error_code ec;
    asio::ip::make_address_v4(parts[0], ec);
    if (ec) {
        error = "not an IPv4 address: '" + parts[0] + "'";
        return std::nullopt;
    }
    scale.address = parts[0];
    const auto port = number(parts[1], 0, 65535);
    if (!port) {
        error = "bad port: '" + parts[1] + "'";
        return std::nullopt;
    }
    scale.port = static_cast<std::uint16_t>(*port);
    if (parts.size() >= 3 && !parts[2].empty()) {
        const auto code = modelCodeOf(parts[2]);
        if (!code) {
            error = "unknown model: '" + parts[2] + "'";
            return std::nullopt;
        }
        scale.modelName = parts[2];
        scale.modelCode = *code;
    }
    if (parts.size() == 4) {
        const auto values = split(parts[3], ',');
        if (values.size() != 4) {
            error = "version wants four comma-separated numbers, got '" + parts[3] + "'";
            return std::nullopt;
        }
        const auto v1 = number(values[0], INT32_MIN, INT32_MAX);
        const auto v2 = number(values[1], INT32_MIN, INT32_MAX);
        const auto v3 = number(values[2], 0, 65535);
        const auto v4 = number(values[3], 0, 65535);
        if (!v1 || !v2 || !v3 || !v4) {
            error = "bad version values: '" + parts[3] + "'";
            return std::nullopt;
        }
        scale.version1 = static_cast<std::int32_t>(*v1);
        scale.version2 = static_cast<std::int32_t>(*v2);
        scale.version3 = static_cast<std::uint16_t>(*v3);
        scale.version4 = static_cast<std::uint16_t>(*v4);
    }
    return scale;
}

// N[:TEXT]
bool parseCountAndText(const std::string& text, int& count, std::string& errorText)
{
    const auto colon = text.find(':');
    const auto n = number(text.substr(0, colon), 1, 1000000);
    if (!n)
        return false;
    count = static_cast<int>(*n);
    if (colon != std::string::npos) {
        errorText = text.substr(colon + 1);
        if (errorText.empty() || errorText.size() > 100)
            return false;
    }
    return true;
}

} // namespace

std::optional<std::uint16_t> modelCodeOf(const std::string& modelName)
{
    static const std::map<std::string, std::uint16_t> codes = {
        {"QV7100", 7100}, {"QV7600", 7600}, {"QV7300", 7300}, {"QV7100MN", 7110},
        {"TZ3W", 210},    {"TZ46", 460},    {"TZ47", 470}};
    if (const auto it = codes.find(modelName); it != codes.end())
        return it->second;
    if (const auto code = number(modelName, 0, 65535))
        return static_cast<std::uint16_t>(*code);
    return std::nullopt;
}

ParseResult parseArguments(const std::vector<std::string>& args)
{
    SimConfig config;
    ParseResult result;
    bool noScan = false;
    auto fail = [&result](std::string text) {
        result.error = std::move(text);
        return result;
    };
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (arg == "--help" || arg == "-h") {
            config.help = true;
            continue;
        }
        if (arg == "--version") {
            config.version = true;
            continue;
        }
        if (arg == "--verbose") {
            config.verbose = true;
            continue;
        }
        if (arg == "--no-scan") {
            noScan = true;
            continue;
        }
        if (i + 1 >= args.size())
            return fail("unknown option or missing value: " + arg);
        const std::string& value = args[++i];
        if (arg == "--scale") {
            std::string error;
            auto scale = parseScale(value, error);
            if (!scale)
                return fail(error);
            config.scales.push_back(std::move(*scale));
            continue;
        }
        if (arg == "--db") {
            config.dbPath = value;
            continue;
        }
        if (arg == "--scan-port") {
            const auto port = number(value, 0, 65535);
            if (!port)
                return fail("bad --scan-port: " + value);
            config.scanPort = static_cast<std::uint16_t>(*port);
            config.scanEnabled = true;
            continue;
        }
        if (arg == "--scan-bind") {
            asio::error_code ec;
            asio::ip::make_address_v4(value, ec);
            if (ec)
                return fail("bad --scan-bind: " + value);
            config.scanBind = value;
            continue;
        }
        // The rest are faults of the scale named last.
        if (config.scales.empty())
            return fail(arg + " must follow the --scale it applies to");
        FaultConfig& faults = config.scales.back().faults;
        if (arg == "--refuse-first") {
            if (!parseCountAndText(value, faults.refuseFirst, faults.refuseFirstText))
                return fail("bad --refuse-first: " + value);
        } else if (arg == "--refuse-plu") {
            if (!parseCountAndText(value, faults.refusePlu, faults.refusePluText) ||
                faults.refusePlu == 0)
                return fail("bad --refuse-plu: " + value);
        } else if (arg == "--refuse-every") {
            if (!parseCountAndText(value, faults.refuseEvery, faults.refuseEveryText))
                return fail("bad --refuse-every: " + value);
        } else if (arg == "--drop-after" || arg == "--silent-after" || arg == "--delay") {
            const auto n = number(value, 0, 1000000);
            if (!n) {
                std::string text = "bad " + arg;
                text += ": ";
                text += value;
                return fail(std::move(text));
            }
            int& slot = arg == "--drop-after"     ? faults.dropAfter
                        : arg == "--silent-after" ? faults.silentAfter
                                                  : faults.delayMs;
            slot = static_cast<int>(*n);
        } else {
            return fail("unknown option: " + arg);
        }
    }
    if (noScan)
        config.scanEnabled = false;
    if (!config.help && !config.version && config.scales.empty())
        return fail("no --scale given");
    result.config = std::move(config);
    return result;
}

std::string helpText()
{
    return R"(Usage: ostrel-scale-sim --scale IP:PORT[:MODEL[:VERSION]] [faults] ... [options]

A TEST TOOL: serves simulated label-printing scales over the Ostrel scale link
(TCP) for tests, benchmarks and demonstrations, and stores every record a scale
accepts in SQLite. Do not run it on a shop network: it looks like a real scale.

Scales:
  --scale IP:PORT[:MODEL[:VERSION]]
        Add a scale listening on IP:PORT (TCP). Repeat for more scales. Use
        loopback addresses (127.0.0.x). PORT 0 picks a free port (see the ready
        line). MODEL: QV7100 (7100, default), QV7600 (7600), QV7300 (7300),
        QV7100MN (7110), TZ3W (210), TZ46 (460), TZ47 (470), or a model code.
        VERSION: the four version values "V1,V2,V3,V4" of the information
        reply, for example 123,4,15,2 (default 100,1,10,1).

Faults (each applies to the --scale given last):
  --refuse-first N[:TEXT]
        Refuse the first N tries of each record (same department and PLU
        number) with the error text TEXT (default E12). E88 makes the sender
        skip the line.
  --refuse-every N[:TEXT]
        Refuse every Nth record frame the scale receives, with TEXT (default
        E12).
  --refuse-plu PLU[:TEXT]
        Refuse every record with PLU number PLU, always, with TEXT (default
        E12): a record this scale will never take.
  --drop-after K
        Close the connection, without a reply, when record K+1 arrives on it.
  --silent-after K
        Answer nothing from record K+1 on (the connection stays open).
  --delay MS
        Wait MS milliseconds before each record and information reply.
  Refused, dropped and unanswered records are not stored.

Options:
  --db FILE         SQLite database for the received records (default: in
                    memory). Table plu: the current records, one per scale,
                    department and PLU number (action 3 inserts or replaces,
                    action 4 deletes). Columns: scale ("IP:PORT"), received
                    (UTC, ISO 8601), action, department, plu_number,
                    item_code, price, name (field 10, bytes as sent), record
                    (the raw 5308-byte record). Table received: every accepted
                    record in order of arrival, with the same columns but
                    record, and an id. A file holds each accepted record
                    before its reply is sent, so other programs may read it
                    while the scales run. In memory, the raw record is not
                    kept: nobody could read it.
  --scan-port PORT  Answer the UDP scale scan on PORT (0 picks a free one).
                    Without it the simulator does not answer scans at all.
                    A request 53 02 02 gets one 38-byte reply per scale, sent
                    to the sender's address and port.
  --scan-bind ADDR  Address the scan socket binds (default 127.0.0.1). A
                    loopback address also hears the loopback broadcast
                    127.255.255.255 (OSTREL_SCAN_BROADCAST=127.255.255.255
                    points the program's scan there). Give 0.0.0.0 only
                    inside a network namespace of your own: it answers
                    broadcasts on every interface.
  --no-scan         Do not answer the scale scan, even with --scan-port.
  --verbose         Log every frame on stderr.
  --help            Show this text.
  --version         Show the version.

Once every listener is bound, one line goes to stdout:
  ready IP:PORT ... [scan:PORT]
with the bound TCP port of each scale in the order given and the bound scan
port. SIGINT or SIGTERM ends the program cleanly (exit status 0). Exit status
2: bad command line; 1: a listener or the database could not be opened.
)";
}

std::string versionText()
{
    return "ostrel-scale-sim " OSTREL_VERSION "\n";
}

} // namespace ostrel::sim
