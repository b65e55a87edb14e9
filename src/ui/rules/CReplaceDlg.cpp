#include "ui/rules/CReplaceDlg.h"

#include "platform/CodePage.h"
#include "platform/MessageBox.h"
#include "ui/rules/RuleTextValidator.h"
#include "ui/shell/DialogUnits.h"

#include <QComboBox>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTableWidget>

#include <algorithm>

namespace ostrel {
namespace {

QString shown(const std::string& bytes)
{
    return QString::fromStdString(codePageToUtf8(bytes));
}

std::string stored(const QString& text)
{
    return utf8ToCodePage(text.toUtf8().toStdString());
}

struct Column
{
    const char* title;
    int width; // pixels at the designed font's average character width
};
constexpr int kDesignedBaseX = 6;
constexpr Column kColumns[] = {
    {"No", 30}, {"Field Name", 100}, {"Source text", 130}, {"Replace text", 130}};

} // namespace

CReplaceDlg::CReplaceDlg(std::vector<PluField> fields, const SettingsPaths& paths,
                         MessageSink& messages, QWidget* parent)
    : QDialog(parent), m_editor(std::move(fields)), m_rulesFile(paths.rulesFile),
      m_messages(messages)
{
    setObjectName(QStringLiteral("replaceDlg"));
    setWindowTitle(QStringLiteral("Replace"));
    setModal(true);
    setFont(dialogFont());
    createControls();
    fillFieldList();
    loadRules();
    updateButtons();
}

CReplaceDlg::~CReplaceDlg() = default;

void CReplaceDlg::openModal(std::vector<PluField> fields, const SettingsPaths& paths,
                            MessageSink& messages, QWidget* parent)
{
    CReplaceDlg dialog(std::move(fields), paths, messages, parent);
    dialog.exec();
}

void CReplaceDlg::createControls()
{
    const DialogUnits units(font());
    setFixedSize(units.size(293, 208));

    const auto label = [&](const char* name, const char* text, int x, int y, int w) {
        auto* control = new QLabel(QString::fromLatin1(text), this);
        control->setObjectName(QString::fromLatin1(name));
        units.place(*control, x, y, w, 8);
    };
    const auto button = [&](const char* name, const char* text, int id, int x, int y) {
        auto* control = new QPushButton(QString::fromLatin1(text), this);
        control->setObjectName(QString::fromLatin1(name));
        control->setProperty("controlId", id);
        // None is the default button: Enter in an edit must not add, delete or write.
        control->setAutoDefault(false);
        units.place(*control, x, y, 50, 14);
        return control;
    };
    const auto edit = [&](const char* name, int id, int y) {
        auto* control = new QLineEdit(this);
        control->setObjectName(QString::fromLatin1(name));
        control->setProperty("controlId", id);
        control->setValidator(new RuleTextValidator(control));
        units.place(*control, 60, y, 225, 14);
        return control;
    };

    label("fieldLabel", "Field:", 10, 10, 19);
    m_field = new QComboBox(this);
    m_field->setObjectName(QStringLiteral("fieldCombo"));
    m_field->setProperty("controlId", kFieldId);
    // The designed height includes the open list; the closed box is as high as the edits.
    units.place(*m_field, 60, 7, 115, 14);
    const int rowHeight = std::max(1, m_field->fontMetrics().height() + 2);
    m_field->setMaxVisibleItems(std::max(1, (units.y(109) - units.y(14)) / rowHeight));

    label("findLabel", "Find what:", 10, 25, 34);
    m_find = edit("findEdit", kFindId, 22);
    label("replaceLabel", "Replace with:", 10, 40, 45);
    m_replace = edit("replaceEdit", kReplaceId, 37);

    m_add = button("addButton", "Add", kAddId, 180, 55);
    m_edit = button("editButton", "Edit", kEditId, 235, 55);

    m_rules = new QTableWidget(0, static_cast<int>(std::size(kColumns)), this);
    m_rules->setObjectName(QStringLiteral("rulesList"));
    m_rules->setProperty("controlId", kRulesListId);
    units.place(*m_rules, 5, 75, 280, 110);
    m_rules->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_rules->setSelectionMode(QAbstractItemView::SingleSelection);
    m_rules->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_rules->setShowGrid(true);
    m_rules->setWordWrap(false);
    m_rules->verticalHeader()->hide();
    m_rules->verticalHeader()->setDefaultSectionSize(m_rules->fontMetrics().height() + 4);
    m_rules->horizontalHeader()->setStretchLastSection(false);
    m_rules->horizontalHeader()->setHighlightSections(false);
    m_rules->horizontalHeader()->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    for (int column = 0; column < m_rules->columnCount(); ++column) {
        const Column& heading = kColumns[column];
        m_rules->setHorizontalHeaderItem(column,
                                         new QTableWidgetItem(QString::fromLatin1(heading.title)));
        // Wider where our font is wider, so that the texts the columns were made for still fit.
        m_rules->setColumnWidth(column, (heading.width * units.baseX() + kDesignedBaseX / 2) /
                                            kDesignedBaseX);
    }

    m_delete = button("deleteButton", "&Delete", kDeleteId, 125, 190);
    m_ok = button("okButton", "&OK", kOkId, 180, 190);
    m_cancel = button("cancelButton", "Cancel", kCancelId, 235, 190);

    connect(m_field, &QComboBox::currentIndexChanged, this, &CReplaceDlg::updateButtons);
    connect(m_add, &QPushButton::clicked, this, &CReplaceDlg::onAdd);
    connect(m_edit, &QPushButton::clicked, this, &CReplaceDlg::onEdit);
    connect(m_delete, &QPushButton::clicked, this, &CReplaceDlg::onDelete);
    connect(m_ok, &QPushButton::clicked, this, &CReplaceDlg::onOk);
    connect(m_cancel, &QPushButton::clicked, this, &QDialog::reject);
    connect(m_rules, &QTableWidget::itemSelectionChanged, this, &CReplaceDlg::onRowSelected);
}

void CReplaceDlg::fillFieldList()
{
    for (const PluField& field : m_editor.fields()) {
        m_field->addItem(shown(field.name));
    }
    m_field->setCurrentIndex(m_editor.fields().empty() ? -1 : 0);
}

void CReplaceDlg::loadRules()
{
    if (m_editor.load(m_rulesFile) == RulesLoad::Unreadable) {
        // Saving would replace rules the user cannot see, so say so before anything else.
        m_messages.ShowMessage("The replacement rules file " + utf8ToCodePage(m_rulesFile) +
                                   " cannot be read. The list starts empty.",
                               "Ostrel", MessageIcon::Warning, MessageButtons::Ok);
    }
    const auto& rules = m_editor.rules();
    m_rules->setRowCount(static_cast<int>(rules.size()));
    for (std::size_t row = 0; row < rules.size(); ++row) {
        showRule(static_cast<int>(row), rules[row]);
    }
}

void CReplaceDlg::showRule(int row, const ReplaceRule& rule)
{
    const QString texts[] = {QString::number(rule.fieldNumber), shown(rule.fieldName),
                             shown(rule.findText), shown(rule.replaceText)};
    for (int column = 0; column < m_rules->columnCount(); ++column) {
        if (QTableWidgetItem* item = m_rules->item(row, column)) {
            item->setText(texts[column]);
        } else {
            m_rules->setItem(row, column, new QTableWidgetItem(texts[column]));
        }
    }
}

std::optional<std::size_t> CReplaceDlg::chosenField() const
{
    const int index = m_field->currentIndex();
    if (index < 0) {
        return std::nullopt;
    }
    return static_cast<std::size_t>(index);
}

void CReplaceDlg::onAdd()
{
    const RuleEditOutcome outcome =
        m_editor.add(chosenField(), stored(m_find->text()), stored(m_replace->text()));
    if (outcome != RuleEditOutcome::Done) {
        explainRefusal(outcome);
        return;
    }
    const int row = m_rules->rowCount();
    m_rules->insertRow(row);
    showRule(row, m_editor.rules().back());
    m_find->clear();
    m_replace->clear();
    updateButtons();
}

void CReplaceDlg::onEdit()
{
    const auto row = m_editor.rememberedRow();
    const RuleEditOutcome outcome =
        m_editor.edit(chosenField(), stored(m_find->text()), stored(m_replace->text()));
    if (outcome != RuleEditOutcome::Done) {
        explainRefusal(outcome);
        return;
    }
    showRule(static_cast<int>(*row), m_editor.rules()[*row]);
}

void CReplaceDlg::onDelete()
{
    const auto row = m_editor.rememberedRow();
    if (!row || !m_editor.deleteRemembered()) {
        return;
    }
    m_changingRows = true;
    m_rules->removeRow(static_cast<int>(*row));
    // As before the deletion nothing is selected until the user picks a row again.
    m_rules->clearSelection();
    m_rules->setCurrentIndex(QModelIndex());
    m_changingRows = false;
    updateButtons();
}

void CReplaceDlg::onOk()
{
    if (!m_editor.save(m_rulesFile)) {
        // Closing would lose the user's edits without a word; let them retry or cancel.
        m_messages.ShowMessage("The replacement rules could not be saved to " +
                                   utf8ToCodePage(m_rulesFile) + ".",
                               "Ostrel", MessageIcon::Warning, MessageButtons::Ok);
        return;
    }
    accept();
}

void CReplaceDlg::onRowSelected()
{
    if (m_changingRows) {
        return;
    }
    const QList<QTableWidgetItem*> selected = m_rules->selectedItems();
    if (selected.isEmpty()) {
        return;
    }
    const int row = selected.front()->row();
    const std::optional<std::size_t> field = m_editor.selectRow(static_cast<std::size_t>(row));
    m_field->setCurrentIndex(field ? static_cast<int>(*field) : -1);
    const ReplaceRule& rule = m_editor.rules()[static_cast<std::size_t>(row)];
    m_find->setText(shown(rule.findText));
    m_replace->setText(shown(rule.replaceText));
    updateButtons();
}

void CReplaceDlg::explainRefusal(RuleEditOutcome outcome)
{
    const std::string_view text = ruleEditMessage(outcome);
    if (text.empty()) {
        return;
    }
    m_messages.ShowMessage(std::string(text), "Ostrel", MessageIcon::Warning, MessageButtons::Ok);
    if (outcome == RuleEditOutcome::NoFindText) {
        m_find->setFocus();
    } else if (outcome == RuleEditOutcome::NoReplaceText) {
        m_replace->setFocus();
    }
}

void CReplaceDlg::updateButtons()
{
    m_add->setEnabled(m_editor.canAdd(chosenField()));
    m_edit->setEnabled(m_editor.canEdit(chosenField()));
    m_delete->setEnabled(m_editor.canDelete());
}

void CReplaceDlg::keyPressEvent(QKeyEvent* event)
{
    const bool enter = event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter;
    if (!enter) {
        QDialog::keyPressEvent(event);
        return;
    }
    // Enter presses the button that has the focus; anywhere else it closes the window without
    // writing, as Escape does: only "&OK" writes the file.
    if (auto* button = qobject_cast<QPushButton*>(focusWidget())) {
        if (button->isEnabled()) {
            button->click();
        }
        return;
    }
    accept();
}

} // namespace ostrel
