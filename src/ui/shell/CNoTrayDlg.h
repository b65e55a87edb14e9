// The "Ostrel" window of a desktop without a tray: the tray menu's commands as buttons, the
// tooltip's status with the tray icon's state, and a note that closing it leaves Ostrel
// running. The main window shows it while no tray is there and hides it when one appears;
// what the buttons do is the main window's business, as with the menu.
#pragma once

#include <QWidget>

class QLabel;

namespace ostrel {

class CNoTrayDlg final : public QWidget
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(CNoTrayDlg)

public:
    static constexpr int kIconId = 1301;
    static constexpr int kStatusId = 1302;
    static constexpr int kNoteId = 1303;
    static constexpr const char* kNoteText =
        "There is no system tray on this desktop, so this window takes the place of the tray "
        "icon. Close it and Ostrel keeps running in the background; start Ostrel again from the "
        "menu to bring it back.";

    explicit CNoTrayDlg(QWidget* parent = nullptr);
    ~CNoTrayDlg() override;

    // The tray icon's tooltip and icon, as they change.
    void showStatus(const QString& toolTip, const QIcon& icon);
    // Shown, in front of the other windows.
    void bringUp();

signals:
    // A button, by the command id of its menu item.
    void commandChosen(int commandId);

protected:
    // Escape closes it, as it closes a dialog: Ostrel goes on in the background.
    void keyPressEvent(QKeyEvent* event) override;

private:
    QLabel* m_icon = nullptr;
    QLabel* m_status = nullptr;
};

} // namespace ostrel
