// The run's progress for the desktop program: takes the run's calls on any thread (the scale
// library's included) and replays them, in order, on the progress window on the
// user-interface thread. The window is made again when a close request destroyed it. While a
// run goes on it asks the details source for the lines below the status four times a second:
// asking, rather than being told of every record, keeps the run's cost per record unchanged.
#pragma once

#include "engine/RunServices.h"
#include "eventloop/EventLoopCalls.h"
#include "ui/shell/CProgressDlg.h"

#include <QObject>
#include <QTimer>

#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace ostrel {

class ProgressWindow final : public QObject, public ProgressSink
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(ProgressWindow)

public:
    explicit ProgressWindow(QObject* parent = nullptr);
    ~ProgressWindow() override;

    // Never block: each queues its step for the user-interface thread.
    void StartProgress(int maximum, int minimum, int step) override;
    void StepProgress() override;
    void CompleteProgress() override;

    // User-interface thread only.
    using DetailsSource = std::function<std::vector<std::string>()>; // UTF-8 lines
    void setDetailsSource(DetailsSource source);
    CProgressDlg& window(); // made (hidden) when there is none
    CProgressDlg* existing() const { return m_window.get(); }
    void destroyWindow();

signals:
    // On the user-interface thread, when a run's start reaches the window.
    void runStarted();

private:
    void refreshDetails();

    static constexpr int kRefreshMs = 250;
    DetailsSource m_details;
    QTimer m_refresh;
    std::unique_ptr<CProgressDlg> m_window;
    EventLoopCalls m_calls; // first to go: a queued step must not outlive the window
};

} // namespace ostrel
