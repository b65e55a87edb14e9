#include "ui/format/FixedDesignerGroup.h"

#include "format/LayoutKeys.h"
#include "ui/format/FormatControls.h"

#include <QComboBox>
#include <QFrame>
#include <QHeaderView>
#include <QLabel>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTableWidget>

namespace ostrel {

FixedDesignerGroup::FixedDesignerGroup(QWidget* window, const DialogUnits& units) : QObject(window)
{
    placeControl<QLabel>(window, units, "selectRangeLabel", 1024, {253, 26, 47, 8},
                         QStringLiteral("Select Range"));
    placeControl<QLabel>(window, units, "fixedStartRowLabel", 1022, {408, 26, 38, 8},
                         QStringLiteral("Start Row :"));
    m_startRow =
        placeControl<QComboBox>(window, units, "fixedStartRowCombo", 1023, {449, 23, 42, 12});
    for (const std::string_view choice : kStartRowChoices) {
        m_startRow->addItem(QString::fromLatin1(choice.data(), static_cast<int>(choice.size())));
    }

    auto* sample =
        placeControl<QPlainTextEdit>(window, units, "sampleEdit", 1025, {252, 38, 238, 38});
    sample->setLineWrapMode(QPlainTextEdit::NoWrap);
    sample->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    sample->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);

    const auto sunken = [&](const char* name, DialogPlace place) {
        auto* frame = placeControl<QFrame>(window, units, name, 0, place);
        frame->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    };
    sunken("markingFrame", {252, 84, 238, 16});
    placeControl<QLabel>(window, units, "markingStrip", 1031, {258, 88, 227, 10}, QString());
    sunken("fieldNameFrame", {252, 105, 238, 16});
    placeControl<QLabel>(window, units, "fieldNameLabel", 1032, {258, 109, 227, 10}, QString());
    sunken("selectionFrame", {252, 127, 238, 40});
    placeControl<QLabel>(window, units, "selectStringLabel", 1033, {258, 131, 226, 9},
                         QStringLiteral("Select String :"));
    placeControl<QLabel>(window, units, "startPointLabel", 1034, {258, 144, 226, 9},
                         QStringLiteral("Start Point :"));
    placeControl<QLabel>(window, units, "endPointLabel", 1035, {258, 157, 225, 9},
                         QStringLiteral("End Point :"));

    const auto button = [&](const char* name, int id, int x, const char* text) {
        auto* made = placeControl<QPushButton>(window, units, name, id, {x, 175, 34, 19},
                                               QString::fromLatin1(text));
        made->setAutoDefault(false);
    };
    button("fixedReadButton", 1027, 308, "Read");
    button("replaceButton", 1037, 345, "Replace");
    button("fixedSaveButton", 1028, 382, "Save");
    button("clearOneButton", 1029, 419, "Clear One");
    button("fixedClearAllButton", 1030, 456, "Clear All");

    auto* fields =
        placeControl<QTableWidget>(window, units, "fieldList", 1026, {252, 202, 238, 117});
    fields->setColumnCount(5);
    fields->setHorizontalHeaderLabels({QStringLiteral("ID"), QStringLiteral("Name"),
                                       QStringLiteral("Start"), QStringLiteral("End"),
                                       QStringLiteral("Length")});
    const int widths[] = {40, 170, 40, 40, 50};
    for (int column = 0; column < 5; ++column) {
        fields->setColumnWidth(column, widths[column]);
    }
    fields->verticalHeader()->hide();
    fields->setSelectionBehavior(QAbstractItemView::SelectRows);
    fields->setEditTriggers(QAbstractItemView::NoEditTriggers);

    m_sampleLines =
        placeControl<QListWidget>(window, units, "sampleLines", 1036, {253, 278, 236, 22});
    m_sampleLines->hide();
}

FixedDesignerGroup::~FixedDesignerGroup() = default;

void FixedDesignerGroup::selectStartRow(const std::string& text)
{
    m_startRow->setCurrentIndex(
        m_startRow->findText(fromCodePage(text), Qt::MatchFixedString | Qt::MatchCaseSensitive));
}

void FixedDesignerGroup::discardSampleLines()
{
    m_sampleLines->clear();
}

} // namespace ostrel
