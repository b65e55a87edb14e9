// The settings holder's state: the price decimal point text, the scale count and the run mode
// that runs and the scale library's callbacks read, and the configuration window's scale list
// with its ScaleRecord table, and the connection table of a scan or test. The configuration
// window shows and edits this one copy; the headless program loads it at start-up as the
// hidden window would.
#pragma once

#include "settings/ConnectionTable.h"
#include "settings/ScaleRecord.h"
#include "settings/ScaleTable.h"

#include <atomic>
#include <mutex>
#include <string>
#include <vector>

namespace ostrel {

// Where the library's reply callback sends answers.
enum class RunMode : int
{
    Update = 0,    // replies drive the update run
    ScaleQuery = 1 // a scan or connection test awaits answers for the scale list
};

class SettingsHolder final
{
public:
    // [CYCLE] "Decimal Point" of Tarvik.ini (default ""), as the window's load reads it.
    void loadDecimalPoint(const std::string& tarvikIni);
    void setDecimalPointText(std::string text);
    std::string decimalPointText() const;
    // The text read as a number of decimals.
    int decimals() const;

    void setScaleCount(int count) { m_scaleCount = count; }
    int scaleCount() const { return m_scaleCount; }

    void setRunMode(RunMode mode) { m_runMode = mode; }
    RunMode runMode() const { return m_runMode; }

    // The window's load of the scale list: the ScaleRecord table starts empty and gets one
    // record per kept IPLIST slot, the list one row each. The list and the table belong to
    // the user interface's thread.
    void loadScaleList(const std::string& tarvikIni);
    ScaleTable& scaleTable() { return m_scaleTable; }
    const ScaleTable& scaleTable() const { return m_scaleTable; }
    std::vector<ScaleRecord>& scaleRecords() { return m_scaleRecords; }
    // Which scales' answers a scan or test accepts; it has a lock of its own.
    ConnectionTable& connections() { return m_connections; }
    const ConnectionTable& connections() const { return m_connections; }

private:
    mutable std::mutex m_mutex; // guards the text; the numbers are atomic
    std::string m_decimalPoint;
    std::atomic<int> m_scaleCount{0};
    std::atomic<RunMode> m_runMode{RunMode::Update};
    ScaleTable m_scaleTable;
    std::vector<ScaleRecord> m_scaleRecords;
    ConnectionTable m_connections;
};

} // namespace ostrel
