// The "Fixed Type" group of the PLU file setting window: the sample line, the marking strip,
// the selection labels, the start row list, the field list and its buttons, at their places.
// The group shows no sample and no definitions yet; its buttons do nothing.
#pragma once

#include <QObject>

#include <string>

class QComboBox;
class QListWidget;
class QWidget;

namespace ostrel {

class DialogUnits;

class FixedDesignerGroup final : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(FixedDesignerGroup)

public:
    FixedDesignerGroup(QWidget* window, const DialogUnits& units);
    ~FixedDesignerGroup() override;

    // Selects the start row entry of exactly this text; none when no entry has it.
    void selectStartRow(const std::string& text);
    // "Browser" picked a folder: the sample lines held so far are dropped.
    void discardSampleLines();

private:
    QComboBox* m_startRow = nullptr;
    QListWidget* m_sampleLines = nullptr;
};

} // namespace ostrel
