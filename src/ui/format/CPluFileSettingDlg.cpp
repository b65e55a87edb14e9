#include "ui/format/CPluFileSettingDlg.h"

#include "settings/SearchPattern.h"
#include "ui/rules/CReplaceDlg.h"

#include "format/FixedForm.h"
#include "format/ImportFormat.h"
#include "format/LayoutKeys.h"
#include "format/SampleFile.h"
#include "platform/MessageBox.h"
#include "ui/format/FixedDesignerGroup.h"
#include "ui/format/FormatControls.h"
#include "ui/format/PreviewDlg.h"
#include "ui/format/SeparatedDesignerGroup.h"
#include "ui/shell/ProgramIcon.h"

#include <QButtonGroup>
#include <QFileDialog>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>

#include <utility>

namespace ostrel {

namespace {

// The controls each layout type enables, and disables for the other one.
constexpr std::initializer_list<int> kSeparatedControls = {1069, 1070, 1064, 1067, 1068, 1073,
                                                           1075, 1076, 1083, 1078, 1079};
constexpr std::initializer_list<int> kFixedControls = {1022, 1023, 1024, 1025, 1026, 1027, 1028,
                                                       1029, 1030, 1031, 1032, 1033, 1034, 1035};
constexpr int kSeparatorEdit = 1063;

// The designed "MS Sans Serif" 9 pt where it exists, else the desktop's dialog font.
QFont windowFont()
{
    QFont font = dialogFont();
    if (font.family().compare(QStringLiteral("MS Sans Serif"), Qt::CaseInsensitive) == 0) {
        font.setPointSize(9);
    }
    return font;
}

} // namespace

CPluFileSettingDlg::CPluFileSettingDlg(SettingsPaths paths, MessageSink& messages, QWidget* parent)
    : QDialog(parent), m_paths(std::move(paths)), m_messages(messages),
      m_definitions(kMaxPrsRecords)
{
    setObjectName(QStringLiteral("pluFileSettingDlg"));
    setWindowTitle(QStringLiteral("Select"));
    setWindowIcon(programIcon());
    setFont(windowFont());
    setModal(true);
    const DialogUnits units(font());
    setFixedSize(units.size(503, 363));

    // Group boxes first: the controls they frame lie above them.
    placeControl<QGroupBox>(this, units, "typeSelectGroup", 1060, {7, 67, 232, 48},
                            QStringLiteral("Type Select"));
    placeControl<QGroupBox>(this, units, "separateTypeGroup", 1059, {7, 126, 232, 203},
                            QStringLiteral("Separate Type"));
    placeControl<QGroupBox>(this, units, "fixedTypeGroup", 1058, {247, 8, 249, 320},
                            QStringLiteral("Fixed Type"));
    createCommonControls();
    m_separated =
        new SeparatedDesignerGroup(this, units, {m_paths, m_messages, m_session, m_fields});
    m_fixed = new FixedDesignerGroup(this, units, {m_paths, m_messages, m_session, m_definitions});
    connect(m_separated, &SeparatedDesignerGroup::saveRequested, this,
            &CPluFileSettingDlg::saveSeparated);
    connect(m_fixed, &FixedDesignerGroup::saveRequested, this, &CPluFileSettingDlg::saveFixed);
    // The rules window works on its own copy of the field list; nothing here changes.
    connect(m_fixed, &FixedDesignerGroup::replaceRequested, this,
            [this] { CReplaceDlg::openModal(m_fields, m_paths, m_messages, this); });
    connect(m_fixed, &FixedDesignerGroup::readRequested, this,
            [this] { m_fixed->read(pathTexts()); });
    connect(m_separated, &SeparatedDesignerGroup::readRequested, this,
            [this] { m_separated->read(pathTexts()); });

    auto* ok = placeControl<QPushButton>(this, units, "okButton", 1, {384, 334, 50, 20},
                                         QStringLiteral("OK"));
    ok->setDefault(true);
    connect(ok, &QPushButton::clicked, this, &CPluFileSettingDlg::accept);
    auto* cancel = placeControl<QPushButton>(this, units, "cancelButton", 2, {440, 333, 50, 20},
                                             QStringLiteral("Cancel"));
    cancel->setAutoDefault(false);
    connect(cancel, &QPushButton::clicked, this, &CPluFileSettingDlg::reject);
    // In the free space beside OK: what each scale would get, with the values as they stand.
    auto* preview = placeControl<QPushButton>(this, units, "previewButton", 1106,
                                              {328, 334, 50, 20}, QStringLiteral("Preview"));
    preview->setAutoDefault(false);
    connect(preview, &QPushButton::clicked, this, [this] {
        if (m_preview == nullptr) {
            m_preview = new PreviewDlg(
                m_paths, [this] { return currentLayout(); }, this);
        }
        m_preview->show();
        m_preview->raise();
    });
}

CPluFileSettingDlg::~CPluFileSettingDlg() = default;

void CPluFileSettingDlg::createCommonControls()
{
    const DialogUnits units(font());
    placeControl<QLabel>(this, units, "directoryLabel", 0, {11, 17, 32, 10},
                         QStringLiteral("Directory"));
    m_folder = placeControl<QLineEdit>(this, units, "folderEdit", 1015, {46, 14, 150, 13});
    auto* browser = placeControl<QPushButton>(this, units, "browserButton", 1011, {200, 12, 38, 17},
                                              QStringLiteral("Browser"));
    placeControl<QLabel>(this, units, "fileNameLabel", 0, {11, 37, 55, 10},
                         QStringLiteral("PLU File Name"));
    m_prefix = placeControl<QLineEdit>(this, units, "prefixEdit", 1087, {69, 35, 70, 13});
    placeControl<QLabel>(this, units, "starDotLabel", 1086, {141, 37, 11, 11},
                         QStringLiteral("* ."))
        ->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
    m_extension = placeControl<QLineEdit>(this, units, "extensionEdit", 1088, {154, 35, 42, 13});
    placeControl<QLabel>(this, units, "prefixLabel", 0, {71, 50, 66, 12}, QStringLiteral("PreFix"))
        ->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
    placeControl<QLabel>(this, units, "extensionLabel", 0, {154, 50, 42, 12},
                         QStringLiteral("Extention"))
        ->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
    auto* refresh = placeControl<QPushButton>(this, units, "refreshButton", 1089, {200, 33, 38, 17},
                                              QStringLiteral("Refresh"));

    m_separatedType = placeControl<QRadioButton>(this, units, "separateTypeRadio", 1061,
                                                 {13, 82, 68, 10}, QStringLiteral("Separate Type"));
    m_fixedType = placeControl<QRadioButton>(this, units, "fixedTypeRadio", 1062, {13, 97, 67, 10},
                                             QStringLiteral("Fixed Type"));
    auto* types = new QButtonGroup(this);
    types->addButton(m_separatedType);
    types->addButton(m_fixedType);

    for (QPushButton* button : {browser, refresh}) {
        button->setAutoDefault(false);
    }
    for (QLineEdit* edit : {m_folder, m_prefix, m_extension}) {
        connect(edit, &QLineEdit::textChanged, this, [this] { m_session.markModified(); });
    }
    connect(browser, &QPushButton::clicked, this, &CPluFileSettingDlg::browseForFolder);
    connect(refresh, &QPushButton::clicked, this, &CPluFileSettingDlg::refresh);
    connect(m_separatedType, &QRadioButton::clicked, this, &CPluFileSettingDlg::applyTypeSwitch);
    connect(m_fixedType, &QRadioButton::clicked, this, &CPluFileSettingDlg::applyTypeSwitch);
}

int CPluFileSettingDlg::runModal()
{
    prepareOpening();
    return exec();
}

void CPluFileSettingDlg::prepareOpening()
{
    const LayoutKeys keys = readLayoutKeys(m_paths.tarvikIni);
    m_folder->setText(fromCodePage(keys.pluRoot));
    m_prefix->setText(fromCodePage(keys.prefix));
    m_extension->setText(fromCodePage(keys.extension));
    (keys.windowFileType() == kSeparatedType ? m_separatedType : m_fixedType)->setChecked(true);

    m_fields = readPluFieldList(m_paths.structFile);
    for (std::size_t n = 0; n < m_fields.size() && n < m_definitions.size(); ++n) {
        m_definitions[n].fieldNumber = m_fields[n].number;
        m_definitions[n].name = m_fields[n].name;
    }
    m_fixed->selectStartRow("1");
    m_separated->loadSettings();
    m_fixed->selectStartRow(keys.startRow);
    applyTypeSwitch();
    m_separated->loadColumnOrder();
    m_fixed->fillFieldRows(m_fields);

    const std::string pattern = readSearchPattern(m_paths.tarvikIni);
    const std::string sample = findSampleFile(pattern);
    m_separated->preview(sample, pattern);
    m_fixed->startAfresh();
    m_fixed->loadSample(sample, pattern);
    m_separated->showArrowImages();
}

int CPluFileSettingDlg::selectedType() const
{
    if (m_separatedType->isChecked()) {
        return kSeparatedType;
    }
    if (m_fixedType->isChecked()) {
        return kFixedType;
    }
    return 0;
}

void CPluFileSettingDlg::setControlsEnabled(std::initializer_list<int> ids, bool enabled)
{
    for (QWidget* control : findChildren<QWidget*>()) {
        const QVariant id = control->property("controlId");
        if (id.isValid() && std::find(ids.begin(), ids.end(), id.toInt()) != ids.end()) {
            control->setEnabled(enabled);
        }
    }
}

void CPluFileSettingDlg::applyTypeSwitch()
{
    const bool separated = m_separatedType->isChecked();
    if (!separated && !m_fixedType->isChecked()) {
        return;
    }
    setControlsEnabled(kSeparatedControls, separated);
    setControlsEnabled(kFixedControls, !separated);
    setControlsEnabled({kSeparatorEdit}, separated && !m_separated->tabChecked());
}

void CPluFileSettingDlg::browseForFolder()
{
    QFileDialog chooser(this, QStringLiteral("Select Folder"), m_folder->text());
    chooser.setObjectName(QStringLiteral("selectFolderDialog"));
    chooser.setFileMode(QFileDialog::Directory);
    chooser.setOption(QFileDialog::ShowDirsOnly, true);
    if (chooser.exec() != QDialog::Accepted || chooser.selectedFiles().isEmpty()) {
        return;
    }
    m_fixed->discardSampleLines();
    m_folder->setText(chooser.selectedFiles().constFirst());
}

void CPluFileSettingDlg::refresh()
{
    if (m_separatedType->isChecked()) {
        m_separated->read(pathTexts());
    } else if (m_fixedType->isChecked()) {
        m_fixed->read(pathTexts());
    }
}

WindowLayout CPluFileSettingDlg::currentLayout() const
{
    WindowLayout layout;
    layout.paths = pathTexts();
    layout.fileType = selectedType() == kFixedType ? kFixedType : kSeparatedType;
    layout.separated = m_separated->form();
    layout.columns = m_separated->columnOrder().idRows();
    layout.fixedRows = m_fixed->rowDefinitions();
    layout.fixedStartRow = m_fixed->startRowText();
    layout.rulesFile = fileStamp(m_paths.rulesFile);
    return layout;
}

PathTexts CPluFileSettingDlg::pathTexts() const
{
    return {toCodePage(m_folder->text()), toCodePage(m_prefix->text()),
            toCodePage(m_extension->text())};
}

void CPluFileSettingDlg::saveSeparated()
{
    m_separated->save(pathTexts());
}

void CPluFileSettingDlg::saveFixed()
{
    m_fixed->save(pathTexts());
}

bool CPluFileSettingDlg::copyFixedRows()
{
    const std::vector<FixedFieldDef> rows = m_fixed->rowDefinitions();
    for (std::size_t n = 0; n < rows.size() && n < m_definitions.size(); ++n) {
        m_definitions[n] = rows[n];
    }
    // A layout without them sends no record, or records without a name: OK stays open.
    if (selectedType() == kFixedType && !requiredFixedFieldsDefined(rows)) {
        m_messages.ShowMessage(kConfirmRequiredFieldsMessage, "Ostrel", MessageIcon::Warning);
        return false;
    }
    return true;
}

void CPluFileSettingDlg::accept()
{
    if (!copyFixedRows()) {
        return;
    }
    m_session.confirmOnOk(
        selectedType(),
        [this] {
            if (selectedType() == kSeparatedType) {
                saveSeparated();
            } else {
                saveFixed();
            }
        },
        m_paths.tarvikIni, m_messages);
    m_separated->stopPreview();
    m_fixed->stopSampleReading();
    done(QDialog::Accepted);
}

void CPluFileSettingDlg::reject()
{
    m_separated->stopPreview();
    m_fixed->stopSampleReading();
    if (m_session.cancelClosesWithOk()) {
        done(QDialog::Accepted);
    } else {
        QDialog::reject();
    }
}

} // namespace ostrel
