// Test-only entry point for scripts/screenshots.sh: the PLU file setting window's Preview on a
// separated sample (UTF-8, a header line, a price with a decimal comma, a replacement rule),
// grabbed into the PNG named on the command line.
#include "TestSupport.h"

#include "platform/MessageBox.h"
#include "rules/RulesFile.h"
#include "settings/SettingsPaths.h"
#include "ui/format/CPluFileSettingDlg.h"
#include "ui/format/PreviewDlg.h"

#include <QApplication>
#include <QPushButton>
#include <QTest>

#include <filesystem>
#include <iostream>

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::cerr << "usage: shot_preview OUTPUT.png\n";
        return 2;
    }
    QApplication app(argc, argv);
    ostrel::test::TempDir documents;
    const auto paths = ostrel::SettingsPaths::fromDocuments(documents.path());
    std::filesystem::create_directories(paths.configFolder);
    const std::string folder = documents.file("plu");
    std::filesystem::create_directories(folder);
    ostrel::test::writeFile(paths.tarvikIni, "[PATH]\nPLU ROOT=" + folder +
                                                 "\nPREFIX=PLU\nEXTENTION=TXT\n[TYPE]\nFILETYPE=1"
                                                 "\n[CYCLE]\nDecimal Point=2\n[SEPARATE]\n"
                                                 "Separate=;\n[SEPA_STARTROW]\nStart Row=2\n");
    for (const char* name : {"plustruct.str", "PluID.ini"}) {
        std::filesystem::copy_file(std::string(OSTREL_SOURCE_DIR "/packaging/config-template/") +
                                       name,
                                   paths.configFolder + "/" + name);
    }
    ostrel::writeRulesFile(paths.rulesFile,
                           {{10, "Comm. Name(1)", "Jalape\xF1o-K\xE4se", "Jalape\xF1o K\xE4se"}});
    ostrel::test::writeFile(folder + "/PLU0001.TXT",
                            "dept;plu;type;name;price;item\r\n"
                            "1;101;0;\xC3\x84pfel Elstar;2,49;101\r\n"
                            "1;102;0;Jalape\xC3\xB1o-K\xC3\xA4se;4,5;102\r\n"
                            "2;0;0;(no PLU number);1;0\r\n"
                            "2;201;0;Cr\xC3\xA8me br\xC3\xBBl\xC3\xA9"
                            "e;n/a;201\r\n");
    ostrel::RecordingMessageSink sink;
    ostrel::CPluFileSettingDlg dialog(paths, sink);
    dialog.prepareOpening();
    dialog.show();
    if (!QTest::qWaitForWindowExposed(&dialog)) {
        std::cerr << "shot_preview: the window was not shown\n";
        return 1;
    }
    QTest::mouseClick(dialog.findChild<QPushButton*>("previewButton"), Qt::LeftButton);
    ostrel::PreviewDlg* preview = dialog.previewDlg();
    if (preview == nullptr || !QTest::qWaitFor([&] { return !preview->pending(); }, 10000)) {
        std::cerr << "shot_preview: no preview\n";
        return 1;
    }
    QTest::qWait(200);
    if (!preview->grab().save(QString::fromLocal8Bit(argv[1]))) {
        std::cerr << "shot_preview: cannot write " << argv[1] << "\n";
        return 1;
    }
    return 0;
}
