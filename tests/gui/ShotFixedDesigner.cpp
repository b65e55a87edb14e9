// Test-only entry point for scripts/screenshots.sh: the PLU file setting window with the fixed
// type, a sample line and three fields marked with the mouse, grabbed into the PNG named on the
// command line.
#include "TestSupport.h"

#include "format/PrsFile.h"
#include "platform/MessageBox.h"
#include "settings/SettingsPaths.h"
#include "ui/format/CPluFileSettingDlg.h"

#include <QApplication>
#include <QPlainTextEdit>
#include <QTableWidget>
#include <QTest>

#include <filesystem>
#include <iostream>

namespace {

QPoint gapPoint(QPlainTextEdit* box, int position)
{
    QTextCursor cursor(box->document());
    cursor.setPosition(position);
    const QRect rect = box->cursorRect(cursor);
    return {rect.left() + 1, rect.center().y()};
}

void mark(QWidget* window, int row, int from, int to)
{
    auto* list = window->findChild<QTableWidget*>("fieldList");
    list->scrollToItem(list->item(row, 1));
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {},
                      list->visualRect(list->model()->index(row, 1)).center());
    auto* box = window->findChild<QPlainTextEdit*>("sampleEdit");
    QTest::mousePress(box->viewport(), Qt::LeftButton, {}, gapPoint(box, from));
    QTest::mouseMove(box->viewport(), gapPoint(box, to));
    QTest::mouseRelease(box->viewport(), Qt::LeftButton, {}, gapPoint(box, to));
}

} // namespace

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::cerr << "usage: shot_fixed_designer OUTPUT.png\n";
        return 2;
    }
    QApplication app(argc, argv);
    ostrel::test::TempDir documents;
    const auto paths = ostrel::SettingsPaths::fromDocuments(documents.path());
    std::filesystem::create_directories(paths.configFolder);
    const std::string folder = documents.file("plu");
    std::filesystem::create_directories(folder);
    ostrel::test::writeFile(paths.tarvikIni,
                            "[PATH]\nPLU ROOT=" + folder +
                                "\nPREFIX=PLU\nEXTENTION=TXT\n[TYPE]\nFILETYPE=2\n");
    std::filesystem::copy_file(OSTREL_SOURCE_DIR "/packaging/config-template/plustruct.str",
                               paths.structFile);
    ostrel::writePrsFile(paths.prsFile, {});
    ostrel::test::writeFile(folder + "/PLU0001.TXT",
                            "01001001Apples Golden 000249\r\n01001002Pears Conf.   000199\r\n");

    ostrel::RecordingMessageSink sink;
    ostrel::CPluFileSettingDlg dialog(paths, sink);
    dialog.prepareOpening();
    dialog.show();
    if (!QTest::qWaitForWindowExposed(&dialog)) {
        std::cerr << "shot_fixed_designer: the window was not shown\n";
        return 1;
    }
    mark(&dialog, 0, 0, 2);  // Dept
    mark(&dialog, 1, 2, 8);  // PLU No
    mark(&dialog, 4, 8, 22); // Comm. Name(1)
    dialog.findChild<QTableWidget*>("fieldList")->scrollToTop();
    QTest::qWait(200);
    if (!dialog.grab().save(QString::fromLocal8Bit(argv[1]))) {
        std::cerr << "shot_fixed_designer: cannot write " << argv[1] << "\n";
        return 1;
    }
    return 0;
}
