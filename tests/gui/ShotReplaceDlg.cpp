// Test-only entry point for scripts/screenshots.sh: the replacement rules window with three
// rules and the second row selected, grabbed into the PNG named on the command line.
#include "TestSupport.h"

#include "format/StructFile.h"
#include "platform/MessageBox.h"
#include "rules/RulesFile.h"
#include "settings/SettingsPaths.h"
#include "ui/rules/CReplaceDlg.h"

#include <QApplication>
#include <QTableWidget>
#include <QTest>

#include <filesystem>
#include <iostream>

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::cerr << "usage: shot_replace_dlg OUTPUT.png\n";
        return 2;
    }
    QApplication app(argc, argv);
    ostrel::test::TempDir documents;
    const auto paths = ostrel::SettingsPaths::fromDocuments(documents.path());
    std::filesystem::create_directories(paths.configFolder);
    const auto fields =
        ostrel::readPluFieldList(OSTREL_SOURCE_DIR "/packaging/config-template/plustruct.str");
    ostrel::writeRulesFile(paths.rulesFile, {{1, "Dept", "10", "3"},
                                             {10, "Comm. Name(1)", "Caf\xE9 au lait", "Coffee"},
                                             {6, "Unit Price", "0.00", "0.01"}});

    ostrel::RecordingMessageSink sink;
    ostrel::CReplaceDlg dialog(fields, paths, sink);
    dialog.show();
    if (!QTest::qWaitForWindowExposed(&dialog)) {
        std::cerr << "shot_replace_dlg: the window was not shown\n";
        return 1;
    }
    auto* list = dialog.findChild<QTableWidget*>("rulesList");
    list->selectRow(1);
    QTest::qWait(200);
    if (!dialog.grab().save(QString::fromLocal8Bit(argv[1]))) {
        std::cerr << "shot_replace_dlg: cannot write " << argv[1] << "\n";
        return 1;
    }
    return 0;
}
