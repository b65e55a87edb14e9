// The PLU file setting window driven by its controls: the opening by file type, the type
// switch, the separated designer's buttons, OK and Cancel with the save question, and the main
// window's flag and reload around it, up to a run against the simulated scale.
#include "GuiTestSupport.h"

#include "SimRecords.h"
#include "format/StructFile.h"

#include "SimChildProcess.h"
#include "protocol/TcpScaleLibrary.h"
#include "rules/RulesFile.h"
#include "ui/format/CPluFileSettingDlg.h"
#include "ui/format/PreviewDlg.h"
#include "ui/format/SeparatedDesignerGroup.h"
#include "ui/shell/DialogUnits.h"

#include <QComboBox>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QRadioButton>
#include <QSignalSpy>
#include <QTableWidget>
#include <QtTest>

#include <array>

namespace ostrel {

using test::chooseMenuItem;
using test::clickButton;
using test::readFile;
using test::RunFolder;
using test::TrayProgram;
using test::whenModal;
using test::writeFile;

namespace {

constexpr const char* kStructFile =
    "C=04DeptP=1.\nC=06PLU NoP=2.\nC=0DComm. Name(1)P=0A.\nC=0AUnit PriceP=6.\n";
// Column order of the shop before the window changes it: PLU No, Dept, name, price.
constexpr const char* kPluId = "[PLU ID]\nID01=0002\nID02=0001\nID03=0010\nID04=0006\n"
                               "[PLU NAME]\nNAME01=PLU No\nNAME02=Dept\nNAME03=Comm. Name(1)\n"
                               "NAME04=Unit Price\n";

template <typename T> T* child(QWidget* window, const char* name)
{
    return window->findChild<T*>(QString::fromLatin1(name));
}

QWidget* control(QWidget* window, int id)
{
    for (QWidget* widget : window->findChildren<QWidget*>()) {
        if (widget->property("controlId").toInt() == id) {
            return widget;
        }
    }
    return nullptr;
}

QStringList columnTexts(QWidget* window, int column)
{
    auto* list = child<QTableWidget>(window, "columnList");
    QStringList texts;
    for (int row = 0; row < list->rowCount(); ++row) {
        texts << (list->item(row, column) != nullptr ? list->item(row, column)->text() : QString());
    }
    return texts;
}

void clickRow(QWidget* window, int row)
{
    auto* list = child<QTableWidget>(window, "columnList");
    const QRect cell = list->visualRect(list->model()->index(row, 1));
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, cell.center());
}

std::vector<std::string> messageTexts(const RecordingMessageSink& sink)
{
    std::vector<std::string> texts;
    for (const auto& message : sink.messages()) {
        texts.push_back(message.text);
    }
    return texts;
}

// A shop folder with the window's files; the window itself opened on demand.
class FormatFolder : public RunFolder
{
public:
    FormatFolder()
    {
        writeSettings({});
        writeFile(paths.structFile, kStructFile);
        writeFile(paths.pluIdIni, kPluId);
    }
    CPluFileSettingDlg& window()
    {
        if (!dialog) {
            dialog = std::make_unique<CPluFileSettingDlg>(paths, messages);
        }
        return *dialog;
    }
    std::unique_ptr<CPluFileSettingDlg> dialog;
};

bool waitForPreview(CPluFileSettingDlg& window)
{
    return QTest::qWaitFor([&] { return !window.separatedGroup().previewPending(); }, 10000);
}

// In the open window: the separated type, separator ";", PLU No moved below Dept, Save, OK.
void makeSemicolonLayout(QWidget* window)
{
    child<QRadioButton>(window, "separateTypeRadio")->click();
    child<QRadioButton>(window, "typedSeparatorRadio")->click();
    auto* separator = child<QLineEdit>(window, "separatorEdit");
    separator->clear();
    QTest::keyClicks(separator, ";");
    clickRow(window, 0);
    clickButton(window, "downButton");
    clickButton(window, "saveButton");
    clickButton(window, "okButton");
}

} // namespace

class PluFileSettingDlgTest final : public QObject
{
    Q_OBJECT

private slots:
    void everyControlSitsAtItsPlaceWithItsId()
    {
        FormatFolder folder;
        CPluFileSettingDlg& window = folder.window();
        const DialogUnits units(window.font());
        QCOMPARE(window.size(), units.size(503, 363));
        // Id, then left, top, width and height in dialog units.
        const std::vector<std::array<int, 5>> places = {
            {1015, 46, 14, 150, 13},  {1011, 200, 12, 38, 17},    {1087, 69, 35, 70, 13},
            {1086, 141, 37, 11, 11},  {1088, 154, 35, 42, 13},    {1089, 200, 33, 38, 17},
            {1060, 7, 67, 232, 48},   {1061, 13, 82, 68, 10},     {1062, 13, 97, 67, 10},
            {1059, 7, 126, 232, 203}, {1083, 59, 140, 45, 0},     {1070, 8, 160, 47, 9},
            {1064, 59, 158, 45, 12},  {1069, 20, 177, 35, 9},     {1100, 60, 177, 29, 10},
            {1101, 100, 177, 8, 8},   {1063, 111, 175, 45, 12},   {1103, 20, 194, 81, 10},
            {1075, 12, 210, 34, 21},  {1067, 49, 210, 34, 21},    {1068, 86, 210, 34, 21},
            {1073, 123, 210, 34, 21}, {1076, 12, 240, 204, 79},   {1078, 220, 257, 12, 14},
            {1079, 220, 285, 12, 14}, {1058, 247, 8, 249, 320},   {1024, 253, 26, 47, 8},
            {1022, 408, 26, 38, 8},   {1023, 449, 23, 42, 0},     {1025, 252, 38, 238, 38},
            {1031, 258, 88, 227, 10}, {1032, 258, 109, 227, 10},  {1033, 258, 131, 226, 9},
            {1034, 258, 144, 226, 9}, {1035, 258, 157, 225, 9},   {1027, 308, 175, 34, 19},
            {1037, 345, 175, 34, 19}, {1028, 382, 175, 34, 19},   {1029, 419, 175, 34, 19},
            {1030, 456, 175, 34, 19}, {1026, 252, 202, 238, 117}, {1036, 253, 278, 236, 22},
            {1, 384, 334, 50, 20},    {2, 440, 333, 50, 20},      {1039, 302, 26, 104, 8},
            {1104, 106, 195, 126, 9}};
        for (const auto& [id, x, y, width, height] : places) {
            QWidget* placed = control(&window, id);
            QVERIFY2(placed != nullptr, qPrintable(QString::number(id)));
            const QRect expected = units.rect(x, y, width, height);
            const QRect actual = placed->geometry();
            // A closed drop-down is as high as the font needs; the height given is its list's.
            QVERIFY2(actual.topLeft() == expected.topLeft() && actual.width() == expected.width() &&
                         (height == 0 || actual.height() == expected.height()),
                     qPrintable(QString::number(id)));
        }
        QVERIFY(child<QPushButton>(&window, "okButton")->isDefault());
        QVERIFY(!control(&window, 1036)->isVisibleTo(&window));
    }

    void fileTypeOpensItsTypeWithItsControlsEnabled()
    {
        const std::vector<std::pair<std::string, bool>> cases = {{"[TYPE]\nFILETYPE=1\n", true},
                                                                 {"[TYPE]\nFILETYPE=2\n", false},
                                                                 {"", false},
                                                                 {"[TYPE]\nFILETYPE=7\n", false}};
        for (const auto& [typeKeys, separated] : cases) {
            FormatFolder folder;
            folder.writeSettings({}, typeKeys);
            CPluFileSettingDlg& window = folder.window();
            window.prepareOpening();
            QCOMPARE(window.windowTitle(), QStringLiteral("Select"));
            QCOMPARE(child<QRadioButton>(&window, "separateTypeRadio")->isChecked(), separated);
            QCOMPARE(child<QRadioButton>(&window, "fixedTypeRadio")->isChecked(), !separated);
            for (int id :
                 {1069, 1070, 1064, 1067, 1068, 1073, 1075, 1076, 1083, 1078, 1079, 1063}) {
                QVERIFY2(control(&window, id)->isEnabled() == separated,
                         qPrintable(QString::number(id)));
            }
            for (int id : {1022, 1023, 1024, 1025, 1026, 1027, 1028, 1029, 1030, 1031, 1032, 1033,
                           1034, 1035}) {
                QVERIFY2(control(&window, id)->isEnabled() == !separated,
                         qPrintable(QString::number(id)));
            }
            QVERIFY(child<QPushButton>(&window, "replaceButton")->isEnabled());
            QCOMPARE(child<QPushButton>(&window, "replaceButton")->property("controlId").toInt(),
                     1037);
        }

        // The switch by click; the separator edit follows "Tab".
        FormatFolder folder;
        folder.writeSettings({}, "[TYPE]\nFILETYPE=2\n[SEPARATE]\nUseTab=1\n");
        CPluFileSettingDlg& window = folder.window();
        window.prepareOpening();
        window.show();
        child<QRadioButton>(&window, "separateTypeRadio")->click();
        QVERIFY(control(&window, 1076)->isEnabled());
        QVERIFY(!control(&window, 1025)->isEnabled());
        QVERIFY(child<QRadioButton>(&window, "tabRadio")->isChecked());
        QVERIFY(!control(&window, 1063)->isEnabled());
        child<QRadioButton>(&window, "typedSeparatorRadio")->click();
        QVERIFY(control(&window, 1063)->isEnabled());
        child<QRadioButton>(&window, "fixedTypeRadio")->click();
        QVERIFY(!control(&window, 1063)->isEnabled());
        QVERIFY(control(&window, 1026)->isEnabled());
        QCOMPARE(window.selectedType(), 2);
    }

    void openingWithoutSampleShowsBothMessages()
    {
        FormatFolder folder;
        folder.window().prepareOpening();
        // Each says where it looked.
        const std::string looked =
            "There is no PLU Data File.\n\nLooked for PLU*.TXT in " + folder.pluFolder() + ".";
        QCOMPARE(messageTexts(folder.messages), (std::vector<std::string>{looked, looked}));
        std::filesystem::remove(folder.paths.prsFile);
        folder.messages.clear();
        folder.window().prepareOpening();
        QCOMPARE(messageTexts(folder.messages),
                 (std::vector<std::string>{looked, "File not found! : \"PLUPrs.prs\""}));
    }

    void previewReadAndDefaultFillTheColumnList()
    {
        FormatFolder folder;
        folder.writeSettings({}, "[TYPE]\nFILETYPE=1\n[SEPARATE]\nComment=#\n");
        folder.writeData("PLU1.TXT", {"# exported", "101,5,,1.20", "102,5,Pear,0.80"});
        CPluFileSettingDlg& window = folder.window();
        QSignalSpy previews(&window.separatedGroup(), &SeparatedDesignerGroup::previewFinished);
        window.prepareOpening();
        QVERIFY(messageTexts(folder.messages).empty());
        QVERIFY(waitForPreview(window));
        QCOMPARE(previews.count(), 1);
        QCOMPARE(columnTexts(&window, 0), (QStringList{"2", "1", "10", "6"}));
        QCOMPARE(columnTexts(&window, 2), (QStringList{"101", "5", "", "1.20"}));

        // Default: the structure order, with the sample's values beside it.
        child<QLineEdit>(&window, "commentEdit")->setText(QStringLiteral("#"));
        clickButton(&window, "defaultButton");
        QCOMPARE(child<QLineEdit>(&window, "separatorEdit")->text(), QStringLiteral(","));
        QCOMPARE(child<QLineEdit>(&window, "commentEdit")->text(), QStringLiteral("//"));
        QCOMPARE(child<QComboBox>(&window, "startRowCombo")->currentText(), QStringLiteral("1"));
        QCOMPARE(columnTexts(&window, 1),
                 (QStringList{"Dept", "PLU No", "Comm. Name(1)", "Unit Price"}));
        QVERIFY(waitForPreview(window));
        // "//" is no comment marker of this file, so its first line is the preview line.
        QCOMPARE(columnTexts(&window, 2), (QStringList{"# exported", "", "", ""}));

        // Read reloads the stored order and previews with the marker as typed.
        child<QLineEdit>(&window, "commentEdit")->setText(QStringLiteral("#"));
        clickButton(&window, "readButton");
        QVERIFY(waitForPreview(window));
        QCOMPARE(columnTexts(&window, 0), (QStringList{"2", "1", "10", "6"}));
        QCOMPARE(columnTexts(&window, 2), (QStringList{"101", "5", "", "1.20"}));

        auto* encoding = child<QLabel>(&window, "separatedEncodingLabel");
        QCOMPARE(encoding->text(), QStringLiteral("Encoding: CP1252 (ASCII only)"));

        // Refresh with the separated type is its Read; a UTF-8 sample shows as the run reads it.
        writeFile(folder.dataFile("PLU1.TXT"), "# exported\r\n202,7,Cr\xC3\xA8me,0.35\r\n");
        clickButton(&window, "refreshButton");
        QVERIFY(waitForPreview(window));
        QCOMPARE(columnTexts(&window, 2),
                 (QStringList{"202", "7", QString::fromUtf8("Cr\xC3\xA8me"), "0.35"}));
        QCOMPARE(encoding->text(), QStringLiteral("Encoding: UTF-8 (valid UTF-8)"));

        // Read takes the folder as typed, saved or not, as the fixed type's does.
        const std::string other = folder.dir.file("other");
        std::filesystem::create_directory(other);
        writeFile(other + "/PLU9.TXT", "303,8,Kiwi,0.55\r\n");
        child<QLineEdit>(&window, "folderEdit")->setText(QString::fromStdString(other));
        clickButton(&window, "readButton");
        QVERIFY(waitForPreview(window));
        QCOMPARE(columnTexts(&window, 2), (QStringList{"303", "8", "Kiwi", "0.55"}));
        std::filesystem::remove(other + "/PLU9.TXT");
        clickButton(&window, "readButton");
        QCOMPARE(messageTexts(folder.messages).back(),
                 "There is no PLU Data File.\n\nLooked for PLU*.TXT in " + other + ".");

        // Clear All empties both edits and reloads the list.
        clickButton(&window, "clearAllButton");
        QVERIFY(child<QLineEdit>(&window, "separatorEdit")->text().isEmpty());
        QVERIFY(child<QLineEdit>(&window, "commentEdit")->text().isEmpty());
        QCOMPARE(columnTexts(&window, 2), (QStringList{"", "", "", ""}));
    }

    void browserIsAFolderChooserThatFillsTheFolder()
    {
        FormatFolder folder;
        CPluFileSettingDlg& window = folder.window();
        window.prepareOpening();
        window.show();
        const QString picked = QString::fromStdString(folder.dir.path());
        QString title;
        whenModal(
            [&](QWidget* chooser) {
                title = chooser->windowTitle();
                auto* dialog = qobject_cast<QFileDialog*>(chooser);
                if (dialog == nullptr) {
                    chooser->close();
                    return;
                }
                dialog->setDirectory(picked);
                dialog->selectFile(picked);
                static_cast<QDialog*>(dialog)->accept(); // QFileDialog hides its own
            },
            &window);
        clickButton(&window, "browserButton");
        QCOMPARE(title, QStringLiteral("Select Folder"));
        QCOMPARE(child<QLineEdit>(&window, "folderEdit")->text(), picked);
        window.hide();
    }

    void previewShowsTheRecordsOfTheValuesAsTheyStand()
    {
        FormatFolder folder;
        folder.writeSettings({}, "[CYCLE]\nDecimal Point=2\n[TYPE]\nFILETYPE=1\n");
        folder.writeData("PLU1.TXT", {"101,5,Pear,1.2", "0,5,Header,x"});
        CPluFileSettingDlg& window = folder.window();
        window.prepareOpening();
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        QVERIFY(waitForPreview(window));
        QCOMPARE(control(&window, 1106), child<QPushButton>(&window, "previewButton"));
        clickButton(&window, "previewButton");
        PreviewDlg* preview = window.previewDlg();
        QVERIFY(preview != nullptr);
        QTRY_VERIFY(!preview->pending());
        auto* table = child<QTableWidget>(preview, "previewTable");
        QCOMPARE(control(preview, 1200), table);
        const auto row = [&](int r) {
            QStringList cells;
            for (int c = 0; c < table->columnCount(); ++c) {
                cells << (table->item(r, c) != nullptr ? table->item(r, c)->text() : QString());
            }
            return cells;
        };
        QCOMPARE(row(0), (QStringList{"1", "insert", "5", "101", "0", "1.20", "Pear"}));
        QCOMPARE(table->item(1, 1)->text(), QStringLiteral("no record (PLU 0 or no PLU number)"));
        QVERIFY(table->item(1, 1)->foreground().color() != table->item(0, 1)->foreground().color());

        // A column moved in the window, not saved: the table follows.
        clickRow(&window, 0);
        clickButton(&window, "downButton");
        QTRY_VERIFY(!preview->pending());
        QCOMPARE(row(0), (QStringList{"1", "insert", "101", "5", "0", "1.20", "Pear"}));

        // A rule added: the value it changed is marked.
        writeRulesFile(folder.paths.rulesFile, {{10, "Comm. Name(1)", "Pear", "Birne"}});
        QTRY_VERIFY(!preview->pending());
        QCOMPARE(row(0).last(), QStringLiteral("Birne *"));
        QVERIFY(std::filesystem::exists(folder.dataFile("PLU1.TXT"))); // nothing was sent
        window.hide();
    }

    void upOnTheFirstRowAndDownOnTheLastMoveNothing()
    {
        FormatFolder folder;
        folder.writeSettings({}, "[TYPE]\nFILETYPE=1\n");
        CPluFileSettingDlg& window = folder.window();
        window.prepareOpening();
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        auto* list = child<QTableWidget>(&window, "columnList");
        const QStringList before = columnTexts(&window, 1);

        clickRow(&window, 0);
        child<QLineEdit>(&window, "folderEdit")->setFocus();
        clickButton(&window, "upButton");
        QCOMPARE(columnTexts(&window, 1), before);
        QTRY_VERIFY(list->hasFocus());

        clickRow(&window, 3);
        child<QLineEdit>(&window, "folderEdit")->setFocus();
        clickButton(&window, "downButton");
        QCOMPARE(columnTexts(&window, 1), before);
        QTRY_VERIFY(list->hasFocus());

        // Up from the last row exchanges the fields; the selection follows.
        clickButton(&window, "upButton");
        QCOMPARE(columnTexts(&window, 1),
                 (QStringList{"PLU No", "Dept", "Unit Price", "Comm. Name(1)"}));
        QCOMPARE(list->selectionModel()->selectedRows().value(0).row(), 2);
        window.hide();
    }

    void aReopeningSelectsNoRowAndAPreviewEndingLateKeepsTheSave()
    {
        FormatFolder folder;
        folder.writeSettings({}, "[TYPE]\nFILETYPE=1\n");
        folder.writeData("PLU1.TXT", {"101,5,Apple,1.20"});
        CPluFileSettingDlg& window = folder.window();
        window.prepareOpening();
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        QVERIFY(waitForPreview(window));
        clickRow(&window, 0);
        window.hide();

        // Opened again: Down waits for a row to be clicked.
        window.prepareOpening();
        window.show();
        const QStringList order = columnTexts(&window, 1);
        clickButton(&window, "downButton");
        QCOMPARE(columnTexts(&window, 1), order);
        QVERIFY(
            child<QTableWidget>(&window, "columnList")->selectionModel()->selectedRows().isEmpty());

        // A Save while the sample is still read, then its values: OK has nothing left to ask.
        QVERIFY(window.separatedGroup().previewPending());
        folder.messages.clear();
        clickButton(&window, "saveButton");
        QVERIFY(waitForPreview(window));
        QCOMPARE(columnTexts(&window, 2), (QStringList{"101", "5", "Apple", "1.20"}));
        clickButton(&window, "okButton");
        QCOMPARE(messageTexts(folder.messages), (std::vector<std::string>{"Save is completed!"}));
        QCOMPARE(window.result(), int(QDialog::Accepted));
    }

    void replaceOpensTheRulesWindowWithTheFieldListForEitherType()
    {
        FormatFolder folder;
        folder.writeSettings({}, "[TYPE]\nFILETYPE=1\n");
        CPluFileSettingDlg& window = folder.window();
        window.prepareOpening();
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        for (const char* type : {"separateTypeRadio", "fixedTypeRadio"}) {
            if (auto* radio = window.findChild<QRadioButton*>(QString::fromLatin1(type))) {
                radio->click();
            }
            QVERIFY(child<QPushButton>(&window, "replaceButton")->isEnabled());
            QString title;
            int fields = -1;
            whenModal([&](QWidget* modal) {
                title = modal->windowTitle();
                fields = child<QComboBox>(modal, "fieldCombo")->count();
                clickButton(modal, "cancelButton");
            });
            clickButton(&window, "replaceButton");
            QCOMPARE(title, QStringLiteral("Replace"));
            QCOMPARE(fields, static_cast<int>(readPluFieldList(folder.paths.structFile).size()));
        }
        window.hide();
    }

    void okAsksToSaveUntilASaveSucceededAndNoWritesNothing()
    {
        FormatFolder folder;
        folder.writeSettings({}, "[TYPE]\nFILETYPE=1\n");
        folder.writeData("PLU1.TXT", {"101,5,Apple,1.20"}); // opening shows no message
        CPluFileSettingDlg& window = folder.window();
        const std::string before = readFile(folder.paths.tarvikIni);

        // Right after opening, OK asks; No closes with OK and writes nothing.
        int result = -1;
        folder.messages.clear();
        folder.messages.setNextAnswer(MessageAnswer::No);
        whenModal([](QWidget* modal) { clickButton(modal, "okButton"); });
        result = window.runModal();
        QCOMPARE(result, int(QDialog::Accepted));
        QCOMPARE(messageTexts(folder.messages).back(), std::string("Do you want to save?"));
        QCOMPARE(readFile(folder.paths.tarvikIni), before);
        QCOMPARE(readFile(folder.paths.pluIdIni), std::string(kPluId));

        // Cancel before any Save: closes with Cancel.
        whenModal([](QWidget* modal) { clickButton(modal, "cancelButton"); });
        QCOMPARE(window.runModal(), int(QDialog::Rejected));

        // After a successful Save, OK closes without asking and writes nothing more.
        folder.messages.clear();
        std::string saved;
        whenModal([&](QWidget* modal) {
            clickButton(modal, "saveButton");
            saved = readFile(folder.paths.tarvikIni);
            clickButton(modal, "okButton");
        });
        QCOMPARE(window.runModal(), int(QDialog::Accepted));
        QCOMPARE(messageTexts(folder.messages).back(), std::string("Save is completed!"));
        for (const auto& text : messageTexts(folder.messages)) {
            QVERIFY(text != "Do you want to save?");
        }
        QCOMPARE(readFile(folder.paths.tarvikIni), saved);

        // The saved flag stays: Cancel now closes with OK, also in a later opening.
        folder.messages.setNextAnswer(MessageAnswer::No);
        whenModal([](QWidget* modal) { clickButton(modal, "cancelButton"); });
        QCOMPARE(window.runModal(), int(QDialog::Accepted));
    }

    void yesWithAnEmptySeparatorSaysCheckDataAndStillWritesTheType()
    {
        FormatFolder folder;
        folder.writeSettings({}, "[TYPE]\nFILETYPE=2\n");
        CPluFileSettingDlg& window = folder.window();
        folder.messages.clear();
        whenModal([](QWidget* modal) {
            child<QRadioButton>(modal, "separateTypeRadio")->click();
            child<QLineEdit>(modal, "separatorEdit")->clear();
            clickButton(modal, "okButton");
        });
        QCOMPARE(window.runModal(), int(QDialog::Accepted));
        const auto texts = messageTexts(folder.messages);
        QCOMPARE(texts[texts.size() - 2], std::string("Do you want to save?"));
        QCOMPARE(texts.back(), std::string("Check data!"));
        QVERIFY(readFile(folder.paths.tarvikIni).find("FILETYPE=1") != std::string::npos);
    }

    void runIsRefusedWhileOpenAndUsesTheNewLayoutAfterOk()
    {
        TrayProgram program;
        writeFile(program.paths.structFile, kStructFile);
        writeFile(program.paths.pluIdIni, kPluId);
        program.start();
        program.writeData("PLU1.TXT", {"5;101;Apple;1.20"});

        bool refused = false;
        bool flagWhileOpen = false;
        whenModal([&](QWidget* modal) {
            flagWhileOpen = program.mainDlg->controller().windowOpen();
            program.mainDlg->OnTimer();
            refused = !program.runStarted();
            makeSemicolonLayout(modal);
        });
        QVERIFY(chooseMenuItem(program.menu(), "pluFileSettingAction"));
        QVERIFY(flagWhileOpen);
        QVERIFY(refused);
        QVERIFY(!program.mainDlg->controller().windowOpen());

        // The timer's run takes the layout loaded on OK, without a reload of its own.
        program.mainDlg->OnTimer();
        QVERIFY(program.runStarted());
        program.library.pump();
        QTRY_VERIFY(!program.mainDlg->controller().runBusy());
        const auto sent = program.library.sent();
        QCOMPARE(sent.size(), std::size_t{1});
        QCOMPARE(sent[0].number(0, 2), 5u);
        QCOMPARE(sent[0].plu(), 101u);
        QCOMPARE(sent[0].name(), std::string("Apple"));
        QCOMPARE(sent[0].number(443, 4), 120u);
    }

    void layoutMadeInTheWindowReachesTheSimulatedScale()
    {
        RunFolder shop;
        writeFile(shop.paths.structFile, kStructFile);
        writeFile(shop.paths.pluIdIni, kPluId);
        const std::string db = shop.dir.file("scales.db");
        sim::SimChildProcess sim({"--db", db, "--no-scan", "--scale", "127.0.0.2:0:QV7100"});
        shop.writeSettings({{"127.0.0.2", sim.scalePort(0)}});
        shop.writeData("PLU1.TXT", {"3;2001;Plums;4.99", "3;2002;Figs;12.5"});

        TcpScaleLibrary library;
        test::ProbingMessageSink sink;
        CMainDlg mainDlg({shop.paths, library, sink, shop.timer, shop.clock});
        mainDlg.OnCreate();
        // The start-up's run is refused while a window is open, so the first run follows OK.
        mainDlg.controller().setWindowOpen(true);
        mainDlg.OnInitDialog();
        mainDlg.controller().setWindowOpen(false);

        whenModal([&](QWidget* modal) { makeSemicolonLayout(modal); });
        QVERIFY(chooseMenuItem(mainDlg.trayIcon().menu(), "pluFileSettingAction"));
        mainDlg.OnTimer();
        QTRY_VERIFY_WITH_TIMEOUT(!mainDlg.controller().runBusy(), 30000);
        QTRY_COMPARE_WITH_TIMEOUT(test::storedRecords(db).size(), std::size_t{2}, 10000);
        QCOMPARE(test::storedRecords(db),
                 (std::vector<test::StoredPlu>{{3, 2001, 499, "Plums"}, {3, 2002, 1250, "Figs"}}));
    }
};

int runPluFileSettingDlgTest(int argc, char** argv)
{
    PluFileSettingDlgTest test;
    return QTest::qExec(&test, argc, argv);
}

} // namespace ostrel

#include "PluFileSettingDlgTest.moc"
