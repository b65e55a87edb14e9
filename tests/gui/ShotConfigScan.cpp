// Test-only entry point for scripts/screenshots.sh: the configuration window after "Scan"
// found three simulated scales on loopback, grabbed into the PNG named on the command line.
#include "../engine/RunTestSupport.h"

#include "platform/MessageBox.h"
#include "protocol/TcpScaleLibrary.h"
#include "ui/settings/CConfigDlg.h"
#include "ui/shell/CMainDlg.h"

#include "SimChildProcess.h"

#include <QApplication>
#include <QTest>
#include <QTreeWidget>

#include <iostream>

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::cerr << "usage: shot_config_scan OUTPUT.png\n";
        return 2;
    }
    QApplication app(argc, argv);
    ostrel::test::TempDir dir;
    ostrel::sim::SimChildProcess simulator(
        {"--db", dir.file("sim.sqlite"), "--scan-port", "0", "--scale", "127.0.0.2:0", "--scale",
         "127.0.0.3:0:QV7600:250,3,12,7", "--scale", "127.0.0.4:0:QV7100MN:123,4,15,2"});
    ::setenv("OSTREL_SCAN_BROADCAST",
             ("127.255.255.255:" + std::to_string(simulator.scanPort())).c_str(), 1);

    ostrel::test::RunFolder folder;
    folder.writeSettings({}, "[CYCLE]\nUpdate Cycle=minutes\nUpdate Interval=5\n"
                             "Decimal Point=2\n[COMMUNICATION]\nSCAN PORT=0\n[IPNAME]\n"
                             "127.000.000.002=Deli\n127.000.000.003=Meat\n");
    ostrel::TcpScaleLibrary library{ostrel::TcpScaleLibraryOptions{}};
    ostrel::RecordingMessageSink sink;
    // As with a tray: only the configuration window is on the screen.
    ostrel::CMainDlg mainDlg(
        {folder.paths, library, sink, folder.timer, folder.clock, [] { return true; }});
    mainDlg.OnCreate();
    mainDlg.OnInitDialog();
    ostrel::CConfigDlg* config = mainDlg.configDlg();
    config->show();
    if (!QTest::qWaitForWindowExposed(config)) {
        std::cerr << "shot_config_scan: the window was not shown\n";
        return 1;
    }
    config->OnScan();
    for (int i = 0; i < 150 && config->scaleList()->topLevelItemCount() < 3; ++i) {
        QTest::qWait(100);
    }
    QTest::qWait(300);
    if (config->scaleList()->topLevelItemCount() != 3) {
        std::cerr << "shot_config_scan: the scan did not find the three scales\n";
        return 1;
    }
    if (!config->grab().save(QString::fromLocal8Bit(argv[1]))) {
        std::cerr << "shot_config_scan: cannot write " << argv[1] << "\n";
        return 1;
    }
    return 0;
}
