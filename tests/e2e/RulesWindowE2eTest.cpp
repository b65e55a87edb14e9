// A rule made in the replacement rules window reaches a simulated scale in the next run.
#include "E2eSupport.h"

#include "format/StructFile.h"
#include "platform/MessageBox.h"
#include "settings/SettingsPaths.h"
#include "ui/rules/CReplaceDlg.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

#include <cstdlib>

namespace ostrel::e2e {
namespace {

// Makes the rule as a user would: choose the field, type both texts, Add, then "&OK".
void makeRuleInTheWindow(const SettingsPaths& paths, const QString& fieldName,
                         const QString& findText, const QString& replaceText)
{
    ::setenv("QT_QPA_PLATFORM", "offscreen", 0);
    int argc = 1;
    char name[] = "test_e2e_rules_window";
    char* argv[] = {name, nullptr};
    QApplication app(argc, argv);

    RecordingMessageSink sink;
    CReplaceDlg dialog(readPluFieldList(paths.structFile), paths, sink);
    dialog.show();
    auto* field = dialog.findChild<QComboBox*>("fieldCombo");
    ASSERT_NE(field, nullptr);
    const int index = field->findText(fieldName);
    ASSERT_GE(index, 0) << "no such field in plustruct.str";
    field->setCurrentIndex(index);
    QTest::keyClicks(dialog.findChild<QLineEdit*>("findEdit"), findText);
    QTest::keyClicks(dialog.findChild<QLineEdit*>("replaceEdit"), replaceText);
    QTest::mouseClick(dialog.findChild<QPushButton*>("addButton"), Qt::LeftButton);
    QTest::mouseClick(dialog.findChild<QPushButton*>("okButton"), Qt::LeftButton);
    EXPECT_EQ(dialog.result(), QDialog::Accepted);
    EXPECT_TRUE(sink.messages().empty());
}

TEST(RulesWindowE2e, DepartmentRuleMadeInTheWindowChangesWhatTheScaleReceives)
{
    Shop shop;
    SimulatedScales sim({{"127.0.0.2"}}, shop.db(), shop.outputPrefix("sim"));
    shop.addScale("127.0.0.2", sim.port(0));
    const SettingsPaths paths = SettingsPaths::fromDocuments(shop.documents());

    makeRuleInTheWindow(paths, "Dept", "10", "3");
    if (::testing::Test::HasFatalFailure()) {
        return;
    }

    // Only a whole department value of 10 is replaced: not 100, not another field's 10.
    shop.dropFile("A", "10,500,0,Apple,2.50,500\r\n"
                       "100,501,0,Pear,1.25,501\r\n"
                       "1,10,0,Plum,0.75,10\r\n");
    const RunResult run = shop.runOstrel({"--once"});
    ASSERT_EQ(run.exitCode, 0) << run.out << run.err;

    const auto records = receivedRecords(shop.db());
    ASSERT_EQ(records.size(), 3u);
    EXPECT_EQ(records[0].pluNumber, 500);
    EXPECT_EQ(records[0].department, 3);
    EXPECT_EQ(records[1].department, 100);
    EXPECT_EQ(records[2].pluNumber, 10);
    EXPECT_EQ(records[2].department, 1);
}

} // namespace
} // namespace ostrel::e2e
