// The About window: the program icon, name and version, and "OK".
#pragma once

#include <QDialog>

namespace ostrel {

class CAboutDlg final : public QDialog
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(CAboutDlg)

public:
    static constexpr const char* kVersionText = "Ostrel Version 1.4.15";

    explicit CAboutDlg(QWidget* parent = nullptr);
    ~CAboutDlg() override;
};

} // namespace ostrel
