#include "ui/shell/CTrayIcon.h"

#include <array>
#include <utility>

namespace ostrel {
namespace {

// The texts the items are given each time the menu opens, by command id.
constexpr std::array<std::pair<int, const char*>, 5> kTexts{{
    {Command::Configuration, "Configuration"},
    {Command::PluFileSetting, "PLU File Setting"},
    {Command::About, "About"},
    {Command::DirectDownload, "Direct Download"},
    {Command::Exit, "Exit"},
}};

} // namespace

CTrayIcon::CTrayIcon(QObject* parent) : QObject(parent)
{
    m_menu.setObjectName(QStringLiteral("trayMenu"));
    addCommand(Command::Configuration, "configurationAction");
    addCommand(Command::PluFileSetting, "pluFileSettingAction");
    addCommand(Command::About, "aboutAction");
    m_menu.addSeparator();
    addCommand(Command::DirectDownload, "directDownloadAction");
    m_menu.addSeparator();
    addCommand(Command::Exit, "exitAction");
    giveTexts();
    connect(&m_menu, &QMenu::aboutToShow, this, &CTrayIcon::giveTexts);
}

CTrayIcon::~CTrayIcon()
{
    m_icon.setContextMenu(nullptr);
}

QAction* CTrayIcon::addCommand(int id, const char* objectName)
{
    QAction* action = m_menu.addAction(QString());
    action->setObjectName(QString::fromLatin1(objectName));
    action->setProperty(kCommandIdProperty, id);
    connect(action, &QAction::triggered, this, [this, id] { emit commandChosen(id); });
    return action;
}

void CTrayIcon::giveTexts()
{
    for (QAction* action : m_menu.actions()) {
        const int id = action->property(kCommandIdProperty).toInt();
        for (const auto& [commandId, text] : kTexts) {
            if (commandId == id) {
                action->setText(QString::fromLatin1(text));
            }
        }
    }
}

bool CTrayIcon::Add(const QString& tip, const QIcon& icon)
{
    m_icon.setToolTip(tip);
    m_icon.setIcon(icon);
    // Qt opens the menu on a right click; a left click shows nothing, as the main window
    // it would ask for stays hidden.
    m_icon.setContextMenu(&m_menu);
    m_icon.show();
    return QSystemTrayIcon::isSystemTrayAvailable();
}

void CTrayIcon::SetIcon(const QIcon& icon)
{
    m_icon.setIcon(icon);
}

void CTrayIcon::Delete()
{
    m_icon.hide();
}

} // namespace ostrel
