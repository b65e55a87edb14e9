// How the tray icon shows the runs: the idle, busy and failed icons (the program's icon with a
// badge), the tooltip's second line with the last run's result, and one notification per failed
// run. The failed icon stays until a run succeeds.
#pragma once

#include "engine/RunSummary.h"

#include <QIcon>
#include <QObject>
#include <QString>

#include <functional>
#include <string>

namespace ostrel {

class CTrayIcon;

class TrayStatus final : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(TrayStatus)

public:
    enum class State
    {
        Idle,
        Busy,
        Failed
    };
    // Shows a desktop notification; the default goes through the tray icon, and does nothing
    // when no notification service is there.
    using Notifier = std::function<void(const QString& title, const QString& text)>;

    TrayStatus(CTrayIcon& tray, std::string tarvikIni, QObject* parent = nullptr);

    void setNotifier(Notifier notifier) { m_notifier = std::move(notifier); }
    // User-interface thread only.
    void runStarted();
    void runFinished(const RunSummary& summary);

    State state() const { return m_state; }
    static QIcon icon(State state);

private:
    void show(State state);

    CTrayIcon& m_tray;
    std::string m_tarvikIni;
    Notifier m_notifier;
    State m_state = State::Idle;
};

} // namespace ostrel
