#include "ui/shell/CNoTrayDlg.h"

#include "ui/shell/CTrayIcon.h"
#include "ui/shell/DialogUnits.h"
#include "ui/shell/ProgramIcon.h"

#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>

#include <array>

namespace ostrel {
namespace {

struct ButtonRow
{
    int commandId;
    const char* text;
    const char* objectName;
    int top; // dialog units; the gaps stand for the menu's separators
};

constexpr std::array<ButtonRow, 5> kButtons{{
    {Command::Configuration, "Configuration", "configurationButton", 7},
    {Command::PluFileSetting, "PLU File Setting", "pluFileSettingButton", 24},
    {Command::About, "About", "aboutButton", 41},
    {Command::DirectDownload, "Direct Download", "directDownloadButton", 62},
    {Command::Exit, "Exit", "exitButton", 83},
}};

constexpr int kWidth = 250;
constexpr int kHeight = 104;
constexpr int kButtonLeft = 178;
constexpr int kButtonWidth = 65;
constexpr int kTextLeft = 34;
constexpr int kTextWidth = kButtonLeft - kTextLeft - 8;

} // namespace

CNoTrayDlg::CNoTrayDlg(QWidget* parent) : QWidget(parent, Qt::Window)
{
    setObjectName(QStringLiteral("noTrayDlg"));
    setWindowTitle(QStringLiteral("Ostrel"));
    setWindowIcon(programIcon());
    setFont(dialogFont());
    const DialogUnits units(font());
    setFixedSize(units.size(kWidth, kHeight));

    m_icon = new QLabel(this);
    m_icon->setObjectName(QStringLiteral("iconLabel"));
    m_icon->setProperty("controlId", kIconId);
    units.place(*m_icon, 7, 7, 20, 20);

    m_status = new QLabel(QStringLiteral("Ostrel"), this);
    m_status->setObjectName(QStringLiteral("statusText"));
    m_status->setProperty("controlId", kStatusId);
    m_status->setTextFormat(Qt::PlainText);
    m_status->setWordWrap(true);
    m_status->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    units.place(*m_status, kTextLeft, 7, kTextWidth, 34);

    auto* note = new QLabel(QString::fromLatin1(kNoteText), this);
    note->setObjectName(QStringLiteral("backgroundNote"));
    note->setProperty("controlId", kNoteId);
    note->setWordWrap(true);
    note->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    units.place(*note, kTextLeft, 46, kTextWidth, kHeight - 46 - 7);

    for (const ButtonRow& row : kButtons) {
        auto* button = new QPushButton(QString::fromLatin1(row.text), this);
        button->setObjectName(QString::fromLatin1(row.objectName));
        button->setProperty("controlId", row.commandId);
        button->setAutoDefault(false);
        units.place(*button, kButtonLeft, row.top, kButtonWidth, 14);
        const int id = row.commandId;
        connect(button, &QPushButton::clicked, this, [this, id] { emit commandChosen(id); });
    }
    showStatus(QStringLiteral("Ostrel"), programIcon());
}

CNoTrayDlg::~CNoTrayDlg() = default;

void CNoTrayDlg::showStatus(const QString& toolTip, const QIcon& icon)
{
    m_status->setText(toolTip);
    m_icon->setPixmap(icon.pixmap(m_icon->size()));
}

void CNoTrayDlg::keyPressEvent(QKeyEvent* event)
{
    if (event->key() == Qt::Key_Escape) {
        close();
        return;
    }
    QWidget::keyPressEvent(event);
}

void CNoTrayDlg::bringUp()
{
    show();
    raise();
    activateWindow();
}

} // namespace ostrel
