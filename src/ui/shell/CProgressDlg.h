// The progress window of an update run: a bar and a status text, and below them the run's
// files and each scale's records so far; shown during a run and hidden between runs. Its operations
// run on the user-interface thread only; ProgressWindow brings the run's calls here.
#pragma once

#include <QDialog>
#include <QStringList>
#include <QTimer>

class QLabel;
class QProgressBar;

namespace ostrel {

class CProgressDlg final : public QDialog
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(CProgressDlg)

public:
    static constexpr int kBarId = 1000;
    static constexpr int kStatusId = 1001;
    static constexpr int kDetailsId = 1002;
    static constexpr int kCompleteMs = 500;

    explicit CProgressDlg(QWidget* parent = nullptr);
    ~CProgressDlg() override;

    void StartProgress(int maximum, int minimum, int step);
    void StepProgress();
    // "Complete!!" with a full bar, then after 500 ms hidden with the bar back at 0.
    void CompleteProgress();
    // One line each below the status; the window grows to fit them. Lines too long for it
    // are cut with an ellipsis.
    void ShowDetails(const QStringList& lines);

    QProgressBar* bar() const { return m_bar; }
    QLabel* status() const { return m_status; }
    QLabel* details() const { return m_details; }

signals:
    // The completion pause is over and the window hidden.
    void completionShown();

private:
    void showPosition();
    void endCompletion();

    QProgressBar* m_bar;
    QLabel* m_status;
    QLabel* m_details;
    QTimer m_completeTimer;
    // The run's own range; the bar shows it per mille when it does not fit 16 bits.
    long long m_maximum = 100;
    long long m_minimum = 0;
    long long m_step = 1;
    long long m_position = 0;
    bool m_perMille = false;
    int m_detailLines = 0;
};

} // namespace ostrel
