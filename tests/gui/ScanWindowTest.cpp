// "Scan" and "Connection Test" of the configuration window against simulated scales on
// loopback: the broadcast goes to the simulator's loopback scan port through the test
// override, the answers fill the list, Save registers the scales and a run reaches them.
#include "GuiTestSupport.h"

#include "protocol/TcpScaleLibrary.h"
#include "settings/ScaleList.h"
#include "settings/SettingsHolder.h"
#include "ui/settings/CConfigDlg.h"

#include "SimChildProcess.h"

#include <QPushButton>
#include <QTimer>
#include <QTreeWidget>
#include <QtTest>

#include <algorithm>
#include <arpa/inet.h>
#include <netinet/in.h>
#include <sqlite3.h>
#include <sys/socket.h>
#include <unistd.h>

namespace ostrel {

using test::chooseMenuItem;
using test::clickButton;

namespace {

constexpr const char* kScanSettings = "[CYCLE]\nUpdate Cycle=minutes\nUpdate Interval=5\n"
                                      "Decimal Point=2\n[COMMUNICATION]\nSCAN PORT=0\n";

// The rows' text columns, one "ip port connection model version" line each, sorted: answers
// come in any order.
QStringList rowTexts(QTreeWidget* list)
{
    QStringList rows;
    for (int i = 0; i < list->topLevelItemCount(); ++i) {
        const QTreeWidgetItem* item = list->topLevelItem(i);
        rows << QStringList{item->text(CConfigDlg::IpColumn), item->text(CConfigDlg::PortColumn),
                            item->text(CConfigDlg::ConnectionColumn),
                            item->text(CConfigDlg::ModelColumn),
                            item->text(CConfigDlg::VersionColumn)}
                    .join(' ');
    }
    rows.sort();
    return rows;
}

int receivedCount(const std::string& database, const std::string& scale)
{
    int count = -1;
    sqlite3* db = nullptr;
    if (sqlite3_open_v2(database.c_str(), &db, SQLITE_OPEN_READONLY, nullptr) == SQLITE_OK) {
        sqlite3_stmt* statement = nullptr;
        sqlite3_prepare_v2(db, "SELECT count(*) FROM received WHERE scale = ?", -1, &statement,
                           nullptr);
        sqlite3_bind_text(statement, 1, scale.c_str(), -1, SQLITE_TRANSIENT);
        if (sqlite3_step(statement) == SQLITE_ROW) {
            count = sqlite3_column_int(statement, 0);
        }
        sqlite3_finalize(statement);
    }
    sqlite3_close(db);
    return count;
}

// A port on 127.0.0.1 where nothing listens: a scale that is down.
int closedPort()
{
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in local{};
    local.sin_family = AF_INET;
    local.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ::bind(fd, reinterpret_cast<sockaddr*>(&local), sizeof local);
    socklen_t size = sizeof local;
    ::getsockname(fd, reinterpret_cast<sockaddr*>(&local), &size);
    ::close(fd);
    return ntohs(local.sin_port);
}

// The program's main window in this process, on the real scale library.
struct WindowProgram
{
    test::RunFolder folder;
    TcpScaleLibrary library{TcpScaleLibraryOptions{}};
    RecordingMessageSink sink;
    std::unique_ptr<CMainDlg> mainDlg;
    test::RunWaiter waiter;

    CConfigDlg* open()
    {
        mainDlg = std::make_unique<CMainDlg>(
            CMainDlg::Dependencies{folder.paths, library, sink, folder.timer, folder.clock});
        mainDlg->OnCreate();
        mainDlg->OnInitDialog();
        waiter.attach(mainDlg->controller());
        chooseMenuItem(mainDlg->trayIcon().menu(), "configurationAction");
        return mainDlg->configDlg();
    }
};

} // namespace

class ScanWindowTest final : public QObject
{
    Q_OBJECT

private slots:
    void scanFillsTheListSaveRegistersAndARunSendsToAll()
    {
        sim::SimChildProcess simulator({"--db", m_dir.file("sim.sqlite"), "--scan-port", "0",
                                        "--scale", "127.0.0.2:0", "--scale",
                                        "127.0.0.3:0:QV7600:250,3,12,7", "--scale",
                                        "127.0.0.4:0:QV7100MN:123,4,15,2"});
        // Only the simulator's own scan port hears the request, on loopback.
        test::ScopedEnv broadcast("OSTREL_SCAN_BROADCAST",
                                  "127.255.255.255:" + std::to_string(simulator.scanPort()));
        WindowProgram program;
        program.folder.writeSettings({}, kScanSettings);
        test::writeFile(program.folder.paths.pluIdIni,
                        "[PLU ID]\nID01=0001\nID02=0002\nID03=0010\n");
        CConfigDlg* config = program.open();
        auto* scan = config->findChild<QPushButton*>("scanButton");
        QCOMPARE(scan->property("controlId").toInt(), 1084);

        clickButton(config, "scanButton");
        QVERIFY(!scan->isEnabled());
        const auto port = [&](std::size_t i) { return QString::number(simulator.scalePort(i)); };
        QTRY_COMPARE_WITH_TIMEOUT(
            rowTexts(config->scaleList()),
            (QStringList{"127.0.0.2 " + port(0) + " Connected QV7100 1.00.1,1.0,1",
                         "127.0.0.3 " + port(1) + " Connected QV7600 2.50.3,1.2,7",
                         "127.0.0.4 " + port(2) + " Connected QV7100MN 12.3.4,15,2"}),
            15000);
        QCOMPARE(program.mainDlg->controller().settingsHolder().scaleRecords().size(),
                 std::size_t{3});
        QTRY_VERIFY_WITH_TIMEOUT(scan->isEnabled(), 10000); // rests for five seconds

        clickButton(config, "saveButton");
        QVERIFY(!config->isVisible());
        const auto saved = readScaleListForWindow(program.folder.paths.tarvikIni);
        QCOMPARE(saved.size(), std::size_t{3});
        QCOMPARE(program.mainDlg->controller().scaleCount(), 3);

        program.folder.writeData("PLU1.TXT", {"1,101,Apple,120", "1,102,Pear,130"});
        program.mainDlg->OnTimer();
        QVERIFY(program.waiter.waitFor(1));
        for (std::size_t i = 0; i < 3; ++i) {
            const std::string scale =
                "127.0.0." + std::to_string(i + 2) + ":" + std::to_string(simulator.scalePort(i));
            QCOMPARE(receivedCount(m_dir.file("sim.sqlite"), scale), 2);
        }
    }

    void connectionTestMarksEveryScaleAndSaveKeepsALongStoredName()
    {
        sim::SimChildProcess simulator(
            {"--no-scan", "--scale", "127.0.0.2:0", "--scale", "127.0.0.3:0:QV7600"});
        const int down = closedPort();
        WindowProgram program;
        program.folder.writeSettings({{"127.0.0.2", simulator.scalePort(0), "QV7100", "old"},
                                      {"127.0.0.1", down, "qv7600", "old"},
                                      {"127.0.0.3", simulator.scalePort(1), "", ""}},
                                     kScanSettings);
        CConfigDlg* config = program.open();
        QTreeWidget* list = config->scaleList();
        // A name stored for the third row after the window loaded it without one: the answer
        // brings it in whole, not cut to 49 bytes.
        const std::string longName = "Cheese and charcuterie counter at the back, left of bakery";
        QVERIFY(longName.size() > 49);
        test::writeFile(program.folder.paths.tarvikIni,
                        test::readFile(program.folder.paths.tarvikIni) +
                            "[IPNAME]\n127.000.000.003=" + longName + "\n");
        clickButton(config, "connectionTestButton");
        QTRY_COMPARE_WITH_TIMEOUT(list->topLevelItem(2)->text(CConfigDlg::ConnectionColumn),
                                  QStringLiteral("Connected"), 15000);
        QTRY_COMPARE(list->topLevelItem(0)->text(CConfigDlg::ConnectionColumn),
                     QStringLiteral("Connected"));
        // The scale that is down does not stay blank.
        QTRY_COMPARE_WITH_TIMEOUT(list->topLevelItem(1)->text(CConfigDlg::ConnectionColumn),
                                  QStringLiteral("No answer"), 20000);
        QCOMPARE(list->topLevelItem(1)->text(CConfigDlg::VersionColumn), QStringLiteral("old"));
        QCOMPARE(list->topLevelItem(2)->text(CConfigDlg::ModelColumn), QStringLiteral("QV7600"));
        QCOMPARE(list->topLevelItem(2)->text(CConfigDlg::VersionColumn),
                 QStringLiteral("1.00.1,1.0,1"));
        QCOMPARE(list->topLevelItem(2)->text(CConfigDlg::NameColumn),
                 QString::fromStdString(longName));
        QCOMPARE(list->topLevelItemCount(), 3);

        clickButton(config, "saveButton");
        QVERIFY(!config->isVisible());
        const auto saved = readScaleListForWindow(program.folder.paths.tarvikIni);
        QCOMPARE(saved.size(), std::size_t{3});
        QCOMPARE(saved[2].name, longName);

        // Opened again, the window shows no answer of the last test: the scales may be off now.
        QVERIFY(chooseMenuItem(program.mainDlg->trayIcon().menu(), "configurationAction"));
        QTRY_VERIFY(config->isVisible());
        for (int row = 0; row < list->topLevelItemCount(); ++row) {
            QCOMPARE(list->topLevelItem(row)->text(CConfigDlg::ConnectionColumn), QString());
        }
    }

    void aScanThatHearsNothingSaysWhy()
    {
        // The scan port held by another program: the message names it and the cause, and the
        // scan's end adds no second message.
        const int held = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
        sockaddr_in local{};
        local.sin_family = AF_INET;
        QCOMPARE(::bind(held, reinterpret_cast<sockaddr*>(&local), sizeof local), 0);
        socklen_t size = sizeof local;
        ::getsockname(held, reinterpret_cast<sockaddr*>(&local), &size);
        const int heldPort = ntohs(local.sin_port);
        const int silent = closedPort();
        test::ScopedEnv broadcast("OSTREL_SCAN_BROADCAST", "127.0.0.1:" + std::to_string(silent));
        {
            WindowProgram program;
            program.folder.writeSettings(
                {}, "[CYCLE]\nUpdate Cycle=minutes\nUpdate Interval=5\nDecimal Point=2\n"
                    "[COMMUNICATION]\nSCAN PORT=" +
                        std::to_string(heldPort) + "\n");
            CConfigDlg* config = program.open();
            program.sink.clear(); // "There is no scale!"
            clickButton(config, "scanButton");
            QTRY_COMPARE(program.sink.messages().size(), std::size_t{1});
            QCOMPARE(QString::fromStdString(program.sink.messages()[0].text),
                     QStringLiteral("Error: CUDPServer/Listen bind() failed.\nUDP port %1 is in "
                                    "use by another program")
                             .arg(heldPort) +
                         QStringLiteral(" (another Ostrel, or a scale tool), so the scales' "
                                        "answers cannot be heard. Close that program, or give "
                                        "[COMMUNICATION] SCAN PORT in Tarvik.ini a free port."));
            QTRY_VERIFY_WITH_TIMEOUT(config->findChild<QPushButton*>("scanButton")->isEnabled(),
                                     10000);
            QCOMPARE(program.sink.messages().size(), std::size_t{1});
        }
        ::close(held);

        // A free port and nobody answering: once the scan's rest is over it says so, and where
        // it asked.
        WindowProgram program;
        program.folder.writeSettings({}, kScanSettings);
        CConfigDlg* config = program.open();
        program.sink.clear();
        clickButton(config, "scanButton");
        QTRY_COMPARE_WITH_TIMEOUT(program.sink.messages().size(), std::size_t{1}, 10000);
        const RecordingMessageSink::Message nothing = program.sink.messages()[0];
        QCOMPARE(nothing.caption, std::string("Ostrel"));
        const std::string listen = std::to_string(config->discovery()->listenerPort());
        QCOMPARE(nothing.text, "No scale answered the scan.\nThe request went to 127.0.0.1, UDP "
                               "port " +
                                   std::to_string(silent) +
                                   ", and answers were awaited on UDP port " + listen +
                                   " for 5 seconds. Check that the scales are switched on and "
                                   "on this computer's network, and that no firewall blocks "
                                   "UDP port " +
                                   listen + ". A scale on another network can be added with Add.");
    }

    void theWindowPaintsDuringATestOfTwentySilentScales()
    {
        // Twenty scales with empty models, all down: 300 ms of pauses each.
        const int down = closedPort();
        std::vector<test::ScaleConfig> scales;
        for (int i = 0; i < 20; ++i) {
            scales.push_back({"127.0.0.1", down, "", ""});
        }
        WindowProgram program;
        program.folder.writeSettings(scales, kScanSettings);
        CConfigDlg* config = program.open();
        int ticks = 0;
        QTimer ticker;
        connect(&ticker, &QTimer::timeout, [&] { ++ticks; });
        ticker.start(50);
        clickButton(config, "connectionTestButton");
        ScaleDiscovery* discovery = config->discovery();
        QVERIFY(discovery->queriesBusy());
        // The event loop runs while the worker pauses: the ticker fires many times before
        // the last query is sent.
        QTRY_VERIFY_WITH_TIMEOUT(ticks >= 20, 15000);
        QVERIFY(discovery->queriesBusy());
        QTRY_VERIFY_WITH_TIMEOUT(!discovery->queriesBusy(), 15000);
    }

private:
    test::TempDir m_dir;
};

int runScanWindowTest(int argc, char** argv)
{
    ScanWindowTest test;
    return QTest::qExec(&test, argc, argv);
}

} // namespace ostrel

#include "ScanWindowTest.moc"
