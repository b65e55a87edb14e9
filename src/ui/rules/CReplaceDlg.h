// The "Replace" window: edits the replacement rules of plumatch.mch over the core's rule list,
// for the PLU fields its opener hands in. Only "&OK" writes the file.
#pragma once

#include "format/StructFile.h"
#include "rules/RuleListEditor.h"
#include "settings/SettingsPaths.h"

#include <QDialog>

#include <optional>
#include <vector>

class QComboBox;
class QLineEdit;
class QPushButton;
class QTableWidget;

namespace ostrel {

class MessageSink;

class CReplaceDlg final : public QDialog
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(CReplaceDlg)

public:
    static constexpr int kFieldId = 1094;
    static constexpr int kAddId = 1095;
    static constexpr int kEditId = 1096;
    static constexpr int kFindId = 1097;
    static constexpr int kReplaceId = 1098;
    static constexpr int kCancelId = 1099;
    static constexpr int kDeleteId = 1054;
    static constexpr int kOkId = 1055;
    static constexpr int kRulesListId = 6118;

    // `fields`: the PLU field list of plustruct.str (number and name), in its order.
    CReplaceDlg(std::vector<PluField> fields, const SettingsPaths& paths, MessageSink& messages,
                QWidget* parent = nullptr);
    ~CReplaceDlg() override;

    // What the opener calls: the window, modal, over a copy of its field list.
    static void openModal(std::vector<PluField> fields, const SettingsPaths& paths,
                          MessageSink& messages, QWidget* parent);

protected:
    void keyPressEvent(QKeyEvent* event) override;

private:
    void createControls();
    void fillFieldList();
    void loadRules();
    void showRule(int row, const ReplaceRule& rule);

    void onAdd();
    void onEdit();
    void onDelete();
    void onOk();
    void onRowSelected();
    // Tells what a refused Add or Edit lacks, and puts the focus where it is missing.
    void explainRefusal(RuleEditOutcome outcome);
    void updateButtons();

    std::optional<std::size_t> chosenField() const;

    RuleListEditor m_editor;
    std::string m_rulesFile;
    MessageSink& m_messages;
    // Set while rows are removed, so that the list's own selection moves are not taken as the
    // user's.
    bool m_changingRows = false;

    QComboBox* m_field = nullptr;
    QLineEdit* m_find = nullptr;
    QLineEdit* m_replace = nullptr;
    QPushButton* m_add = nullptr;
    QPushButton* m_edit = nullptr;
    QTableWidget* m_rules = nullptr;
    QPushButton* m_delete = nullptr;
    QPushButton* m_ok = nullptr;
    QPushButton* m_cancel = nullptr;
};

} // namespace ostrel
