// The "Fixed Type" group of the PLU file setting window: the sample line, the marking strip,
// the selection labels, the start row list, the field list and its buttons. The rows, their
// marks and the Save are the core's FixedFieldRows and saveFixedFormat; the sample is read by
// FixedSampleReader in slices on the event loop, so a large file never blocks the window.
#pragma once

#include "format/FixedFieldRows.h"
#include "format/PrsFile.h"
#include "format/SeparatedForm.h"
#include "format/StructFile.h"
#include "settings/SettingsPaths.h"

#include <QObject>
#include <QPalette>
#include <QTimer>

#include <memory>
#include <string>
#include <vector>

class QComboBox;
class QLabel;
class QListWidget;
class QTableWidget;
class QWidget;

namespace ostrel {

class DialogUnits;
class FixedSampleReader;
class MarkingStrip;
class MessageSink;
class PluFileSettingSession;
class SampleBox;

class FixedDesignerGroup final : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(FixedDesignerGroup)

public:
    struct Context
    {
        const SettingsPaths& paths;
        MessageSink& messages;
        PluFileSettingSession& session;
        // The window's in-memory field definitions (one per listed field, at most 100).
        std::vector<FixedFieldDef>& definitions;
    };

    FixedDesignerGroup(QWidget* window, const DialogUnits& units, Context context);
    ~FixedDesignerGroup() override;

    // Selects the start row entry of exactly this text; none when no entry has it.
    void selectStartRow(const std::string& text);
    // "Browser" picked a folder: the sample lines held so far are dropped.
    void discardSampleLines();
    // The window closes: a sample still being read is left; the next opening reads it again.
    void stopSampleReading();

    // One row per field with empty cells; the first row becomes the selected one.
    void fillFieldRows(const std::vector<PluField>& fields);
    // LoadFixedSample: the sample's lines (read on) and the stored definitions of PLUPrs.prs.
    // `searchPattern` is where the sample was looked for, for the message when there is none.
    void loadSample(const std::string& samplePath, const std::string& searchPattern);
    // A new opening: the last one's sample goes, whatever this opening finds.
    void startAfresh();
    // "Read" and the fixed type's "Refresh": the first file of the pattern the edits give.
    void read(const PathTexts& pathTexts);
    SaveOutcome save(const PathTexts& pathTexts);

    // The rows as OK copies them into the in-memory definitions.
    std::vector<FixedFieldDef> rowDefinitions() const { return m_rows.definitions(); }
    std::string startRowText() const;
    const FixedFieldRows& rows() const { return m_rows; }
    bool sampleLoading() const { return m_reader != nullptr; }
    const std::vector<std::string>& sampleLines() const { return m_lines; }

signals:
    // The sample's lines are read and its first line is shown.
    void sampleLoaded();
    // "Save" was clicked: the window runs save() with its PATH texts.
    void saveRequested();
    // "Read" was clicked.
    void readRequested();
    // "Replace" was clicked: the window opens the rules window.
    void replaceRequested();

private:
    void createControls(QWidget* window, const DialogUnits& units);
    void connectControls();
    void readSlice();
    void showStoredDefinitions();
    void showSampleLine(std::size_t index);
    void showRows();
    void drawFieldName();
    void markSelection();
    void onRowPressed(const QPoint& position);
    void clearOne();
    void clearAll();
    void chooseStartRow();
    void rowsChanged();
    bool eventFilter(QObject* watched, QEvent* event) override;

    Context m_context;
    FixedFieldRows m_rows;
    std::vector<std::string> m_lines;
    std::unique_ptr<FixedSampleReader> m_reader;
    QTimer m_readTimer;

    QComboBox* m_startRow = nullptr;
    SampleBox* m_sample = nullptr;
    MarkingStrip* m_strip = nullptr;
    QLabel* m_fieldName = nullptr;
    QPalette m_plainNamePalette;
    QPalette m_drawnNamePalette;
    QLabel* m_selectString = nullptr;
    QLabel* m_startPoint = nullptr;
    QLabel* m_endPoint = nullptr;
    QLabel* m_encoding = nullptr; // the sample's encoding, as a run would read it
    QTableWidget* m_list = nullptr;
    QListWidget* m_sampleLines = nullptr;
};

} // namespace ostrel
