// The "Separate Type" group of the PLU file setting window: separator, comment marker, first
// row, "Item code = PLU No", and the column order list with the sample's preview values. The
// list and its rules are the core's ColumnOrder; this group shows it and wires the buttons.
#pragma once

#include "format/ColumnOrder.h"
#include "format/SeparatedForm.h"
#include "format/StructFile.h"
#include "settings/SettingsPaths.h"
#include "ui/format/PreviewScan.h"

#include <QObject>

#include <string>
#include <vector>

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;
class QTableWidget;
class QWidget;

namespace ostrel {

class DialogUnits;
class MessageSink;
class PluFileSettingSession;

class SeparatedDesignerGroup final : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(SeparatedDesignerGroup)

public:
    struct Context
    {
        const SettingsPaths& paths;
        MessageSink& messages;
        PluFileSettingSession& session;
        const std::vector<PluField>& fields; // the PLU field list of this opening
    };

    // Makes the group's controls on `window` at their places.
    SeparatedDesignerGroup(QWidget* window, const DialogUnits& units, Context context);
    ~SeparatedDesignerGroup() override;

    // The opening's steps: the stored settings into the controls, the column order from
    // PluID.ini, the preview of a sample file ("" for none), the move buttons' arrows.
    void loadSettings();
    void loadColumnOrder();
    // `searchPattern` is where the sample was looked for, for the message when there is none.
    void preview(const std::string& samplePath, const std::string& searchPattern);
    void showArrowImages();

    // The buttons; Save also runs from OK.
    // "Read": the first file of the pattern the edits give, saved or not.
    void read(const PathTexts& pathTexts);
    SaveOutcome save(const PathTexts& pathTexts);
    void clearAll();
    void setDefault();
    void moveUp();
    void moveDown();

    SeparatedForm form() const;
    const ColumnOrder& columnOrder() const { return m_order; }
    bool tabChecked() const;
    bool previewPending() const { return m_scan.running(); }
    void stopPreview() { m_scan.cancel(); }

signals:
    // Once per preview that filled the value column.
    void previewFinished();
    // "Save" was clicked: the window runs save() with its PATH texts.
    void saveRequested();
    void readRequested();

private:
    void createControls(QWidget* window, const DialogUnits& units);
    void connectControls();
    // Scans `samplePath` for its values without reloading the list; false when it cannot be
    // opened.
    bool startValueScan(const std::string& samplePath);
    void showRows();
    void onListPressed(const QPoint& position);
    bool eventFilter(QObject* watched, QEvent* event) override;

    Context m_context;
    ColumnOrder m_order;
    PreviewScan m_scan;

    QComboBox* m_startRow = nullptr;
    QLineEdit* m_comment = nullptr;
    QRadioButton* m_tab = nullptr;
    QRadioButton* m_typed = nullptr;
    QLineEdit* m_separator = nullptr;
    QCheckBox* m_itemIsPlu = nullptr;
    QLabel* m_encoding = nullptr; // the sample's encoding, as a run would read it
    QPushButton* m_read = nullptr;
    QPushButton* m_save = nullptr;
    QPushButton* m_clearAll = nullptr;
    QPushButton* m_default = nullptr;
    QTableWidget* m_list = nullptr;
    QPushButton* m_up = nullptr;
    QPushButton* m_down = nullptr;
};

} // namespace ostrel
