// Test-only entry point for scripts/screenshots.sh: the configuration window with three
// scales, and the scale input window as "Edit" opens it for the second one, each grabbed into
// the PNG named on the command line.
#include "TestSupport.h"

#include "platform/MessageBox.h"
#include "settings/SettingsHolder.h"
#include "settings/SettingsPaths.h"
#include "ui/settings/CConfigDlg.h"
#include "ui/settings/CScaleInputDlg.h"

#include <QApplication>
#include <QTest>
#include <QTreeWidget>

#include <filesystem>
#include <iostream>

namespace {

bool grabInto(QWidget& window, const char* file)
{
    window.show();
    if (!QTest::qWaitForWindowExposed(&window)) {
        std::cerr << "shot_config_dlg: the window was not shown\n";
        return false;
    }
    QTest::qWait(200);
    if (!window.grab().save(QString::fromLocal8Bit(file))) {
        std::cerr << "shot_config_dlg: cannot write " << file << "\n";
        return false;
    }
    return true;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc != 3) {
        std::cerr << "usage: shot_config_dlg CONFIG.png SCALE_INPUT.png\n";
        return 2;
    }
    QApplication app(argc, argv);
    ostrel::test::TempDir documents;
    const auto paths = ostrel::SettingsPaths::fromDocuments(documents.path());
    std::filesystem::create_directories(paths.configFolder);
    ostrel::test::writeFile(paths.tarvikIni,
                            "[CYCLE]\nUpdate Cycle=minutes\nUpdate Interval=15\nDecimal Point=2\n"
                            "[IPLIST]\nIP000=192.168.0.21:20304,S\nIP001=192.168.0.22:20304,S\n"
                            "IP002=192.168.0.23:40000,S\n"
                            "[IPNAME]\n192.168.000.021=Deli\n192.168.000.022=Meat\n"
                            "192.168.000.023=Bakery\n"
                            "[MODEL]\nIP000=QV7100\nIP001=QV7600\nIP002=QV7100MN\n"
                            "[SCALEVERSION]\nIP000=1.23.4,1.5,2\nIP001=1.23.4,1.5,2\n"
                            "IP002=2.1.0,3,1\n");

    ostrel::SettingsHolder holder;
    holder.loadScaleList(paths.tarvikIni);
    holder.scaleTable().setConnection(0, "Connected");
    holder.scaleTable().setConnection(1, "Connected");
    holder.scaleTable().setChecked(2, true);
    ostrel::RecordingMessageSink sink;
    ostrel::CConfigDlg config(paths, holder, sink);
    config.Load();
    holder.scaleTable().setConnection(0, "Connected");
    holder.scaleTable().setConnection(1, "Connected");
    config.showScaleList();
    config.scaleList()->setCurrentItem(config.scaleList()->topLevelItem(1));
    if (!grabInto(config, argv[1])) {
        return 1;
    }

    ostrel::CScaleInputDlg input(sink, &config);
    input.open({"192.168.0.22", "20304", "Meat", "QV7600", "1.23.4,1.5,2"}, true);
    return grabInto(input, argv[2]) ? 0 : 1;
}
