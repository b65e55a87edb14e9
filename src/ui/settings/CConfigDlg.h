// The configuration window: the registered scales with Add, Edit and Delete, the update cycle
// and interval, the price decimal point, and Save. It shows and edits the settings holder's
// one copy of the scale list; every step that decides something or touches Tarvik.ini is a
// core operation. Created hidden at start-up and kept for the program's life; every hiding
// but the Enter key asks the main window to reload its settings. "Scan" and "Connection Test"
// run the core's ScaleDiscovery; its answers reach the list on this window's thread.
#pragma once

#include "settings/SettingsPaths.h"

#include "discovery/ScaleDiscovery.h"

#include "eventloop/EventLoopCalls.h"

#include <QDialog>
#include <QTimer>

#include <memory>

class QComboBox;
class QLineEdit;
class QPushButton;
class QTreeWidget;
class QTreeWidgetItem;

namespace ostrel {

class MessageSink;
class ScaleLibrary;
class SettingsHolder;

class CConfigDlg final : public QDialog
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(CConfigDlg)

public:
    static constexpr int kConfigFileLabelId = 1014;
    static constexpr int kConfigFileId = 1016;
    static constexpr int kBrowserId = 1012;
    static constexpr int kScaleListId = 1017;
    static constexpr int kAddId = 1018;
    static constexpr int kEditId = 1019;
    static constexpr int kDeleteId = 1020;
    static constexpr int kSaveId = 1021;
    static constexpr int kCycleLabelId = 1037;
    static constexpr int kCycleId = 1038;
    static constexpr int kIntervalId = 1040;
    static constexpr int kScanId = 1084;
    static constexpr int kConnectionTestId = 1085;
    static constexpr int kDecimalPointId = 1090;

    enum Column
    {
        CheckColumn,
        IpColumn,
        ConnectionColumn,
        PortColumn,
        NameColumn,
        ModelColumn,
        VersionColumn
    };

    static constexpr const char* kListFullMessage =
        "The scale list is full: at most 100 scales can be registered.";

    CConfigDlg(SettingsPaths paths, SettingsHolder& holder, MessageSink& messages,
               QWidget* parent = nullptr);
    ~CConfigDlg() override;

    // The window's load: its fields from Tarvik.ini and the holder's scale list.
    void Load();
    // Shows the list as the holder has it now.
    void showScaleList();

    void OnAdd();
    void OnEdit();
    void OnDelete();
    void OnSave();
    void OnCancel();
    // "Scan": the button rests for 5 s; the list is emptied and the scales that answer the
    // broadcast fill it. "Connection Test": every row is asked for its information.
    void OnScan();
    void OnConnectionTest();

    // The scan and the test need the scale library and the engine's ConnectProcessScale
    // (called on the query worker's thread), and refuse while runBusy() says a run sends.
    // Without this, both buttons do nothing.
    void attachDiscovery(ScaleLibrary& library, ScaleQueryWorker::ConnectScale connectScale,
                         std::function<bool()> runBusy, ScaleQueryPauses pauses = {});
    ScaleDiscovery* discovery() const { return m_discovery.get(); }
    static constexpr int kScanRestMs = 5000;
    // How long the test's answers get once the last query was sent, before a blank row says
    // "No answer": longer than the scale link's connect and answer time limits.
    static constexpr int kAnswerWaitMs = 5000;

    // The window opens: what the last scan or test found is old news.
    void clearConnections();

    QTreeWidget* scaleList() const { return m_list; }

    // Cancel and Escape: ask for the reload, then hide.
    void reject() override;

signals:
    // MSG_RELOAD_SETTINGS: reload, restart the timer, clear the window-open flag.
    void reloadSettingsRequested();

protected:
    void closeEvent(QCloseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    void endScanRest();
    void endAnswerWait();
    void fillCycleList();
    void toggleChecks();
    void checkChanged(QTreeWidgetItem* item, int column);
    int selectedRow() const;

    SettingsPaths m_paths;
    SettingsHolder& m_holder;
    MessageSink& m_messages;
    QLineEdit* m_configFile = nullptr;
    QTreeWidget* m_list = nullptr;
    QComboBox* m_cycle = nullptr;
    QLineEdit* m_interval = nullptr;
    QComboBox* m_decimalPoint = nullptr;
    QPushButton* m_scan = nullptr;
    QTimer* m_scanRest = new QTimer(this);   // Scan rests after each click
    QTimer* m_answerWait = new QTimer(this); // the test's answers get their time
    // Answers from the library's and the query worker's threads reach the list through here.
    EventLoopCalls* m_calls = new EventLoopCalls(this);
    std::unique_ptr<ScaleDiscovery> m_discovery;
    bool m_showing = false; // the list is being rebuilt: check changes are not the user's
};

} // namespace ostrel
