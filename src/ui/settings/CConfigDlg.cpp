#include "ui/settings/CConfigDlg.h"

#include "eventloop/EventLoopCalls.h"
#include "platform/CodePage.h"
#include "platform/MessageBox.h"
#include "settings/ConfigForm.h"
#include "settings/ScaleList.h"
#include "settings/SettingsHolder.h"
#include "ui/settings/CScaleInputDlg.h"
#include "ui/shell/DialogUnits.h"
#include "ui/shell/ProgramIcon.h"

#include <QCloseEvent>
#include <QComboBox>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpressionValidator>
#include <QTimer>
#include <QTreeWidget>

#include <array>
#include <filesystem>
#include <functional>

namespace ostrel {
namespace {

struct ColumnSpec
{
    const char* header;
    int widthPixels;
};

constexpr std::array<ColumnSpec, 7> kColumns{{{"CHK", 40},
                                              {"IP", 100},
                                              {"Connection", 80},
                                              {"Port", 50},
                                              {"Name", 60},
                                              {"Model", 80},
                                              {"Version", 80}}};

QString shown(const std::string& bytes)
{
    return QString::fromStdString(codePageToUtf8(bytes));
}

std::string stored(const QString& text)
{
    return utf8ToCodePage(text.toStdString());
}

QPushButton* addButton(QWidget* parent, const char* text, const char* name, int id,
                       const DialogUnits& units, QRect place)
{
    auto* button = new QPushButton(QString::fromLatin1(text), parent);
    button->setObjectName(QString::fromLatin1(name));
    button->setProperty("controlId", id);
    // Enter does nothing in this window: no button takes it.
    button->setAutoDefault(false);
    units.place(*button, place.x(), place.y(), place.width(), place.height());
    return button;
}

} // namespace

CConfigDlg::CConfigDlg(SettingsPaths paths, SettingsHolder& holder, MessageSink& messages,
                       QWidget* parent)
    : QDialog(parent), m_paths(std::move(paths)), m_holder(holder), m_messages(messages)
{
    setObjectName(QStringLiteral("configDlg"));
    setWindowTitle(QStringLiteral("Configuration"));
    setWindowIcon(programIcon());
    setModal(false);
    setFont(dialogFont());
    const DialogUnits units(font());
    setFixedSize(units.size(315, 301));

    // Created in the tab order of the design.
    QPushButton* cancel = addButton(this, "Cancel", "cancelButton", 2, units, {258, 280, 50, 14});

    auto* configLabel = new QLabel(QStringLiteral("Configuration File"), this);
    configLabel->setObjectName(QStringLiteral("configFileLabel"));
    configLabel->setProperty("controlId", kConfigFileLabelId);
    units.place(*configLabel, 7, 7, 120, 8);

    m_configFile = new QLineEdit(this);
    m_configFile->setObjectName(QStringLiteral("configFileEdit"));
    m_configFile->setProperty("controlId", kConfigFileId);
    units.place(*m_configFile, 7, 17, 301, 12);

    QPushButton* browser =
        addButton(this, "Browser", "browserButton", kBrowserId, units, {258, 4, 50, 12});

    m_list = new QTreeWidget(this);
    m_list->setObjectName(QStringLiteral("scaleList"));
    m_list->setProperty("controlId", kScaleListId);
    m_list->setRootIsDecorated(false);
    m_list->setSelectionMode(QAbstractItemView::SingleSelection);
    m_list->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_list->setAllColumnsShowFocus(true);
    m_list->setUniformRowHeights(true);
    // Grid lines; a styled item needs its selection colours restated.
    m_list->setStyleSheet(QStringLiteral(
        "QTreeView::item { border-right: 1px solid #d0d0d0; border-bottom: 1px solid #d0d0d0; }"
        "QTreeView::item:selected { background: palette(highlight); "
        "color: palette(highlighted-text); }"));
    m_list->header()->setSectionsClickable(true);
    m_list->header()->setSectionsMovable(false);
    m_list->header()->setStretchLastSection(false);
    m_list->header()->setDefaultAlignment(Qt::AlignCenter);
    units.place(*m_list, 7, 35, 301, 180);

    QPushButton* add = addButton(this, "Add", "addButton", kAddId, units, {7, 221, 50, 14});
    QPushButton* edit = addButton(this, "Edit", "editButton", kEditId, units, {61, 221, 50, 14});
    QPushButton* remove =
        addButton(this, "Delete", "deleteButton", kDeleteId, units, {115, 221, 50, 14});
    QPushButton* save = addButton(this, "Save", "saveButton", kSaveId, units, {204, 280, 50, 14});

    auto* cycleLabel = new QLabel(QStringLiteral("Update Cycle"), this);
    cycleLabel->setObjectName(QStringLiteral("updateCycleLabel"));
    cycleLabel->setProperty("controlId", kCycleLabelId);
    units.place(*cycleLabel, 7, 248, 70, 8);

    m_cycle = new QComboBox(this);
    m_cycle->setObjectName(QStringLiteral("updateCycleBox"));
    m_cycle->setProperty("controlId", kCycleId);
    m_cycle->setEditable(true);
    m_cycle->setInsertPolicy(QComboBox::NoInsert);
    units.place(*m_cycle, 80, 246, 60, 12);

    m_interval = new QLineEdit(this);
    m_interval->setObjectName(QStringLiteral("updateIntervalEdit"));
    m_interval->setProperty("controlId", kIntervalId);
    units.place(*m_interval, 146, 246, 40, 12);

    m_scan = addButton(this, "Scan", "scanButton", kScanId, units, {190, 221, 50, 14});
    QPushButton* connectionTest = addButton(this, "Connection Test", "connectionTestButton",
                                            kConnectionTestId, units, {244, 221, 64, 14});

    auto* decimalLabel = new QLabel(QStringLiteral("Price Decimal Point"), this);
    decimalLabel->setObjectName(QStringLiteral("decimalPointLabel"));
    units.place(*decimalLabel, 7, 266, 70, 8);

    m_decimalPoint = new QComboBox(this);
    m_decimalPoint->setObjectName(QStringLiteral("decimalPointBox"));
    m_decimalPoint->setProperty("controlId", kDecimalPointId);
    m_decimalPoint->setEditable(true);
    m_decimalPoint->setInsertPolicy(QComboBox::NoInsert);
    m_decimalPoint->addItems(
        {QStringLiteral("0"), QStringLiteral("1"), QStringLiteral("2"), QStringLiteral("3")});
    // A run sends prices with at most three decimals; nothing else may be typed.
    m_decimalPoint->setValidator(new QRegularExpressionValidator(
        QRegularExpression(QStringLiteral("^[0-3]?$")), m_decimalPoint));
    units.place(*m_decimalPoint, 80, 264, 60, 12);

    connect(cancel, &QPushButton::clicked, this, &CConfigDlg::OnCancel);
    connect(add, &QPushButton::clicked, this, &CConfigDlg::OnAdd);
    connect(edit, &QPushButton::clicked, this, &CConfigDlg::OnEdit);
    connect(remove, &QPushButton::clicked, this, &CConfigDlg::OnDelete);
    connect(save, &QPushButton::clicked, this, &CConfigDlg::OnSave);
    connect(m_scan, &QPushButton::clicked, this, &CConfigDlg::OnScan);
    m_scanRest->setSingleShot(true);
    m_scanRest->setInterval(kScanRestMs);
    connect(m_scanRest, &QTimer::timeout, this, &CConfigDlg::endScanRest);
    m_answerWait->setSingleShot(true);
    m_answerWait->setInterval(kAnswerWaitMs);
    connect(m_answerWait, &QTimer::timeout, this, &CConfigDlg::endAnswerWait);
    connect(connectionTest, &QPushButton::clicked, this, &CConfigDlg::OnConnectionTest);
    connect(browser, &QPushButton::clicked, this, [] {});
    connect(m_cycle->lineEdit(), &QLineEdit::textEdited, this, &CConfigDlg::fillCycleList);
    connect(m_list->header(), &QHeaderView::sectionClicked, this, &CConfigDlg::toggleChecks);
    connect(m_list, &QTreeWidget::itemChanged, this, &CConfigDlg::checkChanged);
}

CConfigDlg::~CConfigDlg() = default;

void CConfigDlg::attachDiscovery(ScaleLibrary& library, ScaleQueryWorker::ConnectScale connectScale,
                                 std::function<bool()> runBusy, ScaleQueryPauses pauses)
{
    const std::string workingFolder = std::filesystem::current_path().string();
    m_discovery = std::make_unique<ScaleDiscovery>(ScaleDiscovery::Dependencies{
        library, m_holder, m_paths.tarvikIni, std::move(connectScale),
        [this](std::function<void()> task) {
            // Dropped with the window: a late answer finds nothing to update.
            m_calls->post(std::move(task));
        },
        [this](const std::string& text) {
            m_messages.ShowMessage(text, "Ostrel", MessageIcon::Error);
        },
        [this] { showScaleList(); },
        captionLookup(workingFolder, "", "CONF_COMM", "CF_COMM_CONNECTED", "Connected"), pauses,
        std::move(runBusy)});
    m_discovery->rebuildConnections();
}

void CConfigDlg::OnScan()
{
    if (!m_discovery) {
        return;
    }
    if (m_discovery->Scan() == ScaleDiscovery::kRefusedRunBusy) {
        return;
    }
    m_scan->setEnabled(false);
    m_scanRest->start();
}

void CConfigDlg::endScanRest()
{
    m_scan->setEnabled(true);
    if (!m_discovery || !isVisible()) {
        return;
    }
    const std::string nothing = m_discovery->scanFoundNothing(kScanRestMs / 1000);
    if (!nothing.empty()) {
        m_messages.ShowMessage(nothing, "Ostrel", MessageIcon::Information);
    }
}

void CConfigDlg::OnConnectionTest()
{
    if (m_discovery && m_discovery->ConnectionTest()) {
        m_answerWait->start();
    }
}

void CConfigDlg::endAnswerWait()
{
    if (m_discovery->queriesBusy()) {
        m_answerWait->start(); // the time counts from the last query sent
        return;
    }
    if (m_discovery->markUnanswered()) {
        showScaleList();
    }
}

void CConfigDlg::clearConnections()
{
    m_answerWait->stop();
    m_holder.scaleTable().clearConnections();
    showScaleList();
}

void CConfigDlg::Load()
{
    m_configFile->setEnabled(false);
    findChild<QPushButton*>(QStringLiteral("browserButton"))->hide();
    const ConfigFormTexts form = loadConfigForm(m_paths);
    m_configFile->setText(shown(form.configFile));
    fillCycleList();
    m_cycle->setEditText(shown(form.cycle));
    m_interval->setText(shown(form.interval));
    m_decimalPoint->setEditText(shown(form.decimalPoint));
    m_holder.setDecimalPointText(form.decimalPoint);
    m_holder.scaleTable().clearConnections();
    if (m_discovery) {
        m_discovery->rebuildConnections();
    }
    showScaleList();
}

void CConfigDlg::showScaleList()
{
    m_showing = true;
    const int selected = selectedRow();
    m_list->clear();
    m_list->setColumnCount(static_cast<int>(kColumns.size()));
    QStringList headers;
    for (const auto& column : kColumns) {
        headers << QString::fromLatin1(column.header);
    }
    m_list->setHeaderLabels(headers);
    for (std::size_t i = 0; i < kColumns.size(); ++i) {
        m_list->setColumnWidth(static_cast<int>(i), kColumns[i].widthPixels);
    }
    for (const auto& row : m_holder.scaleTable().rows()) {
        auto* item = new QTreeWidgetItem(m_list);
        item->setFlags(item->flags() | Qt::ItemIsUserCheckable);
        item->setCheckState(CheckColumn, row.checked ? Qt::Checked : Qt::Unchecked);
        item->setText(IpColumn, shown(row.columns.address));
        item->setText(ConnectionColumn, shown(row.connection));
        item->setText(PortColumn, shown(row.columns.port));
        item->setText(NameColumn, shown(row.columns.name));
        item->setText(ModelColumn, shown(row.columns.model));
        item->setText(VersionColumn, shown(row.columns.version));
        for (int column = IpColumn; column <= VersionColumn; ++column) {
            item->setTextAlignment(column, Qt::AlignCenter);
        }
    }
    if (selected >= 0 && selected < m_list->topLevelItemCount()) {
        m_list->setCurrentItem(m_list->topLevelItem(selected));
    }
    m_showing = false;
}

int CConfigDlg::selectedRow() const
{
    const QList<QTreeWidgetItem*> items = m_list->selectedItems();
    return items.isEmpty() ? -1 : m_list->indexOfTopLevelItem(items.front());
}

void CConfigDlg::OnAdd()
{
    ScaleTable& table = m_holder.scaleTable();
    if (table.full()) {
        m_messages.ShowMessage(kListFullMessage, "Ostrel", MessageIcon::Warning);
        return;
    }
    CScaleInputDlg input(m_messages, this);
    input.open({}, false);
    if (input.exec() != QDialog::Accepted) {
        return;
    }
    const ScaleInputTexts& t = input.texts();
    if (table.add({t.address, t.port, t.name, t.model, t.version}) ==
        ScaleTable::AddResult::SameIp) {
        m_messages.ShowMessage("There is a same IP", "Ostrel", MessageIcon::Warning);
        return;
    }
    showScaleList();
}

void CConfigDlg::OnEdit()
{
    const int row = selectedRow();
    if (row < 0) {
        return;
    }
    const auto index = static_cast<std::size_t>(row);
    const ScaleListColumns& current = m_holder.scaleTable().rows().at(index).columns;
    CScaleInputDlg input(m_messages, this);
    input.open({current.address, current.port, current.name, current.model, current.version}, true);
    if (input.exec() != QDialog::Accepted) {
        return;
    }
    const ScaleInputTexts& t = input.texts();
    if (m_holder.scaleTable().edit(index, {t.address, t.port, t.name, t.model, t.version}) ==
        ScaleTable::EditResult::SameIp) {
        m_messages.ShowMessage("There is a same IP", "Ostrel", MessageIcon::Warning);
        return;
    }
    showScaleList();
}

void CConfigDlg::OnDelete()
{
    ScaleTable& table = m_holder.scaleTable();
    if (table.checkedCount() == 0) {
        m_messages.ShowMessage("Please, Select an IP", "Ostrel", MessageIcon::Warning);
        return;
    }
    if (m_messages.ShowMessage("Do you want to delete the selected IP?", "Ostrel",
                               MessageIcon::Question,
                               MessageButtons::YesNo) != MessageAnswer::Yes) {
        return;
    }
    table.removeChecked();
    showScaleList();
}

void CConfigDlg::OnSave()
{
    ConfigFormTexts form;
    form.configFile = stored(m_configFile->text());
    form.cycle = stored(m_cycle->currentText());
    form.interval = stored(m_interval->text());
    form.decimalPoint = stored(m_decimalPoint->currentText());
    const ConfigSaveResult result = saveConfigForm(m_paths, form, m_holder.scaleTable().columns());
    if (result.decimalPointWritten) {
        m_holder.setDecimalPointText(form.decimalPoint);
    }
    switch (result.outcome) {
    case ConfigSaveOutcome::NotSaved:
        return;
    case ConfigSaveOutcome::CheckData:
        m_messages.ShowMessage("Check data!", "Warning", MessageIcon::Warning);
        return;
    case ConfigSaveOutcome::Failed:
        m_messages.ShowMessage("Save Failed!", "Warning", MessageIcon::Warning);
        return;
    case ConfigSaveOutcome::Completed:
        break;
    }
    m_messages.ShowMessage("Save is completed!", "Ostrel", MessageIcon::Information);
    emit reloadSettingsRequested();
    QDialog::accept();
}

void CConfigDlg::OnCancel()
{
    emit reloadSettingsRequested();
    QDialog::reject();
}

void CConfigDlg::reject()
{
    OnCancel();
}

void CConfigDlg::closeEvent(QCloseEvent* event)
{
    // The close is reported, and then the Cancel it turns into is reported too.
    emit reloadSettingsRequested();
    QDialog::closeEvent(event);
}

void CConfigDlg::keyPressEvent(QKeyEvent* event)
{
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
        event->accept(); // Enter would hide the window without a reload: it does nothing
        return;
    }
    QDialog::keyPressEvent(event);
}

void CConfigDlg::fillCycleList()
{
    // Typed text gives way at once to the stored cycle: the box works as a drop-down list.
    const QSignalBlocker blocker(m_cycle);
    m_cycle->clear();
    for (const auto item : kCycleItems) {
        m_cycle->addItem(QString::fromLatin1(item.data(), static_cast<qsizetype>(item.size())));
    }
    const int index = storedCycleIndex(m_paths.tarvikIni);
    m_cycle->setCurrentIndex(index);
    if (index < 0) {
        m_cycle->setEditText(QString());
    }
}

void CConfigDlg::toggleChecks()
{
    m_holder.scaleTable().toggleChecks();
    showScaleList();
}

void CConfigDlg::checkChanged(QTreeWidgetItem* item, int column)
{
    if (m_showing || column != CheckColumn) {
        return;
    }
    const int row = m_list->indexOfTopLevelItem(item);
    if (row >= 0) {
        m_holder.scaleTable().setChecked(static_cast<std::size_t>(row),
                                         item->checkState(CheckColumn) == Qt::Checked);
    }
}

} // namespace ostrel
