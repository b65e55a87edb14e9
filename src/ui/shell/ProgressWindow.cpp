#include "ui/shell/ProgressWindow.h"

#include <utility>

namespace ostrel {

ProgressWindow::ProgressWindow(QObject* parent) : QObject(parent)
{
    m_refresh.setInterval(kRefreshMs);
    connect(&m_refresh, &QTimer::timeout, this, &ProgressWindow::refreshDetails);
}

ProgressWindow::~ProgressWindow() = default;

void ProgressWindow::StartProgress(int maximum, int minimum, int step)
{
    // Always queued, also from this thread: the steps of the library's thread must not
    // overtake a start or a completion made here.
    m_calls.post([this, maximum, minimum, step] {
        CProgressDlg& dialog = window();
        dialog.StartProgress(maximum, minimum, step);
        refreshDetails();
        m_refresh.start();
        dialog.show();
        emit runStarted();
    });
}

void ProgressWindow::StepProgress()
{
    m_calls.post([this] { window().StepProgress(); });
}

void ProgressWindow::CompleteProgress()
{
    m_calls.post([this] {
        m_refresh.stop();
        refreshDetails(); // the run's final counts, shown with "Complete!!"
        window().CompleteProgress();
    });
}

CProgressDlg& ProgressWindow::window()
{
    if (!m_window) {
        m_window = std::make_unique<CProgressDlg>();
    }
    return *m_window;
}

void ProgressWindow::setDetailsSource(DetailsSource source)
{
    m_details = std::move(source);
}

void ProgressWindow::refreshDetails()
{
    if (!m_details) {
        return;
    }
    QStringList lines;
    for (const std::string& line : m_details()) {
        lines.push_back(QString::fromStdString(line));
    }
    window().ShowDetails(lines);
}

void ProgressWindow::destroyWindow()
{
    m_window.reset();
}

} // namespace ostrel
