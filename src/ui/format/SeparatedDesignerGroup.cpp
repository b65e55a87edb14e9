#include "ui/format/SeparatedDesignerGroup.h"

#include "format/LayoutKeys.h"
#include "format/PluFileSettingSession.h"
#include "format/SampleFile.h"
#include "platform/FileSystem.h"
#include "platform/MessageBox.h"
#include "settings/SearchPattern.h"
#include "settings/SettingsProblems.h"
#include "ui/format/FormatControls.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QEvent>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPushButton>
#include <QRadioButton>
#include <QStyle>
#include <QTableWidget>

namespace ostrel {

SeparatedDesignerGroup::SeparatedDesignerGroup(QWidget* window, const DialogUnits& units,
                                               Context context)
    : QObject(window), m_context(context)
{
    createControls(window, units);
    connectControls();
}

SeparatedDesignerGroup::~SeparatedDesignerGroup() = default;

void SeparatedDesignerGroup::createControls(QWidget* window, const DialogUnits& units)
{
    auto* startRowLabel = placeControl<QLabel>(window, units, "startRowLabel", 0, {17, 142, 38, 12},
                                               QStringLiteral("Start Row :"));
    startRowLabel->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    m_startRow = placeControl<QComboBox>(window, units, "startRowCombo", 1083, {59, 140, 45, 12});
    m_startRow->setEditable(true);
    m_startRow->setInsertPolicy(QComboBox::NoInsert);

    auto* commentLabel = placeControl<QLabel>(window, units, "commentLabel", 1070, {8, 160, 47, 9},
                                              QStringLiteral("Comment :"));
    commentLabel->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    m_comment = placeControl<QLineEdit>(window, units, "commentEdit", 1064, {59, 158, 45, 12});

    auto* delimiterLabel = placeControl<QLabel>(window, units, "delimiterLabel", 1069,
                                                {20, 177, 35, 9}, QStringLiteral("Delimiter :"));
    delimiterLabel->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    m_tab = placeControl<QRadioButton>(window, units, "tabRadio", 1100, {60, 177, 29, 10},
                                       QStringLiteral("Tab"));
    m_typed = placeControl<QRadioButton>(window, units, "typedSeparatorRadio", 1101,
                                         {100, 177, 8, 8}, QString());
    auto* separators = new QButtonGroup(this);
    separators->addButton(m_tab);
    separators->addButton(m_typed);
    m_separator = placeControl<QLineEdit>(window, units, "separatorEdit", 1063, {111, 175, 45, 12});
    m_itemIsPlu = placeControl<QCheckBox>(window, units, "itemIsPluCheck", 1103, {20, 194, 81, 10},
                                          QStringLiteral("Item code = PLU No"));
    m_encoding = placeControl<QLabel>(window, units, "separatedEncodingLabel", 1104,
                                      {106, 195, 126, 9}, QString());

    m_read = placeControl<QPushButton>(window, units, "readButton", 1075, {12, 210, 34, 21},
                                       QStringLiteral("Read"));
    m_save = placeControl<QPushButton>(window, units, "saveButton", 1067, {49, 210, 34, 21},
                                       QStringLiteral("Save"));
    m_clearAll = placeControl<QPushButton>(window, units, "clearAllButton", 1068, {86, 210, 34, 21},
                                           QStringLiteral("Clear All"));
    m_default = placeControl<QPushButton>(window, units, "defaultButton", 1073, {123, 210, 34, 21},
                                          QStringLiteral("Default"));
    for (QPushButton* button : {m_read, m_save, m_clearAll, m_default}) {
        button->setAutoDefault(false);
    }

    m_list = placeControl<QTableWidget>(window, units, "columnList", 1076, {12, 240, 204, 79});
    m_list->setColumnCount(3);
    m_list->setHorizontalHeaderLabels(
        {QStringLiteral("ID"), QStringLiteral("Name"), QStringLiteral("Value")});
    m_list->horizontalHeader()->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    m_list->horizontalHeader()->setHighlightSections(false);
    m_list->setColumnWidth(0, 30);
    m_list->setColumnWidth(1, 170);
    m_list->setColumnWidth(2, 120);
    m_list->verticalHeader()->hide();
    m_list->verticalHeader()->setDefaultSectionSize(m_list->fontMetrics().height() + 4);
    m_list->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_list->setSelectionMode(QAbstractItemView::SingleSelection);
    m_list->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_list->setShowGrid(true);
    m_list->viewport()->installEventFilter(this);

    m_up = placeControl<QPushButton>(window, units, "upButton", 1078, {220, 257, 12, 14},
                                     QStringLiteral("↑"));
    m_down = placeControl<QPushButton>(window, units, "downButton", 1079, {220, 285, 12, 14},
                                       QStringLiteral("↓"));
    m_up->setAutoDefault(false);
    m_down->setAutoDefault(false);
}

void SeparatedDesignerGroup::connectControls()
{
    PluFileSettingSession& session = m_context.session;
    connect(m_separator, &QLineEdit::textChanged, this, [&session] { session.markModified(); });
    connect(m_comment, &QLineEdit::textChanged, this, [&session] { session.markModified(); });
    connect(m_startRow, &QComboBox::activated, this, [&session] { session.markModified(); });
    // The two radio buttons switch the separator edit and nothing else.
    connect(m_tab, &QRadioButton::clicked, this, [this] {
        if (m_tab->isChecked()) {
            m_separator->setEnabled(false);
        }
    });
    connect(m_typed, &QRadioButton::clicked, this, [this] {
        if (m_typed->isChecked()) {
            m_separator->setEnabled(true);
        }
    });
    connect(m_read, &QPushButton::clicked, this, &SeparatedDesignerGroup::readRequested);
    connect(m_save, &QPushButton::clicked, this, &SeparatedDesignerGroup::saveRequested);
    connect(m_clearAll, &QPushButton::clicked, this, &SeparatedDesignerGroup::clearAll);
    connect(m_default, &QPushButton::clicked, this, &SeparatedDesignerGroup::setDefault);
    connect(m_up, &QPushButton::clicked, this, &SeparatedDesignerGroup::moveUp);
    connect(m_down, &QPushButton::clicked, this, &SeparatedDesignerGroup::moveDown);
}

void SeparatedDesignerGroup::loadSettings()
{
    const SeparatedForm stored = readSeparatedForm(m_context.paths.tarvikIni);
    m_separator->setText(fromCodePage(stored.separator));
    m_comment->setText(fromCodePage(stored.comment));
    (stored.useTab ? m_tab : m_typed)->setChecked(true);
    m_separator->setEnabled(!stored.useTab);
    m_itemIsPlu->setChecked(stored.itemIsPlu);
    m_startRow->clear();
    for (const std::string_view choice : kStartRowChoices) {
        m_startRow->addItem(QString::fromLatin1(choice.data(), static_cast<int>(choice.size())));
    }
    m_startRow->setCurrentIndex(m_startRow->findText(
        fromCodePage(stored.startRow), Qt::MatchFixedString | Qt::MatchCaseSensitive));
    if (m_startRow->currentIndex() < 0) {
        m_startRow->clearEditText();
    }
    // No row is selected in a window just opened; Up and Down wait for a click.
    m_order.select(std::nullopt);
    m_context.session.markModified();
}

void SeparatedDesignerGroup::loadColumnOrder()
{
    if (m_order.load(m_context.paths.pluIdIni)) {
        showRows();
    }
}

void SeparatedDesignerGroup::preview(const std::string& samplePath,
                                     const std::string& searchPattern)
{
    m_scan.cancel();
    loadColumnOrder();
    if (!startValueScan(samplePath)) {
        m_context.messages.ShowMessage(noDataFileMessage(searchPattern), "Ostrel",
                                       MessageIcon::Warning);
    }
}

bool SeparatedDesignerGroup::startValueScan(const std::string& samplePath)
{
    m_encoding->clear();
    if (samplePath.empty() || !fileExists(samplePath)) {
        return false;
    }
    const SeparatedForm current = form();
    const bool started = m_scan.start(
        samplePath, current.comment, current.effectiveSeparator(),
        readEncodingSetting(m_context.paths.tarvikIni),
        [this](const std::vector<std::string>& values, const EncodingDecision& encoding) {
            m_order.setValues(values);
            showRows();
            setFittedText(*m_encoding, encodingText(encoding));
            emit previewFinished();
        });
    // The list changes when the preview starts, as far as the flag goes: a Save made while a
    // long sample is still read must not be undone by the values arriving after it.
    if (started) {
        m_context.session.markModified();
    }
    return started;
}

void SeparatedDesignerGroup::showArrowImages()
{
    const QSize size(16, 16);
    m_up->setText(QString());
    m_up->setIcon(m_up->style()->standardIcon(QStyle::SP_ArrowUp));
    m_up->setIconSize(size);
    m_down->setText(QString());
    m_down->setIcon(m_down->style()->standardIcon(QStyle::SP_ArrowDown));
    m_down->setIconSize(size);
}

void SeparatedDesignerGroup::read(const PathTexts& pathTexts)
{
    // The edits as they stand, as the fixed type's Read takes them: the file is right there.
    const std::string pattern =
        buildSearchPattern(pathTexts.folder, pathTexts.prefix, pathTexts.extension);
    preview(findSampleFile(pattern), pattern);
}

SaveOutcome SeparatedDesignerGroup::save(const PathTexts& pathTexts)
{
    const SaveOutcome outcome = saveSeparatedFormat(m_context.paths, pathTexts, form(),
                                                    m_order.idRows(), m_context.messages);
    m_context.session.noteSave(outcome);
    return outcome;
}

void SeparatedDesignerGroup::clearAll()
{
    m_separator->clear();
    m_comment->clear();
    loadColumnOrder();
    m_context.session.markModified();
}

void SeparatedDesignerGroup::setDefault()
{
    m_scan.cancel();
    m_separator->setText(QStringLiteral(","));
    m_comment->setText(QStringLiteral("//"));
    m_startRow->setEditText(QStringLiteral("1"));
    m_order.setFields(m_context.fields);
    showRows();
    // The values of the sample as well, so the user sees at once how the fields line up.
    startValueScan(findSampleFile(readSearchPattern(m_context.paths.tarvikIni)));
}

void SeparatedDesignerGroup::moveUp()
{
    const auto selected = m_order.selected();
    if (!selected || *selected >= m_order.rows().size()) {
        return;
    }
    m_order.moveUp();
    showRows();
    m_list->setFocus();
    m_context.session.markModified();
}

void SeparatedDesignerGroup::moveDown()
{
    const auto selected = m_order.selected();
    if (!selected || *selected >= m_order.rows().size()) {
        return;
    }
    m_order.moveDown();
    showRows();
    m_list->setFocus();
    m_context.session.markModified();
}

SeparatedForm SeparatedDesignerGroup::form() const
{
    SeparatedForm current;
    current.useTab = m_tab->isChecked();
    current.separator = toCodePage(m_separator->text());
    current.comment = toCodePage(m_comment->text());
    current.startRow = toCodePage(m_startRow->currentText());
    current.itemIsPlu = m_itemIsPlu->isChecked();
    return current;
}

bool SeparatedDesignerGroup::tabChecked() const
{
    return m_tab->isChecked();
}

void SeparatedDesignerGroup::showRows()
{
    const auto& rows = m_order.rows();
    m_list->clearContents();
    m_list->setRowCount(static_cast<int>(rows.size()));
    for (int i = 0; i < static_cast<int>(rows.size()); ++i) {
        const ColumnRow& row = rows[static_cast<std::size_t>(i)];
        m_list->setItem(i, 0, new QTableWidgetItem(QString::number(row.fieldNumber)));
        m_list->setItem(i, 1, new QTableWidgetItem(fromCodePage(row.name)));
        m_list->setItem(i, 2, new QTableWidgetItem(fromCodePage(row.value)));
    }
    const auto selected = m_order.selected();
    if (selected && *selected < rows.size()) {
        m_list->selectRow(static_cast<int>(*selected));
    } else {
        m_list->clearSelection();
    }
}

void SeparatedDesignerGroup::onListPressed(const QPoint& position)
{
    const int row = m_list->rowAt(position.y());
    m_order.select(row < 0 ? std::nullopt : std::optional<std::size_t>(row));
    m_context.session.markModified();
}

bool SeparatedDesignerGroup::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == m_list->viewport() && event->type() == QEvent::MouseButtonPress) {
        onListPressed(static_cast<QMouseEvent*>(event)->position().toPoint());
    }
    return QObject::eventFilter(watched, event);
}

} // namespace ostrel
