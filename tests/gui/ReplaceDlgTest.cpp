// The replacement rules window: its controls, what the list shows, the Add, Edit and Delete
// buttons, the text limit and code page, and which ways of closing write plumatch.mch.
#include "TestSupport.h"

#include "platform/MessageBox.h"
#include "settings/SettingsPaths.h"
#include "ui/rules/CReplaceDlg.h"
#include "ui/shell/DialogUnits.h"

#include <QComboBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTableWidget>
#include <QtTest>

#include <filesystem>
#include <memory>

namespace ostrel {
namespace {

using namespace std::string_literals;

const std::vector<PluField> kFields = {{1, "Dept"}, {2, "PLU No"}, {10, "Comm. Name(1)"}};

std::string record(const std::string& number, const std::string& name, const std::string& find,
                   const std::string& replace)
{
    return number + name + test::zeros(100 - name.size()) + find + test::zeros(100 - find.size()) +
           replace + test::zeros(100 - replace.size());
}

// Three rules written by hand; the third names a field the list does not have.
const std::string kThreeRules = record("\x01\0\0\0"s, "Dept", "10", "3") +
                                record("\x0A\0\0\0"s, "Comm. Name(1)", "Caf\xE9", "Coffee") +
                                record("\x2C\x01\0\0"s, "Old field", "A", "B");

// A documents folder with its settings folder, and the window over it.
class Window
{
public:
    explicit Window(std::optional<std::string> rulesBytes = std::nullopt)
        : paths(SettingsPaths::fromDocuments(dir.path()))
    {
        std::filesystem::create_directories(paths.configFolder);
        if (rulesBytes) {
            test::writeFile(paths.rulesFile, *rulesBytes);
        }
        dialog = std::make_unique<CReplaceDlg>(kFields, paths, sink);
        dialog->show();
    }

    template <typename T> T* get(const char* name) const
    {
        return dialog->findChild<T*>(QString::fromLatin1(name));
    }
    QComboBox* field() const { return get<QComboBox>("fieldCombo"); }
    QLineEdit* find() const { return get<QLineEdit>("findEdit"); }
    QLineEdit* replace() const { return get<QLineEdit>("replaceEdit"); }
    QTableWidget* list() const { return get<QTableWidget>("rulesList"); }
    void click(const char* button) const
    {
        QTest::mouseClick(get<QPushButton>(button), Qt::LeftButton);
    }
    void clickRow(int row) const
    {
        const QRect cell = list()->visualItemRect(list()->item(row, 2));
        QTest::mouseClick(list()->viewport(), Qt::LeftButton, {}, cell.center());
    }
    // Types the text key by key (QTest::keyClicks knows ASCII only).
    void type(QLineEdit* edit, const QString& text) const
    {
        edit->clear();
        for (const QChar character : text) {
            QTest::sendKeyEvent(QTest::Click, edit, Qt::Key_unknown, QString(character),
                                Qt::NoModifier);
        }
    }
    QStringList row(int index) const
    {
        QStringList texts;
        for (int column = 0; column < list()->columnCount(); ++column) {
            texts << list()->item(index, column)->text();
        }
        return texts;
    }
    bool enabled(const char* button) const { return get<QPushButton>(button)->isEnabled(); }
    std::string file() const { return test::readFile(paths.rulesFile); }
    bool fileExists() const { return std::filesystem::exists(paths.rulesFile); }

    test::TempDir dir;
    SettingsPaths paths;
    RecordingMessageSink sink;
    std::unique_ptr<CReplaceDlg> dialog;
};

} // namespace

class ReplaceDlgTest final : public QObject
{
    Q_OBJECT

private slots:
    void controlsSitAtTheirPlacesWithTheirIds()
    {
        Window w;
        QCOMPARE(w.dialog->windowTitle(), QStringLiteral("Replace"));
        QVERIFY(w.dialog->isModal());
        const DialogUnits units(w.dialog->font());
        QCOMPARE(w.dialog->size(), units.size(293, 208));

        struct Expected
        {
            const char* name;
            int id;
            QRect rect;
            const char* text;
        };
        const Expected controls[] = {
            {"fieldCombo", 1094, units.rect(60, 7, 115, 14), nullptr},
            {"findEdit", 1097, units.rect(60, 22, 225, 14), nullptr},
            {"replaceEdit", 1098, units.rect(60, 37, 225, 14), nullptr},
            {"addButton", 1095, units.rect(180, 55, 50, 14), "Add"},
            {"editButton", 1096, units.rect(235, 55, 50, 14), "Edit"},
            {"rulesList", 6118, units.rect(5, 75, 280, 110), nullptr},
            {"deleteButton", 1054, units.rect(125, 190, 50, 14), "&Delete"},
            {"okButton", 1055, units.rect(180, 190, 50, 14), "&OK"},
            {"cancelButton", 1099, units.rect(235, 190, 50, 14), "Cancel"},
        };
        for (const Expected& expected : controls) {
            auto* control = w.get<QWidget>(expected.name);
            QVERIFY2(control != nullptr, expected.name);
            QCOMPARE(control->property("controlId").toInt(), expected.id);
            QCOMPARE(control->geometry(), expected.rect);
            if (auto* button = qobject_cast<QPushButton*>(control)) {
                QCOMPARE(button->text(), QString::fromLatin1(expected.text));
                QVERIFY(!button->isDefault());
            }
        }
        QCOMPARE(w.get<QLabel>("fieldLabel")->text(), QStringLiteral("Field:"));
        QCOMPARE(w.get<QLabel>("findLabel")->text(), QStringLiteral("Find what:"));
        QCOMPARE(w.get<QLabel>("replaceLabel")->text(), QStringLiteral("Replace with:"));

        const QStringList titles = {"No", "Field Name", "Source text", "Replace text"};
        const int widths[] = {30, 100, 130, 130};
        QCOMPARE(w.list()->columnCount(), 4);
        for (int column = 0; column < 4; ++column) {
            QCOMPARE(w.list()->horizontalHeaderItem(column)->text(), titles[column]);
            // The designed pixel widths, grown with the font's average character width.
            QCOMPARE(w.list()->columnWidth(column), qRound(widths[column] * units.baseX() / 6.0));
        }
        QCOMPARE(w.list()->selectionMode(), QAbstractItemView::SingleSelection);
        QCOMPARE(w.list()->selectionBehavior(), QAbstractItemView::SelectRows);

        // The fields in their order, the first chosen.
        QCOMPARE(w.field()->count(), 3);
        QCOMPARE(w.field()->itemText(2), QStringLiteral("Comm. Name(1)"));
        QCOMPARE(w.field()->currentIndex(), 0);
        QVERIFY(w.enabled("addButton"));
        QVERIFY(!w.enabled("editButton"));
        QVERIFY(!w.enabled("deleteButton"));
    }

    void threeRulesShownInFileOrderAndOkWritesTheSameBytes()
    {
        Window w(kThreeRules);
        QCOMPARE(w.list()->rowCount(), 3);
        QCOMPARE(w.row(0), (QStringList{"1", "Dept", "10", "3"}));
        QCOMPARE(w.row(1),
                 (QStringList{"10", "Comm. Name(1)", QString::fromUtf8("Caf\xC3\xA9"), "Coffee"}));
        QCOMPARE(w.row(2), (QStringList{"300", "Old field", "A", "B"})); // the field number

        test::writeFile(w.paths.rulesFile, "changed meanwhile");
        w.click("okButton");
        QCOMPARE(w.dialog->result(), int(QDialog::Accepted));
        QVERIFY(!w.dialog->isVisible());
        QCOMPARE(w.file(), kThreeRules);
        QVERIFY(w.sink.messages().empty());
    }

    void addRefusesEmptyTexts()
    {
        Window w;
        w.click("addButton");
        auto messages = w.sink.messages();
        QCOMPARE(messages.size(), std::size_t{1});
        QCOMPARE(messages[0].text, "Enter the text to find for replace!"s);
        QCOMPARE(messages[0].caption, "Ostrel"s);
        QVERIFY(messages[0].icon == MessageIcon::Warning);
        QCOMPARE(w.dialog->focusWidget(), w.find());

        w.type(w.find(), "10");
        w.click("addButton");
        messages = w.sink.messages();
        QCOMPARE(messages.size(), std::size_t{2});
        QCOMPARE(messages[1].text, "Enter the text to be replaced!"s);
        QCOMPARE(w.dialog->focusWidget(), w.replace());
        QCOMPARE(w.list()->rowCount(), 0);
        QCOMPARE(w.find()->text(), QStringLiteral("10"));
    }

    void addAppendsAndClearsEditOverwritesAndKeeps()
    {
        Window w(kThreeRules);
        w.field()->setCurrentIndex(1);
        w.type(w.find(), "7");
        w.type(w.replace(), "70");
        w.click("addButton");
        QCOMPARE(w.list()->rowCount(), 4);
        QCOMPARE(w.row(3), (QStringList{"2", "PLU No", "7", "70"}));
        QVERIFY(w.find()->text().isEmpty());
        QVERIFY(w.replace()->text().isEmpty());

        w.clickRow(0);
        QCOMPARE(w.field()->currentIndex(), 0);
        QCOMPARE(w.find()->text(), QStringLiteral("10"));
        QCOMPARE(w.replace()->text(), QStringLiteral("3"));
        QVERIFY(w.enabled("editButton"));
        w.field()->setCurrentIndex(2);
        w.type(w.replace(), "4");
        w.click("editButton");
        QCOMPARE(w.row(0), (QStringList{"10", "Comm. Name(1)", "10", "4"}));
        QCOMPARE(w.find()->text(), QStringLiteral("10"));
        QCOMPARE(w.replace()->text(), QStringLiteral("4"));
        QCOMPARE(w.list()->rowCount(), 4);

        // Edit with an empty text says so and leaves the row.
        w.find()->clear();
        w.click("editButton");
        QCOMPARE(w.sink.messages().back().text, "Enter the text to find for replace!"s);
        QCOMPARE(w.row(0), (QStringList{"10", "Comm. Name(1)", "10", "4"}));

        w.click("okButton");
        QCOMPARE(w.file().size(), std::size_t{4 * 304});
        QCOMPARE(w.file().substr(0, 304), record("\x0A\0\0\0"s, "Comm. Name(1)", "10", "4"));
        QCOMPARE(w.file().substr(3 * 304), record("\x02\0\0\0"s, "PLU No", "7", "70"));
    }

    void aRowWithAnUnknownFieldNameLeavesFieldUnselected()
    {
        Window w(kThreeRules);
        w.clickRow(2);
        QCOMPARE(w.field()->currentIndex(), -1);
        QCOMPARE(w.find()->text(), QStringLiteral("A"));
        // No field to give a rule: Add and Edit have nothing to act on.
        QVERIFY(!w.enabled("addButton"));
        QVERIFY(!w.enabled("editButton"));
        QVERIFY(w.enabled("deleteButton"));
        w.clickRow(1);
        QCOMPARE(w.field()->currentIndex(), 2);
        QVERIFY(w.enabled("addButton"));
    }

    void deleteTwiceRemovesTheRowThatMovedUp()
    {
        Window w(kThreeRules);
        w.clickRow(0);
        w.click("deleteButton");
        QCOMPARE(w.list()->rowCount(), 2);
        QCOMPARE(w.row(0)[2], QStringLiteral("Caf\xE9"));
        QVERIFY(w.list()->selectedItems().isEmpty());
        w.click("deleteButton");
        QCOMPARE(w.list()->rowCount(), 1);
        QCOMPARE(w.row(0)[2], QStringLiteral("A"));
        w.click("deleteButton");
        QCOMPARE(w.list()->rowCount(), 0);
        QVERIFY(!w.enabled("deleteButton"));
        QVERIFY(!w.enabled("editButton"));

        w.click("okButton");
        QVERIFY(w.fileExists());
        QCOMPARE(w.file(), ""s); // an empty list leaves an empty file
    }

    void the102ndRuleIsRefused()
    {
        std::string bytes;
        for (int i = 0; i < 101; ++i) {
            bytes += record("\x01\0\0\0"s, "Dept", std::to_string(i), "x");
        }
        Window w(bytes);
        QCOMPARE(w.list()->rowCount(), 101);
        w.type(w.find(), "101");
        w.type(w.replace(), "x");
        w.click("addButton");
        QCOMPARE(w.list()->rowCount(), 101);
        QCOMPARE(w.sink.messages().size(), std::size_t{1});
        QVERIFY(QString::fromStdString(w.sink.messages()[0].text).contains("101"));
        QCOMPARE(w.find()->text(), QStringLiteral("101")); // nothing the user typed is lost
    }

    void editsTakeAtMost99BytesInTheCodePage()
    {
        Window w;
        w.type(w.find(), QString(100, QChar('f')));
        QCOMPARE(w.find()->text(), QString(99, QChar('f')));

        // A paste into the middle is cut where it went in; what was there stays.
        w.find()->setText(QStringLiteral("ab"));
        w.find()->setCursorPosition(1);
        w.find()->insert(QString(120, QChar('x')));
        QCOMPARE(w.find()->text(), QChar('a') + QString(97, QChar('x')) + QChar('b'));

        // "é" is one byte in CP1252: 99 of them fit.
        w.type(w.replace(), QString(100, QChar(0xE9)));
        QCOMPARE(w.replace()->text(), QString(99, QChar(0xE9)));
        w.click("addButton");
        QCOMPARE(w.list()->rowCount(), 1);
    }

    void nonAsciiTextsArriveAsCodePageBytes()
    {
        Window w;
        w.field()->setCurrentIndex(2);
        w.type(w.find(), QString::fromUtf8("Cr\xC3\xA8me"));
        w.type(w.replace(), QString::fromUtf8("Caf\xC3\xA9 \xE2\x82\xAC"));
        w.click("addButton");
        w.click("okButton");
        QCOMPARE(w.file(), record("\x0A\0\0\0"s, "Comm. Name(1)", "Cr\xE8me", "Caf\xE9 \x80"));

        // And back: the stored bytes show as the characters they stand for.
        CReplaceDlg again(kFields, w.paths, w.sink);
        auto* list = again.findChild<QTableWidget*>("rulesList");
        QCOMPARE(list->item(0, 2)->text(), QString::fromUtf8("Cr\xC3\xA8me"));
        QCOMPARE(list->item(0, 3)->text(), QString::fromUtf8("Caf\xC3\xA9 \xE2\x82\xAC"));
    }

    void onlyOkWrites()
    {
        for (const char* way : {"cancel", "escape", "enter"}) {
            Window w(kThreeRules);
            w.clickRow(0);
            w.click("deleteButton");
            if (way == std::string("cancel")) {
                w.click("cancelButton");
            } else {
                w.find()->setFocus();
                QTest::keyClick(w.find(),
                                way == std::string("escape") ? Qt::Key_Escape : Qt::Key_Return);
            }
            QVERIFY2(!w.dialog->isVisible(), way);
            QVERIFY2(w.file() == kThreeRules, way);
        }
        Window w; // no file, and none made by Cancel
        w.click("cancelButton");
        QVERIFY(!w.fileExists());
    }

    void aFailedSaveSaysSoAndStaysOpen()
    {
        Window w(kThreeRules);
        std::filesystem::remove_all(w.paths.configFolder);
        w.click("okButton");
        QVERIFY(w.dialog->isVisible());
        QCOMPARE(w.sink.messages().size(), std::size_t{1});
        QVERIFY(QString::fromStdString(w.sink.messages()[0].text).contains("plumatch.mch"));
        QCOMPARE(w.list()->rowCount(), 3);

        std::filesystem::create_directories(w.paths.configFolder);
        w.click("okButton");
        QVERIFY(!w.dialog->isVisible());
        QCOMPARE(w.file(), kThreeRules);
    }
};

int runReplaceDlgTest(int argc, char** argv)
{
    ReplaceDlgTest test;
    return QTest::qExec(&test, argc, argv);
}

} // namespace ostrel

#include "ReplaceDlgTest.moc"
