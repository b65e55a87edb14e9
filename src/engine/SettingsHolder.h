// The settings holder's state that runs and the scale library's callbacks read: the price
// decimal point text, the scale count and the run mode. The configuration window wraps it; the
// headless program loads it at start-up as the hidden window would.
#pragma once

#include <atomic>
#include <mutex>
#include <string>

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

private:
    mutable std::mutex m_mutex; // guards the text; the numbers are atomic
    std::string m_decimalPoint;
    std::atomic<int> m_scaleCount{0};
    std::atomic<RunMode> m_runMode{RunMode::Update};
};

} // namespace ostrel
