#include "ui/shell/ProgressWindow.h"

namespace ostrel {

ProgressWindow::ProgressWindow(QObject* parent) : QObject(parent) {}

ProgressWindow::~ProgressWindow() = default;

void ProgressWindow::StartProgress(int maximum, int minimum, int step)
{
    // Always queued, also from this thread: the steps of the library's thread must not
    // overtake a start or a completion made here.
    m_calls.post([this, maximum, minimum, step] {
        CProgressDlg& dialog = window();
        dialog.StartProgress(maximum, minimum, step);
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
    m_calls.post([this] { window().CompleteProgress(); });
}

CProgressDlg& ProgressWindow::window()
{
    if (!m_window) {
        m_window = std::make_unique<CProgressDlg>();
    }
    return *m_window;
}

void ProgressWindow::destroyWindow()
{
    m_window.reset();
}

} // namespace ostrel
