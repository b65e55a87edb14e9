// The desktop program's main window, tray menu and triggers, driven as a user and other
// programs drive them: menu clicks, the About window, close requests, copy-data messages.
#include "GuiTestSupport.h"

#include "app/CUpdaterApp.h"
#include "platform/Registry.h"
#include "ui/settings/CConfigDlg.h"
#include "ui/shell/CAboutDlg.h"
#include "ui/shell/CNoTrayDlg.h"
#include "ui/shell/DialogUnits.h"

#include <QLabel>
#include <QProgressBar>
#include <QSignalSpy>
#include <QtTest>

#include <atomic>
#include <thread>

namespace ostrel {

using test::chooseMenuItem;
using test::clickButton;
using test::TrayProgram;
using test::whenModal;

class TrayProgramTest final : public QObject
{
    Q_OBJECT

private slots:
    void menuHasItsItemsInOrderWithTheirIds()
    {
        TrayProgram program;
        QMenu& menu = program.start().trayIcon().menu();
        QCOMPARE(program.mainDlg->trayIcon().icon().toolTip(), QStringLiteral("Ostrel"));
        QCOMPARE(program.mainDlg->trayIcon().icon().contextMenu(), &menu);

        const QList<QAction*> actions = menu.actions();
        QCOMPARE(actions.size(), 7);
        const QStringList texts{
            "Configuration", "PLU File Setting", "About", "", "Direct Download", "", "Exit"};
        const QList<int> ids{32773, 32774, 32775, 0, 32776, 0, 65535};
        for (int i = 0; i < actions.size(); ++i) {
            QCOMPARE(actions[i]->isSeparator(), texts[i].isEmpty());
            if (!actions[i]->isSeparator()) {
                QCOMPARE(actions[i]->text(), texts[i]);
                QCOMPARE(actions[i]->property(CTrayIcon::kCommandIdProperty).toInt(), ids[i]);
            }
        }
        // A left click shows nothing.
        emit program.mainDlg->trayIcon().icon().activated(QSystemTrayIcon::Trigger);
        QCoreApplication::processEvents();
        for (QWidget* window : QApplication::topLevelWidgets()) {
            QVERIFY2(!window->isVisible() || window == &menu, qPrintable(window->objectName()));
        }

        // Texts are given again each time the menu opens.
        actions[0]->setText(QStringLiteral("Config"));
        menu.popup(QPoint(10, 10));
        QCOMPARE(actions[0]->text(), QStringLiteral("Configuration"));
        menu.hide();
    }

    void withoutATrayTheOstrelWindowStandsInForIt()
    {
        TrayProgram program;
        program.trayThere = false;
        CMainDlg& mainDlg = program.start();
        CNoTrayDlg& window = mainDlg.noTrayDlg();
        QVERIFY(window.isVisible());
        QCOMPARE(window.windowTitle(), QStringLiteral("Ostrel"));
        QVERIFY(window.parentWidget() == nullptr); // a window of its own, in the task bar
        // The menu's commands, in its order and with its ids.
        const QList<QPair<const char*, QString>> buttons{
            {"configurationButton", "Configuration"},
            {"pluFileSettingButton", "PLU File Setting"},
            {"aboutButton", "About"},
            {"directDownloadButton", "Direct Download"},
            {"exitButton", "Exit"}};
        const QList<int> ids{32773, 32774, 32775, 32776, 65535};
        int lastTop = -1;
        for (int i = 0; i < buttons.size(); ++i) {
            auto* button = window.findChild<QPushButton*>(buttons[i].first);
            QVERIFY2(button != nullptr, buttons[i].first);
            QCOMPARE(button->text(), buttons[i].second);
            QCOMPARE(button->property("controlId").toInt(), ids[i]);
            QVERIFY(button->geometry().top() > lastTop);
            QVERIFY(window.rect().contains(button->geometry()));
            lastTop = button->geometry().top();
        }
        auto* note = window.findChild<QLabel*>("backgroundNote");
        QVERIFY(note->text().contains(QStringLiteral("keeps running in the background")));
        auto* status = window.findChild<QLabel*>("statusText");
        QCOMPARE(status->text(), mainDlg.trayStatus().toolTip());

        // Configuration and PLU File Setting open from the buttons.
        clickButton(&window, "configurationButton");
        QTRY_VERIFY(mainDlg.configDlg()->isVisible());
        clickButton(mainDlg.configDlg(), "cancelButton");
        QVERIFY(!mainDlg.configDlg()->isVisible());
        QString modalTitle;
        whenModal([&](QWidget* modal) {
            modalTitle = modal->windowTitle();
            qobject_cast<QDialog*>(modal)->reject();
        });
        clickButton(&window, "pluFileSettingButton");
        QCOMPARE(modalTitle, QStringLiteral("Select"));

        // Direct Download answers in the window's status, as in the tooltip.
        clickButton(&window, "directDownloadButton");
        QVERIFY(status->text().contains(QStringLiteral("Nothing to send")));
        QCOMPARE(status->text(), mainDlg.trayStatus().toolTip());

        // A tray comes: the icon takes over; it goes: the window is back.
        program.trayThere = true;
        mainDlg.checkTray();
        QVERIFY(!window.isVisible());
        program.trayThere = false;
        mainDlg.checkTray();
        QVERIFY(window.isVisible());

        // Closed, the program runs on; a second start brings the window back.
        QTest::keyClick(&window, Qt::Key_Escape);
        QVERIFY(!window.isVisible());
        QVERIFY(!mainDlg.hasEnded());
        mainDlg.showWayIn();
        QVERIFY(window.isVisible());
        QSignalSpy ended(&mainDlg, &CMainDlg::ended);
        clickButton(&window, "exitButton");
        QCOMPARE(ended.count(), 1);
        QVERIFY(!window.isVisible());
    }

    void noScaleMessageComesWithTheIconInPlace()
    {
        TrayProgram program;
        program.writeSettings({});
        bool iconShown = false;
        program.sink.probe = [&] {
            iconShown = program.mainDlg && program.mainDlg->trayIcon().icon().isVisible();
        };
        program.start();

        const auto messages = program.sink.recorder.messages();
        QCOMPARE(messages.size(), std::size_t{1});
        QCOMPARE(messages[0].text,
                 std::string("There is no scale! Please register scales at Config Menu."));
        QCOMPARE(messages[0].caption, std::string("Tarvik"));
        QVERIFY(iconShown);
        // The program keeps running, its timer started.
        QVERIFY(!program.mainDlg->hasEnded());
        QCOMPARE(program.timer.events().back(), std::string("restart 300000"));
    }

    void directDownloadWhileAboutIsOpenStartsNoRun()
    {
        TrayProgram program;
        program.start();
        program.writeData("PLU1.TXT", {"1,101,Apple,120"});
        QVERIFY(!program.runStarted());

        QSignalSpy commands(&program.mainDlg->trayIcon(), &CTrayIcon::commandChosen);
        bool flagWhileOpen = false;
        QString caption;
        bool flagAfterSecondClosed = false;
        whenModal([&](QWidget* modal) {
            caption = modal->windowTitle();
            flagWhileOpen = program.mainDlg->controller().windowOpen();
            // A second About from the menu: closing it leaves the first one holding the flag.
            whenModal([](QWidget* second) { clickButton(second, "okButton"); }, modal);
            chooseMenuItem(program.menu(), "aboutAction");
            flagAfterSecondClosed = program.mainDlg->controller().windowOpen();
            chooseMenuItem(program.menu(), "directDownloadAction");
            program.mainDlg->OnTimer();
            clickButton(modal, "okButton");
        });
        QVERIFY(chooseMenuItem(program.menu(), "aboutAction"));
        QCOMPARE(caption, QStringLiteral("Ostrel Information"));
        QVERIFY(flagWhileOpen);
        QVERIFY(flagAfterSecondClosed);
        // The command did arrive (the spy hears each About only after its window closed), and
        // was refused.
        QCOMPARE(commands.count(), 3);
        QCOMPARE(commands[1][0].toInt(), 32776);
        QVERIFY(!program.runStarted());
        QVERIFY(!program.mainDlg->controller().windowOpen());

        // Closed again, the next Direct Download runs.
        QVERIFY(chooseMenuItem(program.menu(), "directDownloadAction"));
        QVERIFY(program.runStarted());
        program.library.pump();
        QTRY_VERIFY(!program.mainDlg->controller().runBusy());
    }

    void reloadMessageRestartsTheTimerAndClearsTheFlag()
    {
        TrayProgram program;
        program.start();
        program.mainDlg->controller().setWindowOpen(true);
        program.timer.clear();
        program.mainDlg->OnReloadSettings();
        QVERIFY(!program.mainDlg->controller().windowOpen());
        QCOMPARE(program.timer.events(), std::vector<std::string>{"restart 300000"});
    }

    void connectScaleMessageOpensTheTestedScale()
    {
        TrayProgram program;
        program.start();
        program.library.clearCalls();
        QCOMPARE(program.mainDlg->OnConnectScale("127.0.0.9", 5009, 7100), 1);
        const auto calls = program.library.calls();
        QCOMPARE(calls.size(), std::size_t{2});
        QVERIFY(calls[0].rfind("AddProcConnectionEx 1 [127.0.0.9] 5009 100 7100", 0) == 0);
        QCOMPARE(calls[1], std::string("Connect [127.0.0.9] -1"));
    }

    void closeRequestHidesAndTheProgramRunsOn()
    {
        TrayProgram program;
        CMainDlg& mainDlg = program.start();
        QVERIFY(mainDlg.progress().existing() != nullptr);
        mainDlg.show(); // never becomes visible
        QVERIFY(!mainDlg.isVisible());

        QSignalSpy ended(&mainDlg, &CMainDlg::ended);
        QVERIFY(!mainDlg.close());
        QVERIFY(!mainDlg.isVisible());
        QCOMPARE(ended.count(), 0);
        QVERIFY(mainDlg.trayIcon().icon().isVisible());
        QVERIFY(mainDlg.progress().existing() == nullptr);

        // The next run makes its progress window again and shows it.
        program.writeData("PLU1.TXT", {"1,101,Apple,120", "1,102,Pear,80"});
        QVERIFY(chooseMenuItem(program.menu(), "directDownloadAction"));
        QTRY_VERIFY(mainDlg.progress().existing() != nullptr &&
                    mainDlg.progress().existing()->isVisible());
        QVERIFY(program.runStarted());
        program.library.pump();
        QTRY_VERIFY(!mainDlg.controller().runBusy());
        QTRY_VERIFY(!mainDlg.progress().existing()->isVisible());
    }

    void exitRemovesTheIconWritesTheRegistryValueAndEnds()
    {
        TrayProgram program;
        const std::string registry = program.dir.file("VEK/registry.ini");
        const test::ScopedEnv env("OSTREL_REGISTRY", registry);
        CMainDlg& mainDlg = program.start();
        QSignalSpy ended(&mainDlg, &CMainDlg::ended);

        QVERIFY(chooseMenuItem(program.menu(), "exitAction"));
        QCOMPARE(ended.count(), 1);
        QVERIFY(mainDlg.hasEnded());
        QVERIFY(!mainDlg.trayIcon().icon().isVisible());
        QCOMPARE(test::readFile(registry), std::string("[SOFTWARE\\VEK\\VEKAPP]\nUpdate201012=\n"));
    }

    void runShowsItsProgressAndCompletes()
    {
        TrayProgram program;
        CMainDlg& mainDlg = program.start();
        program.writeData("PLU1.TXT", {"1,101,Apple,120", "1,102,Pear,80", "1,103,Plum,99"});
        mainDlg.OnTimer();
        CProgressDlg* dialog = mainDlg.progress().existing();
        QTRY_VERIFY(dialog->isVisible());
        QCOMPARE(dialog->bar()->maximum(), 3);
        QCOMPARE(dialog->status()->text(), QStringLiteral("PLU Updating..."));

        QSignalSpy shown(dialog, &CProgressDlg::completionShown);
        QVERIFY(program.runStarted());
        program.library.pump();
        QTRY_COMPARE(dialog->status()->text(), QStringLiteral("Complete!!"));
        QCOMPARE(dialog->bar()->value(), 3);
        QVERIFY(shown.wait(5000));
        QVERIFY(!dialog->isVisible());
        QCOMPARE(dialog->bar()->value(), 0);
    }

    void progressNamesTheFileAndEachScalesRecords()
    {
        TrayProgram program;
        program.writeSettings({TrayProgram::kScale, {"127.0.0.3", 5002}, {"127.0.0.4", 5003}},
                              "[CYCLE]\nDecimal Point=2\n[IPNAME]\n127.000.000.002=Deli counter\n"
                              "127.000.000.003=Bakery\n127.000.000.004=Fish\n");
        CMainDlg& mainDlg = program.start();
        program.library.setUnreachable("127.0.0.4");
        program.writeData("PLU1.TXT", {"1,101,Apple,120", "1,102,Pear,80"});
        mainDlg.OnTimer();
        CProgressDlg* dialog = mainDlg.progress().existing();
        QTRY_VERIFY(dialog->isVisible());
        const int plainHeight = DialogUnits(dialog->font()).y(42);
        QVERIFY(program.runStarted());
        QTRY_COMPARE(dialog->details()->text(),
                     QStringLiteral("File PLU1.TXT: 2 lines\n"
                                    "Deli counter: 0 of 2 records\n"
                                    "Bakery: 0 of 2 records\n"
                                    "Fish: failed (connection refused)"));
        QCOMPARE(dialog->status()->text(), QStringLiteral("PLU Updating..."));
        // The window grows by the four lines and none of them is cut off.
        QVERIFY(dialog->height() > plainHeight);
        QVERIFY(dialog->rect().contains(dialog->details()->geometry()));
        QVERIFY(dialog->details()->geometry().top() >= dialog->status()->geometry().bottom());
        QCOMPARE(dialog->details()->property("controlId").toInt(), CProgressDlg::kDetailsId);

        // "Complete!!" comes with the final counts.
        program.library.pump();
        QTRY_COMPARE(dialog->status()->text(), QStringLiteral("Complete!!"));
        QVERIFY(dialog->details()->text().contains(QStringLiteral("Bakery: 2 of 2 records, done")));
    }

    void instanceMessagesStartRunsAndEndTheProgram()
    {
        TrayProgram program;
        const test::ScopedEnv env("OSTREL_REGISTRY", program.dir.file("registry.ini"));
        const InstancePaths instance{QString::fromStdString(program.dir.file("ostrel.lock")),
                                     QString::fromStdString(program.dir.file("ostrel.socket"))};
        CUpdaterApp app(instance, program.paths,
                        {program.library, program.sink, program.clock, [] { return true; }});
        QCOMPARE(app.InitInstance(), CUpdaterApp::Start::Running);
        CMainDlg& mainDlg = *app.mainDlg();

        auto send = [&](const InstanceMessage& message) {
            std::atomic<bool> done{false};
            bool sent = false;
            std::thread sender([&] {
                sent = sendToRunningInstance(instance, message, 5000, nullptr);
                done = true;
            });
            // The running instance answers from this thread's event loop.
            const bool finished = QTest::qWaitFor([&] { return done.load(); }, 20000);
            sender.join();
            return finished && sent;
        };

        // 82: a run on the settings already loaded.
        program.writeData("PLU1.TXT", {"1,101,Apple,120"});
        QVERIFY(send(InstanceMessage::copyData(82)));
        QTRY_VERIFY(program.runStarted(&mainDlg));
        program.library.pump();
        QTRY_VERIFY(!mainDlg.controller().runBusy());

        // 1094: the settings are read again first, so a scale added meanwhile is sent to.
        mainDlg.close(); // the progress window is gone until 1094 makes it again
        program.library.clearCalls();
        const test::ScaleConfig added{"127.0.0.3", 5002};
        program.writeSettings({TrayProgram::kScale, added});
        program.writeData("PLU2.TXT", {"1,104,Fig,300"});
        QVERIFY(send(InstanceMessage::copyData(1094)));
        QTRY_VERIFY(program.runStarted(&mainDlg));
        const auto calls = program.library.calls();
        QVERIFY(std::find(calls.begin(), calls.end(), "CheckIp2 1 127.0.0.3 5002") != calls.end());
        QVERIFY(mainDlg.progress().existing() != nullptr);
        program.library.pump();
        QTRY_VERIFY(!mainDlg.controller().runBusy());

        // The desktop entry's actions and a second start from the menu open the windows.
        QVERIFY(send(InstanceMessage::configure()));
        QTRY_VERIFY(mainDlg.configDlg()->isVisible());
        clickButton(mainDlg.configDlg(), "cancelButton");
        QVERIFY(send(InstanceMessage::show()));
        QTRY_VERIFY(mainDlg.configDlg()->isVisible()); // with a tray: Configuration
        clickButton(mainDlg.configDlg(), "cancelButton");
        QVERIFY(!mainDlg.noTrayDlg().isVisible());

        // Any other code does nothing; exit ends the program.
        program.library.clearCalls();
        program.writeData("PLU3.TXT", {"1,105,Kiwi,50"});
        QVERIFY(send(InstanceMessage::copyData(83)));
        QVERIFY(send(InstanceMessage::exit()));
        QTRY_VERIFY(mainDlg.hasEnded());
        QVERIFY(!program.runStarted(&mainDlg));
    }
};

int runTrayProgramTest(int argc, char** argv)
{
    TrayProgramTest test;
    return QTest::qExec(&test, argc, argv);
}

} // namespace ostrel

#include "TrayProgramTest.moc"
