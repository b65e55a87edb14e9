// The PLU file setting window's "Preview": the first 100 records of the sample file as a run
// would send them, with the window's values not saved yet. Read-only; it looks again whenever
// the window's values (or the rules file) change. The work runs on a thread of its own, so
// the windows keep answering on a big sample.
#pragma once

#include "engine/WindowPreview.h"
#include "eventloop/EventLoopCalls.h"
#include "settings/SettingsPaths.h"

#include <QDialog>
#include <QTimer>

#include <functional>
#include <optional>
#include <thread>

class QLabel;
class QTableWidget;

namespace ostrel {

class PreviewDlg final : public QDialog
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(PreviewDlg)

public:
    static constexpr std::size_t kRecordsShown = 100;
    using LayoutSource = std::function<WindowLayout()>;

    PreviewDlg(SettingsPaths paths, LayoutSource layout, QWidget* parent);
    ~PreviewDlg() override;

    // A preview is being made, or the window's values changed since the last one.
    bool pending() const { return m_working || m_shown != m_layout(); }

signals:
    void previewShown();

private:
    void lookAgain();
    void start(const WindowLayout& layout);
    void showPreview(const WindowPreview& preview);

    SettingsPaths m_paths;
    LayoutSource m_layout;
    QLabel* m_status = nullptr;
    QTableWidget* m_table = nullptr;
    QTimer m_poll;
    std::optional<WindowLayout> m_shown; // what the table shows
    bool m_working = false;
    EventLoopCalls m_calls;
    std::thread m_worker; // joined before the calls it posts to go
};

} // namespace ostrel
