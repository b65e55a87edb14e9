// The notification-area icon and the program menu. The menu's commands are reported by their
// command ids; what they do is the main window's business.
#pragma once

#include <QIcon>
#include <QMenu>
#include <QObject>
#include <QSystemTrayIcon>

namespace ostrel {

namespace Command {
inline constexpr int Configuration = 32773;
inline constexpr int PluFileSetting = 32774;
inline constexpr int About = 32775;
inline constexpr int DirectDownload = 32776;
inline constexpr int Exit = 65535;
} // namespace Command

class CTrayIcon final : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(CTrayIcon)

public:
    // The property on each menu action that holds its command id.
    static constexpr const char* kCommandIdProperty = "commandId";

    explicit CTrayIcon(QObject* parent = nullptr);
    ~CTrayIcon() override;

    // Shows the icon with its tip and menu. False when no tray is there now; the icon stays
    // requested, so it appears if a tray comes later.
    bool Add(const QString& tip, const QIcon& icon);
    void SetIcon(const QIcon& icon);
    void Delete();

    QSystemTrayIcon& icon() { return m_icon; }
    QMenu& menu() { return m_menu; }

signals:
    void commandChosen(int commandId);

private:
    QAction* addCommand(int id, const char* objectName);
    void giveTexts();

    QMenu m_menu;
    QSystemTrayIcon m_icon;
};

} // namespace ostrel
