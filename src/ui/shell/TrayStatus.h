// How the tray icon shows the runs: the idle, busy, failed and succeeded icons (the program's
// icon with a badge), the tooltip's lines with the last run's result and what the last Direct
// Download found, one notification per failed run and a brief one that answers a Direct
// Download. The failed icon stays until a run succeeds; the succeeded one, shown after a run
// somebody asked for, until the next run starts.
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
        Failed,
        Succeeded
    };
    enum class Notice
    {
        Failure, // stays as long as the desktop keeps warnings
        Brief    // the answer to a click, gone after a few seconds
    };
    // Shows a desktop notification; the default goes through the tray icon, and does nothing
    // when no notification service is there.
    using Notifier = std::function<void(const QString& title, const QString& text, Notice)>;

    TrayStatus(CTrayIcon& tray, std::string tarvikIni, QObject* parent = nullptr);

    void setNotifier(Notifier notifier) { m_notifier = std::move(notifier); }
    // User-interface thread only.
    void runStarted();
    void runFinished(const RunSummary& summary);
    // A Direct Download that started no run, and why (UTF-8).
    void nothingSent(const std::string& why);

    State state() const { return m_state; }
    QString toolTip() const { return m_toolTip; }
    static QIcon icon(State state);

signals:
    // The icon or the tooltip changed.
    void changed();

private:
    void show(State state);
    void showToolTip();

    CTrayIcon& m_tray;
    std::string m_tarvikIni;
    Notifier m_notifier;
    State m_state = State::Idle;
    QString m_lastRun; // the tooltip's second line, "" before the first run
    QString m_note;    // what the last Direct Download found, until the next run starts
    QString m_toolTip = QStringLiteral("Ostrel");
};

} // namespace ostrel
