#include "ui/ProgressWindow.h"

namespace ostrel {

ProgressWindow::ProgressWindow(QObject* parent) : QObject(parent) {}

ProgressWindow::~ProgressWindow() = default;

void ProgressWindow::StartProgress(int maximum, int minimum, int step)
{
    // Always queued, also from this thread: the steps of the library's thread must not
    // overtake a start or a completion made here.
    QMetaObject::invokeMethod(
        this,
        [this, maximum, minimum, step] {
            CProgressDlg& dialog = window();
            dialog.StartProgress(maximum, minimum, step);
            dialog.show();
        },
        Qt::QueuedConnection);
}

void ProgressWindow::StepProgress()
{
    QMetaObject::invokeMethod(
        this, [this] { window().StepProgress(); }, Qt::QueuedConnection);
}

void ProgressWindow::CompleteProgress()
{
    QMetaObject::invokeMethod(
        this, [this] { window().CompleteProgress(); }, Qt::QueuedConnection);
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
