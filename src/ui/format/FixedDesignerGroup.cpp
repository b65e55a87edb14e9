#include "ui/format/FixedDesignerGroup.h"

#include "format/FixedForm.h"
#include "format/FixedSample.h"
#include "format/LayoutKeys.h"
#include "format/PluFileSettingSession.h"
#include "format/SampleFile.h"
#include "platform/FileSystem.h"
#include "platform/MessageBox.h"
#include "settings/SearchPattern.h"
#include "settings/SettingsProblems.h"
#include "ui/format/FormatControls.h"
#include "ui/format/MarkingStrip.h"
#include "ui/format/SampleBox.h"

#include <QComboBox>
#include <QElapsedTimer>
#include <QEvent>
#include <QFontDatabase>
#include <QFrame>
#include <QHeaderView>
#include <QLabel>
#include <QListWidget>
#include <QMouseEvent>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QTableWidget>
#include <QTextBlock>

#include <algorithm>

namespace ostrel {

namespace {

constexpr std::size_t kSliceBytes = std::size_t{64} * 1024;
constexpr qint64 kSliceMs = 10;      // short enough that input is answered at once
constexpr int kFieldNameBlanks = 34; // what a click with no row draws
// The selection labels before anything is marked.
constexpr QLatin1String kSelectStringText("Select String :");
constexpr QLatin1String kStartPointText("Start Point :");
constexpr QLatin1String kEndPointText("End Point :");

enum Column : int
{
    kIdColumn,
    kNameColumn,
    kStartColumn,
    kEndColumn,
    kLengthColumn
};

// One font of fixed pitch for the box and the strip, so a column stands above its character.
QFont sampleFont(const QFont& windowFont)
{
    QFont font = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    font.setStyleHint(QFont::TypeWriter);
    font.setFixedPitch(true);
    font.setPixelSize(std::max(10, QFontInfo(windowFont).pixelSize()));
    return font;
}

QTableWidgetItem* cell(const std::string& text, Qt::Alignment alignment)
{
    auto* item = new QTableWidgetItem(fromCodePage(text));
    item->setTextAlignment(alignment | Qt::AlignVCenter);
    return item;
}

} // namespace

FixedDesignerGroup::FixedDesignerGroup(QWidget* window, const DialogUnits& units, Context context)
    : QObject(window), m_context(context)
{
    createControls(window, units);
    connectControls();
    m_readTimer.setInterval(0);
}

FixedDesignerGroup::~FixedDesignerGroup() = default;

void FixedDesignerGroup::createControls(QWidget* window, const DialogUnits& units)
{
    placeControl<QLabel>(window, units, "selectRangeLabel", 1024, {253, 26, 47, 8},
                         QStringLiteral("Select Range"));
    m_encoding = placeControl<QLabel>(window, units, "fixedEncodingLabel", 1039, {302, 26, 104, 8},
                                      QString());
    placeControl<QLabel>(window, units, "fixedStartRowLabel", 1022, {408, 26, 38, 8},
                         QStringLiteral("Start Row :"));
    m_startRow =
        placeControl<QComboBox>(window, units, "fixedStartRowCombo", 1023, {449, 23, 42, 12});
    for (const std::string_view choice : kStartRowChoices) {
        m_startRow->addItem(QString::fromLatin1(choice.data(), static_cast<int>(choice.size())));
    }

    m_sample = placeControl<SampleBox>(window, units, "sampleEdit", 1025, {252, 38, 238, 38});
    m_sample->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    m_sample->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    m_sample->setFont(sampleFont(window->font()));

    const auto sunken = [&](const char* name, DialogPlace place) {
        auto* frame = placeControl<QFrame>(window, units, name, 0, place);
        frame->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    };
    sunken("markingFrame", {252, 84, 238, 16});
    m_strip = placeControl<MarkingStrip>(window, units, "markingStrip", 1031, {258, 88, 227, 10},
                                         m_sample);
    m_strip->setMarkRule([this](std::size_t position) { return m_rows.marked(position); });
    // The box's text starts where the strip starts, so the strip's characters stand exactly
    // above the box's columns.
    m_sample->setTextInset(std::max(2, m_strip->x() - m_sample->x() - m_sample->frameWidth()));

    sunken("fieldNameFrame", {252, 105, 238, 16});
    m_fieldName =
        placeControl<QLabel>(window, units, "fieldNameLabel", 1032, {258, 109, 227, 10}, QString());
    m_fieldName->setAutoFillBackground(true);
    m_plainNamePalette = m_fieldName->palette();
    m_drawnNamePalette = m_plainNamePalette;
    m_drawnNamePalette.setColor(QPalette::WindowText, QColor(0, 0, 255));
    // Qt has no role for the active window border; the button face is its nearest colour.
    m_drawnNamePalette.setColor(QPalette::Window, m_plainNamePalette.color(QPalette::Button));

    sunken("selectionFrame", {252, 127, 238, 40});
    m_selectString = placeControl<QLabel>(window, units, "selectStringLabel", 1033,
                                          {258, 131, 226, 9}, kSelectStringText);
    m_startPoint = placeControl<QLabel>(window, units, "startPointLabel", 1034, {258, 144, 226, 9},
                                        kStartPointText);
    m_endPoint = placeControl<QLabel>(window, units, "endPointLabel", 1035, {258, 157, 225, 9},
                                      kEndPointText);

    const auto button = [&](const char* name, int id, int x, const char* text) {
        auto* made = placeControl<QPushButton>(window, units, name, id, {x, 175, 34, 19},
                                               QString::fromLatin1(text));
        made->setAutoDefault(false);
        return made;
    };
    auto* read = button("fixedReadButton", 1027, 308, "Read");
    auto* replace = button("replaceButton", 1037, 345, "Replace");
    auto* save = button("fixedSaveButton", 1028, 382, "Save");
    auto* clearOne = button("clearOneButton", 1029, 419, "Clear One");
    auto* clearAll = button("fixedClearAllButton", 1030, 456, "Clear All");
    connect(read, &QPushButton::clicked, this, &FixedDesignerGroup::readRequested);
    connect(replace, &QPushButton::clicked, this, &FixedDesignerGroup::replaceRequested);
    connect(save, &QPushButton::clicked, this, &FixedDesignerGroup::saveRequested);
    connect(clearOne, &QPushButton::clicked, this, &FixedDesignerGroup::clearOne);
    connect(clearAll, &QPushButton::clicked, this, &FixedDesignerGroup::clearAll);

    m_list = placeControl<QTableWidget>(window, units, "fieldList", 1026, {252, 202, 238, 117});
    m_list->setColumnCount(5);
    m_list->setHorizontalHeaderLabels({QStringLiteral("ID"), QStringLiteral("Name"),
                                       QStringLiteral("Start"), QStringLiteral("End"),
                                       QStringLiteral("Length")});
    const int widths[] = {40, 170, 40, 40, 50};
    for (int column = 0; column < 5; ++column) {
        m_list->setColumnWidth(column, widths[column]);
    }
    m_list->horizontalHeader()->setHighlightSections(false);
    m_list->verticalHeader()->hide();
    m_list->verticalHeader()->setDefaultSectionSize(m_list->fontMetrics().height() + 4);
    m_list->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_list->setSelectionMode(QAbstractItemView::SingleSelection);
    m_list->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_list->setShowGrid(true);
    m_list->viewport()->installEventFilter(this);

    m_sampleLines =
        placeControl<QListWidget>(window, units, "sampleLines", 1036, {253, 278, 236, 22});
    m_sampleLines->hide();
}

void FixedDesignerGroup::connectControls()
{
    m_sample->viewport()->installEventFilter(this);
    connect(m_sample->horizontalScrollBar(), &QScrollBar::valueChanged, this,
            [this] { m_context.session.markModified(); });
    connect(m_startRow, &QComboBox::activated, this, &FixedDesignerGroup::chooseStartRow);
    connect(&m_readTimer, &QTimer::timeout, this, &FixedDesignerGroup::readSlice);
}

void FixedDesignerGroup::selectStartRow(const std::string& text)
{
    m_startRow->setCurrentIndex(
        m_startRow->findText(fromCodePage(text), Qt::MatchFixedString | Qt::MatchCaseSensitive));
}

void FixedDesignerGroup::stopSampleReading()
{
    m_readTimer.stop();
    m_reader.reset();
}

void FixedDesignerGroup::discardSampleLines()
{
    stopSampleReading();
    m_lines.clear();
    m_sampleLines->clear();
}

std::string FixedDesignerGroup::startRowText() const
{
    return toCodePage(m_startRow->currentText());
}

void FixedDesignerGroup::startAfresh()
{
    discardSampleLines();
    showSampleLine(0);
    m_encoding->clear();
}

void FixedDesignerGroup::fillFieldRows(const std::vector<PluField>& fields)
{
    m_rows.fill(fields);
    showRows();
    // The opening names the first row plainly; a row click draws the name in blue.
    m_fieldName->setPalette(m_plainNamePalette);
    m_fieldName->setText(m_rows.rows().empty() ? QString()
                                               : fromCodePage(m_rows.rows().front().name));
    // The last opening's selection means nothing on this one's sample.
    m_selectString->setText(kSelectStringText);
    m_startPoint->setText(kStartPointText);
    m_endPoint->setText(kEndPointText);
}

void FixedDesignerGroup::loadSample(const std::string& samplePath, const std::string& searchPattern)
{
    // Both checks come first: a failed one leaves the lines and the box as they were.
    if (!fileExists(m_context.paths.prsFile)) {
        m_context.messages.ShowMessage("File not found! : \"PLUPrs.prs\"", "Ostrel",
                                       MessageIcon::Warning);
        return;
    }
    auto reader = std::make_unique<FixedSampleReader>(
        samplePath, readEncodingSetting(m_context.paths.tarvikIni), activeCodePage());
    if (!reader->opened()) {
        m_context.messages.ShowMessage(noDataFileMessage(searchPattern), "Ostrel",
                                       MessageIcon::Warning);
    } else {
        // The new sample replaces the old one; the box never shows the two mixed.
        discardSampleLines();
        showSampleLine(0);
        m_encoding->clear();
        m_readTimer.stop();
        m_reader = std::move(reader);
        readSlice(); // a small sample is complete at once
        if (m_reader) {
            m_readTimer.start();
        }
    }
    // The stored definitions do not depend on the lines, so they show while a sample is read.
    showStoredDefinitions();
    m_context.session.markModified();
}

void FixedDesignerGroup::readSlice()
{
    QElapsedTimer clock;
    clock.start();
    while (!m_reader->advance(kSliceBytes)) {
        if (clock.elapsed() >= kSliceMs) {
            return;
        }
    }
    m_readTimer.stop();
    m_lines = m_reader->lines();
    setFittedText(*m_encoding, encodingText(m_reader->encoding()));
    m_reader.reset();
    m_sampleLines->clear();
    for (const std::string& line : m_lines) {
        m_sampleLines->addItem(fromCodePage(line));
    }
    showSampleLine(0);
    emit sampleLoaded();
}

void FixedDesignerGroup::showStoredDefinitions()
{
    const auto stored = readPrsFile(m_context.paths.prsFile);
    if (!stored) {
        return;
    }
    m_rows.showStored(*stored);
    std::vector<FixedFieldDef>& memory = m_context.definitions;
    for (std::size_t n = 0; n < stored->size() && n < memory.size(); ++n) {
        memory[n] = (*stored)[n];
    }
    rowsChanged();
}

void FixedDesignerGroup::showSampleLine(std::size_t index)
{
    m_sample->setPlainText(index < m_lines.size() ? fromCodePage(m_lines[index]) : QString());
}

void FixedDesignerGroup::read(const PathTexts& pathTexts)
{
    const std::string pattern =
        buildSearchPattern(pathTexts.folder, pathTexts.prefix, pathTexts.extension);
    if (pattern.empty()) {
        return;
    }
    const std::string sample = findSampleFile(pattern);
    if (!sample.empty()) {
        loadSample(sample, pattern);
    }
}

SaveOutcome FixedDesignerGroup::save(const PathTexts& pathTexts)
{
    const SaveOutcome outcome =
        saveFixedFormat(m_context.paths, pathTexts, m_rows.definitions(),
                        toCodePage(m_startRow->currentText()), m_context.messages);
    m_context.session.noteSave(outcome);
    return outcome;
}

void FixedDesignerGroup::showRows()
{
    const auto& rows = m_rows.rows();
    m_list->clearContents();
    m_list->setRowCount(static_cast<int>(rows.size()));
    const Qt::Alignment right = Qt::AlignRight;
    for (int i = 0; i < static_cast<int>(rows.size()); ++i) {
        const FixedRowCells& row = rows[static_cast<std::size_t>(i)];
        m_list->setItem(i, kIdColumn, cell(std::to_string(row.fieldNumber), right));
        m_list->setItem(i, kNameColumn, cell(row.name, Qt::AlignLeft));
        m_list->setItem(i, kStartColumn, cell(row.start, right));
        m_list->setItem(i, kEndColumn, cell(row.end, right));
        m_list->setItem(i, kLengthColumn, cell(row.length, right));
    }
    const auto selected = m_rows.selected();
    if (selected) {
        m_list->selectRow(static_cast<int>(*selected));
    }
}

void FixedDesignerGroup::drawFieldName()
{
    // The blanks only erase the label; the name is drawn from the same corner.
    m_fieldName->setPalette(m_drawnNamePalette);
    const auto selected = m_rows.selected();
    m_fieldName->setText(selected ? fromCodePage(m_rows.rows()[*selected].name)
                                  : QString(kFieldNameBlanks, QLatin1Char(' ')));
}

void FixedDesignerGroup::rowsChanged()
{
    const auto& rows = m_rows.rows();
    for (int i = 0; i < static_cast<int>(rows.size()) && i < m_list->rowCount(); ++i) {
        const FixedRowCells& row = rows[static_cast<std::size_t>(i)];
        m_list->item(i, kStartColumn)->setText(fromCodePage(row.start));
        m_list->item(i, kEndColumn)->setText(fromCodePage(row.end));
        m_list->item(i, kLengthColumn)->setText(fromCodePage(row.length));
    }
    m_strip->update();
}

void FixedDesignerGroup::markSelection()
{
    const QTextCursor selection = m_sample->textCursor();
    const QTextBlock firstVisible = m_sample->cursorForPosition(QPoint(0, 0)).block();
    const auto base =
        static_cast<std::size_t>(firstVisible.isValid() ? firstVisible.position() : 0);
    const auto span = spanOfSelection(base, static_cast<std::size_t>(selection.selectionStart()),
                                      static_cast<std::size_t>(selection.selectionEnd()));
    if (span) {
        QString selected = selection.selectedText();
        selected.replace(QChar::ParagraphSeparator, QLatin1Char(' '));
        m_selectString->setText(QStringLiteral("Select String : ") + selected);
        m_startPoint->setText(QStringLiteral("Start Point : %1").arg(span->start));
        m_endPoint->setText(QStringLiteral("End Point  : %1").arg(span->end));
        m_rows.mark(*span);
        rowsChanged();
    }
    m_strip->update();
    m_context.session.markModified();
}

void FixedDesignerGroup::onRowPressed(const QPoint& position)
{
    m_context.session.markModified();
    const int row = m_list->rowAt(position.y());
    m_rows.select(row < 0 ? std::nullopt : std::optional<std::size_t>(row));
    drawFieldName();
}

void FixedDesignerGroup::clearOne()
{
    m_rows.clearOne();
    rowsChanged();
    m_context.session.markModified();
}

void FixedDesignerGroup::clearAll()
{
    m_rows.clearAll();
    rowsChanged();
    m_context.session.markModified();
}

void FixedDesignerGroup::chooseStartRow()
{
    if (m_lines.empty()) {
        return;
    }
    showSampleLine(
        sampleLineIndexForStartRow(toCodePage(m_startRow->currentText()), m_lines.size()));
    m_context.session.markModified();
}

bool FixedDesignerGroup::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == m_list->viewport() && event->type() == QEvent::MouseButtonPress) {
        onRowPressed(static_cast<QMouseEvent*>(event)->position().toPoint());
    } else if (watched == m_sample->viewport() && event->type() == QEvent::MouseButtonRelease &&
               static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton) {
        // Dragging has set the selection by now; the release only ends it.
        markSelection();
    }
    return QObject::eventFilter(watched, event);
}

} // namespace ostrel
