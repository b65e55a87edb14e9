// The configuration window and the scale input window, clicked through the real widgets: the
// list rules with their messages, the header click, the cycle box, Save, Cancel and close with
// the reload they ask for, and a whole run to simulated scales registered through the window.
#include "GuiTestSupport.h"

#include "protocol/TcpScaleLibrary.h"
#include "settings/ScaleInput.h"
#include "settings/ScaleList.h"
#include "settings/SettingsHolder.h"
#include "ui/settings/CConfigDlg.h"
#include "ui/settings/CScaleInputDlg.h"
#include "ui/settings/IpAddressEdit.h"

#include "SimChildProcess.h"

#include <QComboBox>
#include <QHeaderView>
#include <QLineEdit>
#include <QTreeWidget>
#include <QtTest>

#include "SimStoreReader.h"

namespace ostrel {

using test::chooseMenuItem;
using test::clickButton;
using test::receivedPlus;
using test::TrayProgram;
using test::whenModal;

namespace {

// Types the scale into the input window that the next step opens, then clicks OK.
void enterScale(const QString& address, const QString& port, const QString& name,
                const QString& model = QString())
{
    whenModal([=](QWidget* window) {
        auto* input = qobject_cast<CScaleInputDlg*>(window);
        if (input == nullptr) {
            window->close();
            return;
        }
        input->findChild<IpAddressEdit*>("ipAddress")->setAddress(address);
        input->findChild<QLineEdit*>("portEdit")->setText(port);
        input->findChild<QLineEdit*>("nameEdit")->setText(name);
        if (!model.isEmpty()) {
            input->findChild<QComboBox*>("modelBox")->setEditText(model);
        }
        clickButton(input, "okButton");
    });
}

QStringList column(QTreeWidget* list, int index)
{
    QStringList texts;
    for (int row = 0; row < list->topLevelItemCount(); ++row) {
        texts << list->topLevelItem(row)->text(index);
    }
    return texts;
}

} // namespace

class ConfigWindowTest final : public QObject
{
    Q_OBJECT

private slots:
    void opensWithItsControlsAndTheStoredScales()
    {
        TrayProgram program;
        program.start();
        QVERIFY(chooseMenuItem(program.menu(), "configurationAction"));
        CConfigDlg* config = program.mainDlg->configDlg();
        QTRY_VERIFY(config->isVisible());
        QCOMPARE(config->windowTitle(), QStringLiteral("Configuration"));
        QVERIFY(program.mainDlg->controller().windowOpen());
        QVERIFY(!config->findChild<QLineEdit*>("configFileEdit")->isEnabled());
        QVERIFY(config->findChild<QPushButton*>("browserButton")->isHidden());
        const std::vector<std::pair<const char*, int>> ids{{"configFileLabel", 1014},
                                                           {"configFileEdit", 1016},
                                                           {"browserButton", 1012},
                                                           {"scaleList", 1017},
                                                           {"addButton", 1018},
                                                           {"editButton", 1019},
                                                           {"deleteButton", 1020},
                                                           {"saveButton", 1021},
                                                           {"updateCycleLabel", 1037},
                                                           {"updateCycleBox", 1038},
                                                           {"updateIntervalEdit", 1040},
                                                           {"scanButton", 1084},
                                                           {"connectionTestButton", 1085},
                                                           {"decimalPointBox", 1090}};
        for (const auto& [name, id] : ids) {
            const QWidget* control = config->findChild<QWidget*>(QString::fromLatin1(name));
            QVERIFY2(control != nullptr, name);
            QCOMPARE(control->property("controlId").toInt(), id);
        }
        QTreeWidget* list = config->scaleList();
        QCOMPARE(list->columnCount(), 7);
        QCOMPARE(list->headerItem()->text(2), QStringLiteral("Connection"));
        QCOMPARE(column(list, CConfigDlg::IpColumn), QStringList{"127.0.0.2"});
        QCOMPARE(column(list, CConfigDlg::PortColumn), QStringList{"5001"});
        QCOMPARE(config->findChild<QComboBox*>("updateCycleBox")->currentText(),
                 QStringLiteral("minutes"));
        QCOMPARE(config->findChild<QComboBox*>("decimalPointBox")->currentText(),
                 QStringLiteral("2"));

        // Direct Download is refused while the window is open.
        program.writeData("PLU1.TXT", {"1,101,Apple,120"});
        QVERIFY(chooseMenuItem(program.menu(), "directDownloadAction"));
        QVERIFY(!program.runStarted());

        // Enter does nothing: the window stays, and so does the flag.
        QTest::keyClick(config, Qt::Key_Return);
        QVERIFY(config->isVisible());
        QVERIFY(program.mainDlg->controller().windowOpen());

        // Cancel hides, reloads, restarts the timer and clears the flag; the run goes now.
        program.timer.clear();
        clickButton(config, "cancelButton");
        QVERIFY(!config->isVisible());
        QVERIFY(!program.mainDlg->controller().windowOpen());
        QCOMPARE(program.timer.events(), std::vector<std::string>{"restart 300000"});
        QVERIFY(chooseMenuItem(program.menu(), "directDownloadAction"));
        QVERIFY(program.runStarted());
        program.library.pump();
        QTRY_VERIFY(!program.mainDlg->controller().runBusy());
    }

    void scanAndTestWaitForARunThatIsSending()
    {
        TrayProgram program;
        program.start();
        program.writeData("PLU1.TXT", {"1,101,Apple,120"});
        QVERIFY(chooseMenuItem(program.menu(), "directDownloadAction"));
        QVERIFY(program.runStarted());
        program.mainDlg->OnCommand(Command::Configuration); // the menu may still be closing
        CConfigDlg* config = program.mainDlg->configDlg();
        QTRY_VERIFY(config->isVisible());

        clickButton(config, "scanButton");
        clickButton(config, "connectionTestButton");
        const auto messages = program.sink.recorder.messages();
        QCOMPARE(messages.size(), std::size_t{2});
        QCOMPARE(messages.back().text, std::string(ScaleDiscovery::kRunBusyMessage));
        QVERIFY(config->findChild<QPushButton*>("scanButton")->isEnabled());
        QCOMPARE(config->scaleList()->topLevelItemCount(), 1);
        SettingsHolder& holder = program.mainDlg->controller().settingsHolder();
        QCOMPARE(holder.runMode(), RunMode::Update);

        // The run's replies still reach it, and it ends.
        program.library.pump();
        QTRY_VERIFY(!program.mainDlg->controller().runBusy());
        QCOMPARE(program.library.sent().size(), std::size_t{1});
    }

    void closeRequestReloadsTwiceAndClearsTheFlag()
    {
        TrayProgram program;
        program.start();
        QVERIFY(chooseMenuItem(program.menu(), "configurationAction"));
        CConfigDlg* config = program.mainDlg->configDlg();
        QSignalSpy reloads(config, &CConfigDlg::reloadSettingsRequested);
        program.timer.clear();
        config->close();
        QVERIFY(!config->isVisible());
        QCOMPARE(reloads.count(), 2);
        QCOMPARE(program.timer.events(),
                 (std::vector<std::string>{"restart 300000", "restart 300000"}));
        QVERIFY(!program.mainDlg->controller().windowOpen());
    }

    void addEditAndTheSameIpRule()
    {
        TrayProgram program;
        program.start();
        CConfigDlg* config = program.mainDlg->configDlg();
        config->show();
        QTreeWidget* list = config->scaleList();

        enterScale("127.0.0.3", "5002", "Deli", "QV7600");
        clickButton(config, "addButton");
        QCOMPARE(column(list, CConfigDlg::IpColumn), (QStringList{"127.0.0.2", "127.0.0.3"}));
        QCOMPARE(column(list, CConfigDlg::ModelColumn), (QStringList{"QV7100", "QV7600"}));

        // The padded forms are equal: refused.
        enterScale("127.000.000.003", "5009", "Copy");
        clickButton(config, "addButton");
        QCOMPARE(list->topLevelItemCount(), 2);
        const auto messages = program.sink.recorder.messages();
        QCOMPARE(messages.back().text, std::string("There is a same IP"));
        QCOMPARE(messages.back().icon, MessageIcon::Warning);

        // Edit of the row keeping its own address is accepted; taking another's is not.
        list->setCurrentItem(list->topLevelItem(1));
        enterScale("127.0.0.3", "40000", "Meat");
        clickButton(config, "editButton");
        QCOMPARE(column(list, CConfigDlg::PortColumn), (QStringList{"5001", "40000"}));
        QCOMPARE(column(list, CConfigDlg::NameColumn), (QStringList{"", "Meat"}));
        program.sink.recorder.clear();
        list->setCurrentItem(list->topLevelItem(1));
        enterScale("127.0.0.2", "1", "Clash");
        clickButton(config, "editButton");
        QCOMPARE(column(list, CConfigDlg::NameColumn), (QStringList{"", "Meat"}));
        QCOMPARE(program.sink.recorder.messages().size(), std::size_t{1});
    }

    void scaleInputRefusesAnAddressItCannotReach()
    {
        RecordingMessageSink sink;
        CScaleInputDlg input(sink);
        input.open({"10.0.0.1", "20304", "", "TZ47", "1.2.3,4,5"}, true);
        QCOMPARE(input.findChild<QComboBox*>("modelBox")->currentText(), QStringLiteral("QV7100"));
        QVERIFY(input.findChild<QLineEdit*>("versionEdit")->isHidden());
        input.findChild<IpAddressEdit*>("ipAddress")->field(2)->clear();
        input.accept();
        QCOMPARE(input.result(), int(QDialog::Rejected)); // still open
        QCOMPARE(sink.messages().back().text, std::string(kIncompleteAddressMessage));

        input.findChild<IpAddressEdit*>("ipAddress")->setAddress("10.0.000.1");
        input.findChild<QLineEdit*>("portEdit")->setText("0");
        input.accept();
        QCOMPARE(sink.messages().back().text, std::string(kBadPortMessage));

        input.findChild<QLineEdit*>("portEdit")->setText("65535");
        input.findChild<QComboBox*>("modelBox")->setEditText("QV9000");
        input.accept();
        QCOMPARE(input.result(), int(QDialog::Accepted));
        QCOMPARE(input.texts().address, std::string("10.0.0.1"));
        QCOMPARE(input.texts().model, std::string("QV9000")); // typed, kept as typed
        QCOMPARE(input.texts().version, std::string("1.2.3,4,5"));
    }

    void deleteChecksAndHeaderClick()
    {
        TrayProgram program;
        program.writeSettings({{"10.0.0.1", 1}, {"10.0.0.2", 2}, {"10.0.0.3", 3}});
        program.start();
        CConfigDlg* config = program.mainDlg->configDlg();
        config->show();
        QTreeWidget* list = config->scaleList();

        // Nothing checked: the message, and nothing goes.
        clickButton(config, "deleteButton");
        QCOMPARE(program.sink.recorder.messages().back().text, std::string("Please, Select an IP"));

        // The header click both ways.
        QTest::mouseClick(list->header()->viewport(), Qt::LeftButton, {},
                          QPoint(list->header()->sectionPosition(3) + 5, 5));
        QCOMPARE(program.mainDlg->controller().settingsHolder().scaleTable().checkedCount(), 3u);
        QTest::mouseClick(list->header()->viewport(), Qt::LeftButton, {}, QPoint(5, 5));
        QCOMPARE(program.mainDlg->controller().settingsHolder().scaleTable().checkedCount(), 0u);

        // Two checked rows go, the selected third stays; No first keeps all three.
        list->topLevelItem(0)->setCheckState(0, Qt::Checked);
        list->topLevelItem(2)->setCheckState(0, Qt::Checked);
        list->setCurrentItem(list->topLevelItem(1));
        program.sink.recorder.setNextAnswer(MessageAnswer::No);
        clickButton(config, "deleteButton");
        QCOMPARE(list->topLevelItemCount(), 3);
        program.sink.recorder.setNextAnswer(MessageAnswer::Yes);
        clickButton(config, "deleteButton");
        QCOMPARE(program.sink.recorder.messages().back().text,
                 std::string("Do you want to delete the selected IP?"));
        QCOMPARE(column(list, CConfigDlg::IpColumn), QStringList{"10.0.0.2"});
    }

    void theHundredFirstAddIsRefused()
    {
        TrayProgram program;
        program.start();
        ScaleTable& table = program.mainDlg->controller().settingsHolder().scaleTable();
        for (int i = 2; table.size() < ScaleTable::kMaxRows; ++i) {
            table.add({"10.1.0." + std::to_string(i), "1", "", "", ""});
        }
        CConfigDlg* config = program.mainDlg->configDlg();
        config->OnAdd(); // no input window opens: the message comes first
        QCOMPARE(program.sink.recorder.messages().back().text,
                 std::string(CConfigDlg::kListFullMessage));
        QCOMPARE(table.size(), ScaleTable::kMaxRows);
    }

    void typedCycleWordRevertsToTheStoredCycle()
    {
        TrayProgram program;
        program.start();
        CConfigDlg* config = program.mainDlg->configDlg();
        config->show();
        auto* cycle = config->findChild<QComboBox*>("updateCycleBox");
        cycle->lineEdit()->selectAll();
        QTest::keyClicks(cycle->lineEdit(), "weeks");
        QCOMPARE(cycle->currentText(), QStringLiteral("minutes"));
        QCOMPARE(cycle->count(), 3);
    }

    void saveWritesTheFormAndTheListThenReloads()
    {
        TrayProgram program;
        program.start();
        CConfigDlg* config = program.mainDlg->configDlg();
        QVERIFY(chooseMenuItem(program.menu(), "configurationAction"));
        config->findChild<QLineEdit*>("updateIntervalEdit")->clear();
        clickButton(config, "saveButton");
        QCOMPARE(program.sink.recorder.messages().back().text, std::string("Check data!"));
        QCOMPARE(program.sink.recorder.messages().back().caption, std::string("Warning"));
        QVERIFY(config->isVisible());

        config->findChild<QLineEdit*>("updateIntervalEdit")->setText("7");
        enterScale("127.0.0.9", "40000", "Fish");
        config->OnAdd();
        program.timer.clear();
        clickButton(config, "saveButton");
        QCOMPARE(program.sink.recorder.messages().back().text, std::string("Save is completed!"));
        QVERIFY(!config->isVisible());
        QVERIFY(!program.mainDlg->controller().windowOpen());
        QCOMPARE(program.timer.events(), std::vector<std::string>{"restart 420000"});
        const auto rows = readScaleListForWindow(program.paths.tarvikIni);
        QCOMPARE(rows.size(), std::size_t{2});
        QCOMPARE(rows[1].address, std::string("127.0.0.9"));
        QCOMPARE(rows[1].value.port, std::uint16_t{40000});
        QCOMPARE(rows[1].name, std::string("Fish"));
        QCOMPARE(program.mainDlg->controller().scaleCount(), 2);
    }

    void scalesRegisteredInTheWindowGetTheNextFile()
    {
        sim::SimChildProcess simulator({"--no-scan", "--db", m_dir.file("sim.sqlite"), "--scale",
                                        "127.0.0.2:0", "--scale", "127.0.0.3:0:QV7600"});
        test::RunFolder folder;
        folder.writeSettings({});
        test::writeFile(folder.paths.pluIdIni, "[PLU ID]\nID01=0001\nID02=0002\nID03=0010\n");
        TcpScaleLibrary library{TcpScaleLibraryOptions{}};
        RecordingMessageSink sink;
        CMainDlg mainDlg({folder.paths, library, sink, folder.timer, folder.clock});
        mainDlg.OnCreate();
        mainDlg.OnInitDialog();
        test::RunWaiter waiter;
        waiter.attach(mainDlg.controller());

        QVERIFY(chooseMenuItem(mainDlg.trayIcon().menu(), "configurationAction"));
        CConfigDlg* config = mainDlg.configDlg();
        enterScale("127.0.0.2", QString::number(simulator.scalePort(0)), "Deli");
        config->OnAdd();
        enterScale("127.0.0.3", QString::number(simulator.scalePort(1)), "Meat", "QV7600");
        config->OnAdd();
        clickButton(config, "saveButton");
        QVERIFY(!config->isVisible());

        folder.writeData("PLU1.TXT", {"1,101,Apple,120", "1,102,Pear,130"});
        mainDlg.OnTimer();
        QVERIFY(waiter.waitFor(1));
        for (const auto& scale :
             {std::string("127.0.0.2:") + std::to_string(simulator.scalePort(0)),
              std::string("127.0.0.3:") + std::to_string(simulator.scalePort(1))}) {
            QCOMPARE(receivedPlus(m_dir.file("sim.sqlite"), scale), (std::vector<int>{101, 102}));
        }
    }

private:
    test::TempDir m_dir;
};

int runConfigWindowTest(int argc, char** argv)
{
    ConfigWindowTest test;
    return QTest::qExec(&test, argc, argv);
}

} // namespace ostrel

#include "ConfigWindowTest.moc"
