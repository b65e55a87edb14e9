// The fixed-type designer driven by the mouse: marking a selection on the sample line, row
// clicks, the start row, the strip in step with the box's scrolling, OK's check and its Save,
// and a layout marked in the window that reaches the simulated scale.
#include "GuiTestSupport.h"
#include "SimRecords.h"

#include "SimChildProcess.h"
#include "format/PrsFile.h"
#include "protocol/TcpScaleLibrary.h"
#include "ui/format/CPluFileSettingDlg.h"
#include "ui/format/FixedDesignerGroup.h"
#include "ui/format/MarkingStrip.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QScrollBar>
#include <QTableWidget>
#include <QtTest>

#include <array>
#include <filesystem>

namespace ostrel {

using test::chooseMenuItem;
using test::clickButton;
using test::readFile;
using test::RunFolder;
using test::whenModal;
using test::writeFile;

namespace {

constexpr const char* kStructFile =
    "C=04DeptP=1.\nC=06PLU NoP=2.\nC=0DComm. Name(1)P=0A.\nC=0AUnit PriceP=6.\n";

template <typename T> T* child(QWidget* window, const char* name)
{
    return window->findChild<T*>(QString::fromLatin1(name));
}

QPlainTextEdit* sampleBox(QWidget* window)
{
    return child<QPlainTextEdit>(window, "sampleEdit");
}

// The point of the gap just before `position` in the box's text.
QPoint gapPoint(QPlainTextEdit* box, int position)
{
    QTextCursor cursor(box->document());
    cursor.setPosition(position);
    const QRect rect = box->cursorRect(cursor);
    return {rect.left() + 1, rect.center().y()};
}

void dragOver(QPlainTextEdit* box, int from, int to)
{
    QWidget* viewport = box->viewport();
    QTest::mousePress(viewport, Qt::LeftButton, {}, gapPoint(box, from));
    QTest::mouseMove(viewport, gapPoint(box, to));
    QTest::mouseRelease(viewport, Qt::LeftButton, {}, gapPoint(box, to));
}

void clickFieldRow(QWidget* window, int row)
{
    auto* list = child<QTableWidget>(window, "fieldList");
    list->scrollToItem(list->item(row, 1));
    const QRect cell = list->visualRect(list->model()->index(row, 1));
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, cell.center());
}

QStringList rowCells(QWidget* window, int row)
{
    auto* list = child<QTableWidget>(window, "fieldList");
    QStringList cells;
    for (int column = 2; column < 5; ++column) {
        cells << list->item(row, column)->text();
    }
    return cells;
}

QString labelText(QWidget* window, const char* name)
{
    return child<QLabel>(window, name)->text();
}

// A shop folder with a fixed-type layout and one sample file.
class FixedFolder : public RunFolder
{
public:
    explicit FixedFolder(const std::vector<std::string>& sample = {"ABCDEFGHIJKL"})
    {
        writeSettings({}, "[TYPE]\nFILETYPE=2\n");
        writeFile(paths.structFile, kStructFile);
        writeData("PLU1.TXT", sample);
    }
    CPluFileSettingDlg& openWindow()
    {
        dialog = std::make_unique<CPluFileSettingDlg>(paths, messages);
        dialog->prepareOpening();
        dialog->show();
        exposed = QTest::qWaitForWindowExposed(dialog.get());
        return *dialog;
    }
    std::unique_ptr<CPluFileSettingDlg> dialog;
    bool exposed = false;
};

} // namespace

class FixedDesignerTest final : public QObject
{
    Q_OBJECT

private slots:
    void selectionMarksTheSelectedRowAndTheLabels()
    {
        FixedFolder folder;
        CPluFileSettingDlg& window = folder.openWindow();
        QVERIFY(folder.exposed);
        QPlainTextEdit* box = sampleBox(&window);
        QCOMPARE(box->toPlainText(), QStringLiteral("ABCDEFGHIJKL"));
        // The opening names the first row plainly; a row click draws it indented in blue.
        auto* fieldName = child<QLabel>(&window, "fieldNameLabel");
        QCOMPARE(fieldName->text(), QStringLiteral("Dept"));
        QVERIFY(fieldName->palette().color(QPalette::WindowText) != QColor(0, 0, 255));

        dragOver(box, 3, 7);
        QCOMPARE(rowCells(&window, 0), (QStringList{"3", "7", "4"}));
        QCOMPARE(labelText(&window, "selectStringLabel"), QStringLiteral("Select String : DEFG"));
        QCOMPARE(labelText(&window, "startPointLabel"), QStringLiteral("Start Point : 3"));
        QCOMPARE(labelText(&window, "endPointLabel"), QStringLiteral("End Point  : 7"));

        // A release without a selection changes no cell and no label.
        QTest::mouseClick(box->viewport(), Qt::LeftButton, {}, gapPoint(box, 1));
        QCOMPARE(rowCells(&window, 0), (QStringList{"3", "7", "4"}));
        QCOMPARE(labelText(&window, "endPointLabel"), QStringLiteral("End Point  : 7"));

        // A click below the last row selects none; a later selection only shows its span.
        auto* list = child<QTableWidget>(&window, "fieldList");
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {},
                          QPoint(20, list->viewport()->height() - 3));
        QCOMPARE(labelText(&window, "fieldNameLabel"), QString(34, ' '));
        dragOver(box, 0, 2);
        QCOMPARE(labelText(&window, "endPointLabel"), QStringLiteral("End Point  : 2"));
        for (int row = 0; row < 4; ++row) {
            QCOMPARE(rowCells(&window, row),
                     row == 0 ? (QStringList{"3", "7", "4"}) : (QStringList{"", "", ""}));
        }

        // Another row takes the next selection; Clear One empties only that row.
        clickFieldRow(&window, 2);
        // Drawn from the label's corner: the blanks only erase what stood there.
        QCOMPARE(fieldName->text(), QStringLiteral("Comm. Name(1)"));
        QCOMPARE(fieldName->palette().color(QPalette::WindowText), QColor(0, 0, 255));
        dragOver(box, 7, 12);
        QCOMPARE(rowCells(&window, 2), (QStringList{"7", "12", "5"}));
        clickButton(&window, "clearOneButton");
        QCOMPARE(rowCells(&window, 2), (QStringList{"", "", ""}));
        QCOMPARE(rowCells(&window, 0), (QStringList{"3", "7", "4"}));
        window.hide();
    }

    void aReopeningShowsOnlyWhatItsOwnFilesHold()
    {
        FixedFolder folder;
        CPluFileSettingDlg& window = folder.openWindow();
        QVERIFY(folder.exposed);
        dragOver(sampleBox(&window), 3, 7);
        QCOMPARE(labelText(&window, "startPointLabel"), QStringLiteral("Start Point : 3"));
        window.hide();

        // The sample and the structure list are gone: the window still opens, empty.
        std::filesystem::remove(folder.dataFile("PLU1.TXT"));
        std::filesystem::remove(folder.paths.structFile);
        window.prepareOpening();
        window.show();
        QVERIFY(sampleBox(&window)->toPlainText().isEmpty());
        QCOMPARE(child<QTableWidget>(&window, "fieldList")->rowCount(), 0);
        QCOMPARE(labelText(&window, "fieldNameLabel"), QString());
        QCOMPARE(labelText(&window, "selectStringLabel"), QStringLiteral("Select String :"));
        QCOMPARE(labelText(&window, "startPointLabel"), QStringLiteral("Start Point :"));
        QCOMPARE(labelText(&window, "endPointLabel"), QStringLiteral("End Point :"));
        // With no row, Clear One has nothing to clear.
        clickButton(&window, "clearOneButton");
        QVERIFY(!window.fixedGroup().rows().selected());
        window.hide();
    }

    void startRowShowsItsLineAndStoredRecordsShowInTheRows()
    {
        FixedFolder folder({"line 1", "line 2", "line 3", "line 4", "line 5"});
        writePrsFile(folder.paths.prsFile,
                     {makeFixedFieldDef(1, "Dept", 0, 0), makeFixedFieldDef(2, "PLU No", 2, 6)});
        CPluFileSettingDlg& window = folder.openWindow();
        QCOMPARE(rowCells(&window, 0), (QStringList{"0", "0", "0"}));
        QCOMPARE(rowCells(&window, 1), (QStringList{"2", "8", "6"}));
        QCOMPARE(rowCells(&window, 2), (QStringList{"", "", ""}));

        auto* startRow = child<QComboBox>(&window, "fixedStartRowCombo");
        const auto choose = [&](const char* text) {
            startRow->setCurrentIndex(startRow->findText(QString::fromLatin1(text)));
            emit startRow->activated(startRow->currentIndex());
        };
        choose("10");
        QCOMPARE(sampleBox(&window)->toPlainText(), QStringLiteral("line 5"));
        choose("3");
        QCOMPARE(sampleBox(&window)->toPlainText(), QStringLiteral("line 3"));
        choose("1");
        QCOMPARE(sampleBox(&window)->toPlainText(), QStringLiteral("line 1"));

        // Read takes the folder as typed: another file replaces the lines.
        RunFolder other;
        other.writeData("PLU9.TXT", {"other first", "other second"});
        child<QLineEdit>(&window, "folderEdit")->setText(QString::fromStdString(other.pluFolder()));
        clickButton(&window, "fixedReadButton");
        QTRY_VERIFY(!window.fixedGroup().sampleLoading());
        QCOMPARE(sampleBox(&window)->toPlainText(), QStringLiteral("other first"));
        QCOMPARE(window.fixedGroup().sampleLines().size(), std::size_t{2});

        // Enter in the box breaks no line: the marked positions stay the file's.
        sampleBox(&window)->setFocus();
        QTest::keyClick(sampleBox(&window), Qt::Key_Return);
        QCOMPARE(sampleBox(&window)->toPlainText(), QStringLiteral("other first"));

        // A Read that cannot load (PLUPrs.prs gone) says so and keeps the lines and the box.
        std::filesystem::remove(folder.paths.prsFile);
        clickButton(&window, "fixedReadButton");
        QCOMPARE(folder.messages.messages().back().text,
                 std::string("File not found! : \"PLUPrs.prs\""));
        QCOMPARE(sampleBox(&window)->toPlainText(), QStringLiteral("other first"));
        QCOMPARE(window.fixedGroup().sampleLines().size(), std::size_t{2});
        window.hide();
    }

    void theStripFollowsTheBoxsScrollingAndMarksItsColumnsInRed()
    {
        std::string line;
        for (int i = 0; i < 200; ++i) {
            line += static_cast<char>('0' + i % 10);
        }
        FixedFolder folder({line});
        writePrsFile(folder.paths.prsFile, {makeFixedFieldDef(1, "Dept", 2, 3)});
        CPluFileSettingDlg& window = folder.openWindow();
        QPlainTextEdit* box = sampleBox(&window);
        auto* strip = child<MarkingStrip>(&window, "markingStrip");
        QCOMPARE(strip->property("controlId").toInt(), 1031);

        auto cells = strip->cells();
        QVERIFY(cells.size() > 10);
        QCOMPARE(cells.front().position, std::size_t{0});
        QCOMPARE(cells.front().x, 0); // the box's text starts at the strip's left edge
        for (const auto& cell : cells) {
            QCOMPARE(cell.marked, cell.position >= 2 && cell.position < 5);
            QCOMPARE(cell.character, QChar(line[cell.position]));
            // Each character stands exactly above its column in the box.
            QTextCursor at(box->document());
            at.setPosition(static_cast<int>(cell.position));
            const int boxX =
                box->viewport()->mapTo(&window, QPoint(box->cursorRect(at).left(), 0)).x();
            QCOMPARE(strip->mapTo(&window, QPoint(cell.x, 0)).x(), boxX);
        }

        box->horizontalScrollBar()->setValue(gapPoint(box, 40).x() - gapPoint(box, 0).x());
        cells = strip->cells();
        QCOMPARE(strip->firstDrawnPosition(), std::optional<std::size_t>(40));
        QCOMPARE(cells.front().x, 0);
        QVERIFY(!cells.front().marked);

        // A new mark shows at once.
        dragOver(box, 41, 43);
        QVERIFY(strip->cells()[1].marked);
        QVERIFY(!strip->cells()[3].marked);
        window.hide();
    }

    void okWantsTheRequiredFieldsAndYesRunsTheFixedSave()
    {
        FixedFolder folder({"05000123Apples    000249"});
        CPluFileSettingDlg& window = folder.openWindow();
        QPlainTextEdit* box = sampleBox(&window);
        dragOver(box, 0, 2); // Dept only
        folder.messages.clear();
        clickButton(&window, "okButton");
        QVERIFY(window.isVisible());
        QCOMPARE(folder.messages.messages().back().text,
                 std::string("Confirm Dept, PLU No, Comm.Name[1]"));

        clickFieldRow(&window, 1);
        dragOver(box, 2, 8);
        clickFieldRow(&window, 2);
        dragOver(box, 8, 18);
        folder.messages.setNextAnswer(MessageAnswer::Yes);
        clickButton(&window, "okButton");
        QCOMPARE(window.result(), int(QDialog::Accepted));
        const auto defs = readPrsFile(folder.paths.prsFile);
        QVERIFY(defs);
        QCOMPARE(defs->size(), std::size_t{4});
        QCOMPARE((*defs)[1], makeFixedFieldDef(2, "PLU No", 2, 6));
        QCOMPARE((*defs)[2], makeFixedFieldDef(10, "Comm. Name(1)", 8, 10));
        QCOMPARE((*defs)[3], makeFixedFieldDef(6, "Unit Price", 0, 0));
        QCOMPARE(folder.messages.messages().back().text, std::string("Save is completed!"));
        const std::string tarvik = readFile(folder.paths.tarvikIni);
        QVERIFY(tarvik.find("FILETYPE=2") != std::string::npos);
        QVERIFY(tarvik.find("Start Row=1") != std::string::npos);
        // OK's copy of the rows is what the run gets while PLUPrs.prs is missing.
        QCOMPARE(window.fixedDefinitions()[2], makeFixedFieldDef(10, "Comm. Name(1)", 8, 10));
    }

    void okCopiesTheRowsForARunWhilePluPrsIsMissing()
    {
        test::TrayProgram program;
        program.writeSettings({test::TrayProgram::kScale},
                              "[CYCLE]\nDecimal Point=2\n[TYPE]\nFILETYPE=2\n");
        writeFile(program.paths.structFile,
                  readFile(OSTREL_SOURCE_DIR "/packaging/config-template/plustruct.str"));
        program.start();
        program.writeData("PLU1.TXT", {"07000042Kiwis"});

        program.sink.recorder.setNextAnswer(MessageAnswer::No); // nothing is saved
        whenModal([&](QWidget* modal) {
            QPlainTextEdit* box = sampleBox(modal);
            const std::vector<std::array<int, 3>> marks = {{0, 0, 2}, {1, 2, 8}, {4, 8, 13}};
            for (const auto& [row, from, to] : marks) {
                clickFieldRow(modal, row);
                dragOver(box, from, to);
            }
            std::filesystem::remove(program.paths.prsFile);
            clickButton(modal, "okButton");
        });
        QVERIFY(chooseMenuItem(program.menu(), "pluFileSettingAction"));
        QVERIFY(!std::filesystem::exists(program.paths.prsFile));

        program.mainDlg->OnTimer();
        QVERIFY(program.runStarted());
        program.library.pump();
        QTRY_VERIFY(!program.mainDlg->controller().runBusy());
        const auto sent = program.library.sent();
        QCOMPARE(sent.size(), std::size_t{1});
        QCOMPARE(sent[0].number(0, 2), 7u);
        QCOMPARE(sent[0].plu(), 42u);
        QCOMPARE(sent[0].name(), std::string("Kiwis"));
    }

    void aLayoutMarkedWithTheMouseReachesTheSimulatedScale()
    {
        RunFolder shop;
        // The product's structure list gives the fields in the fixed column order.
        writeFile(shop.paths.structFile,
                  readFile(OSTREL_SOURCE_DIR "/packaging/config-template/plustruct.str"));
        const std::string db = shop.dir.file("scales.db");
        sim::SimChildProcess sim({"--db", db, "--no-scan", "--scale", "127.0.0.2:0:QV7100"});
        shop.writeSettings({{"127.0.0.2", sim.scalePort(0)}});
        shop.writeData("PLU1.TXT", {"03002001Plums000499", "03002002Pears001250"});

        TcpScaleLibrary library;
        test::ProbingMessageSink sink;
        CMainDlg mainDlg({shop.paths, library, sink, shop.timer, shop.clock});
        mainDlg.OnCreate();
        // The start-up's run is refused while a window is open, so the first run follows OK.
        mainDlg.controller().setWindowOpen(true);
        mainDlg.OnInitDialog();
        mainDlg.controller().setWindowOpen(false);

        whenModal([&](QWidget* modal) {
            QPlainTextEdit* box = sampleBox(modal);
            const std::vector<std::array<int, 3>> marks = {
                {0, 0, 2}, {1, 2, 8}, {4, 8, 13}, {18, 13, 19}}; // Dept, PLU No, name, price
            for (const auto& [row, from, to] : marks) {
                clickFieldRow(modal, row);
                dragOver(box, from, to);
            }
            clickButton(modal, "fixedSaveButton");
            clickButton(modal, "okButton");
        });
        QVERIFY(chooseMenuItem(mainDlg.trayIcon().menu(), "pluFileSettingAction"));
        mainDlg.OnTimer();
        QTRY_VERIFY_WITH_TIMEOUT(!mainDlg.controller().runBusy(), 30000);
        QTRY_COMPARE_WITH_TIMEOUT(test::storedRecords(db).size(), std::size_t{2}, 10000);
        QCOMPARE(test::storedRecords(db),
                 (std::vector<test::StoredPlu>{{3, 2001, 499, "Plums"}, {3, 2002, 1250, "Pears"}}));
    }
};

int runFixedDesignerTest(int argc, char** argv)
{
    FixedDesignerTest test;
    return QTest::qExec(&test, argc, argv);
}

} // namespace ostrel

#include "FixedDesignerTest.moc"
