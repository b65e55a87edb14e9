// The PLU file setting window "Select": where the data files lie, how they are named, which
// layout they use, and the two designer groups that describe that layout on a sample file.
// One object lives as long as the main window; each opening loads everything anew, while the
// modified and saved flags carry over. Every step that reads or writes a file is the core's.
#pragma once

#include "engine/WindowPreview.h"
#include "format/PluFileSettingSession.h"
#include "format/PrsFile.h"
#include "format/StructFile.h"
#include "settings/SettingsPaths.h"

#include <QDialog>

#include <initializer_list>
#include <string>
#include <vector>

class QLineEdit;
class QRadioButton;

namespace ostrel {

class FixedDesignerGroup;
class PreviewDlg;
class MessageSink;
class SeparatedDesignerGroup;

class CPluFileSettingDlg final : public QDialog
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(CPluFileSettingDlg)

public:
    CPluFileSettingDlg(SettingsPaths paths, MessageSink& messages, QWidget* parent = nullptr);
    ~CPluFileSettingDlg() override;

    // Opens the window modally: the opening's steps, then the window until OK or Cancel.
    int runModal();
    // The opening's steps alone (the window is not shown).
    void prepareOpening();

    // The selected layout type: kSeparatedType, kFixedType, or 0 when neither is checked.
    int selectedType() const;
    const PluFileSettingSession& session() const { return m_session; }
    SeparatedDesignerGroup& separatedGroup() { return *m_separated; }
    FixedDesignerGroup& fixedGroup() { return *m_fixed; }
    // The in-memory field definitions: the stored ones as last read, and OK's copy of the
    // fixed-type rows; the main window hands them to the run's format loader.
    const std::vector<FixedFieldDef>& fixedDefinitions() const { return m_definitions; }
    // Everything the window holds now, saved or not, as the preview takes it.
    WindowLayout currentLayout() const;
    // The "Preview" window, once it was opened.
    PreviewDlg* previewDlg() const { return m_preview; }

public slots:
    void accept() override; // OK and Enter
    void reject() override; // Cancel, Escape and the close box

private:
    void createCommonControls();
    void applyTypeSwitch();
    void setControlsEnabled(std::initializer_list<int> ids, bool enabled);
    void browseForFolder();
    void refresh();
    void saveSeparated();
    void saveFixed();
    // OK's first step; false when a field every record needs has no definition.
    bool copyFixedRows();
    PathTexts pathTexts() const;

    SettingsPaths m_paths;
    MessageSink& m_messages;
    PluFileSettingSession m_session;
    std::vector<PluField> m_fields;
    std::vector<FixedFieldDef> m_definitions;

    QLineEdit* m_folder = nullptr;
    QLineEdit* m_prefix = nullptr;
    QLineEdit* m_extension = nullptr;
    QRadioButton* m_separatedType = nullptr;
    QRadioButton* m_fixedType = nullptr;
    SeparatedDesignerGroup* m_separated = nullptr;
    FixedDesignerGroup* m_fixed = nullptr;
    PreviewDlg* m_preview = nullptr;
};

} // namespace ostrel
