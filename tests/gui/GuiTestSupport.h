// Helpers for the widget tests: choosing a menu item by clicking it, acting on the modal
// window that the next step opens, and the desktop program's main window over a scripted
// scale library in a scratch documents folder.
#pragma once

#include "../engine/FakeScaleLibrary.h"
#include "../engine/RunTestSupport.h"

#include "platform/MessageBox.h"
#include "ui/shell/CMainDlg.h"

#include <QApplication>
#include <QMenu>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include <functional>
#include <memory>

namespace ostrel::test {

// Opens the menu and clicks the item with this object name; false when it cannot.
inline bool chooseMenuItem(QMenu& menu, const char* objectName)
{
    QAction* action = menu.findChild<QAction*>(QString::fromLatin1(objectName));
    if (action == nullptr) {
        return false;
    }
    menu.popup(QPoint(20, 20));
    if (!QTest::qWaitForWindowExposed(&menu)) {
        return false;
    }
    const QPoint centre = menu.actionGeometry(action).center();
    QTest::mouseMove(&menu, centre);
    QTest::mouseClick(&menu, Qt::LeftButton, {}, centre);
    return true;
}

// Runs `act` on the modal window as soon as the next step has opened one (the step itself
// blocks in that window's event loop); a window already open is given as `other`. `act` must
// close the window.
inline void whenModal(std::function<void(QWidget*)> act, QWidget* other = nullptr)
{
    auto poll = std::make_shared<std::function<void()>>();
    *poll = [poll, act = std::move(act), other] {
        if (QWidget* modal = QApplication::activeModalWidget();
            modal != nullptr && modal != other) {
            act(modal);
            *poll = nullptr; // breaks the cycle
            return;
        }
        QTimer::singleShot(10, *poll);
    };
    QTimer::singleShot(0, *poll);
}

inline void clickButton(QWidget* window, const char* objectName)
{
    if (auto* button = window->findChild<QPushButton*>(QString::fromLatin1(objectName))) {
        QTest::mouseClick(button, Qt::LeftButton);
    }
}

// A message sink that notes something about the program at the moment a message shows.
class ProbingMessageSink final : public MessageSink
{
public:
    using MessageSink::ShowMessage;
    MessageAnswer ShowMessage(const std::string& text, const std::string& caption, MessageIcon icon,
                              MessageButtons buttons) override
    {
        if (probe) {
            probe();
        }
        return recorder.ShowMessage(text, caption, icon, buttons);
    }

    RecordingMessageSink recorder;
    std::function<void()> probe;
};

// The main window over a scripted library, with one scale registered and no data file yet.
class TrayProgram : public RunFolder
{
public:
    static inline const ScaleConfig kScale{"127.0.0.2", 5001, "QV7100", "1.23.4,1.5,2", "A"};

    TrayProgram() { writeSettings({kScale}); }

    CMainDlg& start()
    {
        mainDlg = std::make_unique<CMainDlg>(CMainDlg::Dependencies{
            paths, library, sink, timer, clock, [this] { return trayThere; }});
        mainDlg->OnCreate();
        mainDlg->OnInitDialog();
        return *mainDlg;
    }

    // The scales open on workers of their own: their calls are all made once these end.
    bool runStarted() { return runStarted(mainDlg.get()); }

    // For a main window that this fixture does not own, such as the one of a whole program.
    bool runStarted(CMainDlg* running)
    {
        if (running != nullptr) {
            running->controller().waitForOpening();
        }
        for (const auto& call : library.calls()) {
            if (call.rfind("CheckIp2", 0) == 0) {
                return true;
            }
        }
        return false;
    }

    QMenu& menu() { return mainDlg->trayIcon().menu(); }

    FakeScaleLibrary library;
    ProbingMessageSink sink;
    bool trayThere = true; // what the main window finds when it looks for a tray
    std::unique_ptr<CMainDlg> mainDlg;
};

} // namespace ostrel::test
