// Parse throughput of data lines into PLU records: separated and fixed files of 100,000 lines,
// against a variant that reads PluID.ini for every column and the rules file for every line;
// and the cost of deciding each file's encoding from its bytes, against reading it with the
// encoding given.
#include "engine/DataFileReader.h"
#include "engine/ImportSources.h"
#include "engine/LineParsers.h"
#include "platform/IniFile.h"
#include "platform/Trace.h"
#include "rules/RulesFile.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace {

using namespace ostrel;
using Clock = std::chrono::steady_clock;

constexpr int kLines = 100'000;
constexpr int kNaiveLines = 2'000;
constexpr int kDecimals = 2;
const std::vector<int> kColumnFields{2, 1, 10, 6, 4, 11, 3, 30, 13, 80};

double secondsSince(Clock::time_point start)
{
    return std::chrono::duration<double>(Clock::now() - start).count();
}

void writeFile(const std::string& path, const std::string& bytes)
{
    std::ofstream(path, std::ios::binary) << bytes;
}

struct Fixture
{
    std::string dir;
    ImportSourcePaths paths;
    std::string separatedFile;
    std::string utf8File; // the separated file with a non-ASCII name on every tenth line
    std::string fixedFile;
    ImportFormat fixedFormat;
};

Fixture makeFixture()
{
    Fixture f;
    std::string pattern = (std::filesystem::temp_directory_path() / "ostrel-bench-XXXXXX").string();
    f.dir = ::mkdtemp(pattern.data());
    f.paths = {f.dir + "/PluID.ini", f.dir + "/plumatch.mch", f.dir + "/Tarvik.ini"};

    std::string pluId = "[PLU ID]\r\n";
    for (std::size_t i = 0; i < kColumnFields.size(); ++i) {
        char line[32];
        std::snprintf(line, sizeof line, "ID%02zu=%04d\r\n", i + 1, kColumnFields[i]);
        pluId += line;
    }
    pluId += "[PLU NAME]\r\nNAME01=PLU No\r\n";
    writeFile(f.paths.pluIdIni, pluId);
    writeFile(f.paths.runSettingsIni, "[SEPARATE]\r\nItemIsPLU=0\r\nSeparate=,\r\n");

    std::vector<ReplaceRule> rules;
    for (int i = 0; i < 50; ++i) {
        const int field = kColumnFields[static_cast<std::size_t>(i) % kColumnFields.size()];
        rules.push_back({field, "Field", "D" + std::to_string(i), std::to_string(i + 1)});
    }
    rules[0] = {1, "Dept", "7", "3"}; // one rule that matches often
    writeFile(f.paths.rulesFile, serializeRules(rules));

    std::string separated;
    std::string utf8;
    std::string fixed;
    separated.reserve(kLines * 64);
    utf8.reserve(kLines * 64);
    fixed.reserve(kLines * 64);
    for (int i = 0; i < kLines; ++i) {
        char line[256];
        std::snprintf(line, sizeof line, "%d,%d,Item number %d,%d.%02d,%d,%d,KG,Fresh %d,%d,%d\r\n",
                      i + 1, i % 20, i, i % 50, i % 100, i % 3, 900000 + i, i % 7, i * 3, i % 9);
        separated += line;
        std::snprintf(line, sizeof line, "%d,%d,%s %d,%d.%02d,%d,%d,KG,Fresh %d,%d,%d\r\n", i + 1,
                      i % 20, i % 10 == 0 ? "Cr\xC3\xA8me" : "Cream", i, i % 50, i % 100, i % 3,
                      900000 + i, i % 7, i * 3, i % 9);
        utf8 += line;
        std::snprintf(line, sizeof line, "%4d%8d%-30s%8d%4d%8d\r\n", i % 20, i + 1,
                      ("Item number " + std::to_string(i)).c_str(), (i % 5000) + 1, i % 3,
                      900000 + i);
        fixed += line;
    }
    f.separatedFile = f.dir + "/ITEMS.TXT";
    f.fixedFile = f.dir + "/FIXED.TXT";
    writeFile(f.separatedFile, separated);
    f.utf8File = f.dir + "/UTF8.TXT";
    writeFile(f.utf8File, utf8);
    writeFile(f.fixedFile, fixed);

    // Fixed layout in the fixed column order: dept, PLU, name, price, field 4, item code.
    f.fixedFormat.fileType = kFixedType;
    for (const int field : kFixedColumnFields) {
        f.fixedFormat.fixedFields.push_back({field, 0, 0});
    }
    auto place = [&](std::size_t position, int start, int length) {
        f.fixedFormat.fixedFields[position].start = start;
        f.fixedFormat.fixedFields[position].length = length;
    };
    place(0, 0, 4);
    place(1, 4, 8);
    place(4, 12, 30);
    place(18, 42, 8);
    place(2, 50, 4);
    place(3, 54, 8);
    return f;
}

ImportFormat separatedFormat()
{
    ImportFormat format;
    format.fileType = kSeparatedType;
    format.textSettings = {{kTextSeparator, ","}, {kTextComment, "//"}};
    return format;
}

// The cost the engine avoids: one profile read per column, the rules file per line.
int naiveParseSeparated(const Fixture& f, const ColumnList& columns, PluRecord& record)
{
    const std::string itemIsPlu =
        readProfileString("SEPARATE", "ItemIsPLU", "", 10, f.paths.runSettingsIni);
    const ReplaceRuleTable rules(readRulesFile(f.paths.rulesFile));
    std::vector<int> fields;
    for (std::size_t i = 1; i <= columns.size(); ++i) {
        char key[16];
        std::snprintf(key, sizeof key, "ID%02zu", i);
        const std::string value = readProfileString("PLU ID", key, "", 128, f.paths.pluIdIni);
        if (value.empty()) {
            break;
        }
        fields.push_back(std::atoi(value.c_str()));
    }
    const SeparatedParseInputs inputs{fields, &rules, itemIsPlu == "1", kDecimals};
    return ParseSeparatedLine(kPluDataKind, record, columns, inputs);
}

struct Timing
{
    double readSeconds = 0;  // read + split
    double parseSeconds = 0; // records
    long records = 0;
};

Timing runSeparated(const Fixture& f, LineTable& table)
{
    Timing t;
    table.clear();
    auto start = Clock::now();
    DataFileReader reader(LineSplitter(separatedFormat()), 1);
    reader.ReadDataFile(f.separatedFile, table);
    t.readSeconds = secondsSince(start);

    ImportSources sources(f.paths);
    PluRecord record;
    start = Clock::now();
    for (const auto& line : table) {
        t.records += ParseSeparatedLine(kPluDataKind, record, line, sources, kDecimals) > 0;
    }
    t.parseSeconds = secondsSince(start);
    return t;
}

Timing runFixed(const Fixture& f)
{
    Timing t;
    LineTable table;
    auto start = Clock::now();
    DataFileReader reader(LineSplitter(f.fixedFormat), 1);
    reader.ReadDataFile(f.fixedFile, table);
    t.readSeconds = secondsSince(start);

    ImportSources sources(f.paths);
    PluRecord record;
    start = Clock::now();
    for (const auto& line : table) {
        t.records += ParseFixedLine(kPluDataKind, record, line, sources, kDecimals) > 0;
    }
    t.parseSeconds = secondsSince(start);
    return t;
}

// Read and split only, with the encoding decided from the bytes or given.
double readSeconds(const std::string& path, EncodingSetting encoding)
{
    double best = 1e9;
    LineTable table; // kept, as the runs above keep theirs: fresh pages would drown the cost
    for (int round = 0; round < 5; ++round) {
        table.clear();
        const auto start = Clock::now();
        DataFileReader reader(LineSplitter(separatedFormat()), 1);
        reader.setCodePage("CP1252");
        reader.setEncoding(encoding);
        reader.ReadDataFile(path, table);
        best = std::min(best, secondsSince(start));
    }
    return best;
}

Timing best(Timing a, const Timing& b)
{
    if (b.readSeconds + b.parseSeconds < a.readSeconds + a.parseSeconds) {
        return b;
    }
    return a;
}

} // namespace

int main()
{
    setTraceEnabled(false); // one line per file read would only add noise
    const Fixture f = makeFixture();
    LineTable table;

    Timing separated = runSeparated(f, table);
    Timing fixed = runFixed(f);
    for (int round = 0; round < 4; ++round) {
        separated = best(separated, runSeparated(f, table));
        fixed = best(fixed, runFixed(f));
    }

    PluRecord record;
    long naiveRecords = 0;
    const auto start = Clock::now();
    for (int i = 0; i < kNaiveLines; ++i) {
        naiveRecords +=
            naiveParseSeparated(f, table[static_cast<std::size_t>(i)], record) > 0 ? 1 : 0;
    }
    const double naiveParsePerLine = secondsSince(start) / kNaiveLines;

    const double splitPerLine = separated.readSeconds / kLines;
    const double fastPerLine = (separated.readSeconds + separated.parseSeconds) / kLines;
    const double naivePerLine = splitPerLine + naiveParsePerLine;

    std::printf("lines: %d per file, %zu columns, 50 rules\n", kLines, kColumnFields.size());
    std::printf("separated: read+split %.0f lines/s, parse %.0f lines/s, %ld records\n",
                kLines / separated.readSeconds, kLines / separated.parseSeconds, separated.records);
    std::printf("fixed: read+split %.0f lines/s, parse %.0f lines/s, %ld records\n",
                kLines / fixed.readSeconds, kLines / fixed.parseSeconds, fixed.records);
    std::printf("reread variant: parse %.0f lines/s over %d lines, %ld records\n",
                1.0 / naiveParsePerLine, kNaiveLines, naiveRecords);
    std::printf("parse-only speedup vs reread: %.1f\n",
                naiveParsePerLine / (separated.parseSeconds / kLines));
    std::printf("separated lines/s: %.0f\n", 1.0 / fastPerLine);
    std::printf("fixed lines/s: %.0f\n", kLines / (fixed.readSeconds + fixed.parseSeconds));
    std::printf("speedup vs reread: %.1f\n", naivePerLine / fastPerLine);

    // Deciding needs one pass over the bytes; "codepage" is the reading before the decision.
    const double asciiAuto = readSeconds(f.separatedFile, EncodingSetting::Auto);
    const double asciiGiven = readSeconds(f.separatedFile, EncodingSetting::CodePage);
    const double utf8Auto = readSeconds(f.utf8File, EncodingSetting::Auto);
    const double utf8Given = readSeconds(f.utf8File, EncodingSetting::Utf8);
    const double utf8Raw = readSeconds(f.utf8File, EncodingSetting::CodePage);
    const double parsePerLine = separated.parseSeconds / kLines;
    std::printf("read+split lines/s: ASCII file auto %.0f, codepage %.0f; UTF-8 file auto %.0f, "
                "utf-8 %.0f, codepage (unconverted) %.0f\n",
                kLines / asciiAuto, kLines / asciiGiven, kLines / utf8Auto, kLines / utf8Given,
                kLines / utf8Raw);
    std::printf("encoding decision, read+split time auto / given: ASCII %.3f, UTF-8 %.3f\n",
                asciiAuto / asciiGiven, utf8Auto / utf8Given);
    std::printf("encoding decision, read+split+parse time auto / given: ASCII %.3f, UTF-8 %.3f\n",
                (asciiAuto / kLines + parsePerLine) / (asciiGiven / kLines + parsePerLine),
                (utf8Auto / kLines + parsePerLine) / (utf8Given / kLines + parsePerLine));
    std::printf("UTF-8 conversion, read+split time utf-8 / unconverted: %.3f\n",
                utf8Given / utf8Raw);

    std::error_code ignored;
    std::filesystem::remove_all(f.dir, ignored);
    return 0;
}
