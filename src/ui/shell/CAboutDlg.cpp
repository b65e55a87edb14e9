#include "ui/shell/CAboutDlg.h"

#include "ui/shell/DialogUnits.h"
#include "ui/shell/ProgramIcon.h"

#include <QLabel>
#include <QPushButton>

namespace ostrel {

CAboutDlg::CAboutDlg(QWidget* parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("aboutDlg"));
    setWindowTitle(QStringLiteral("Ostrel Information"));
    setWindowIcon(programIcon());
    setFont(dialogFont());
    const DialogUnits units(font());
    setFixedSize(units.size(235, 55));

    auto* icon = new QLabel(this);
    icon->setObjectName(QStringLiteral("iconLabel"));
    const QRect iconRect = units.rect(11, 17, 20, 20);
    icon->setGeometry(iconRect);
    icon->setPixmap(programIcon().pixmap(iconRect.size()));

    auto* version = new QLabel(QString::fromLatin1(kVersionText), this);
    version->setObjectName(QStringLiteral("versionText"));
    units.place(*version, 40, 10, 119, 8);

    auto* empty = new QLabel(this);
    empty->setObjectName(QStringLiteral("emptyText"));
    units.place(*empty, 40, 25, 119, 8);

    auto* ok = new QPushButton(QStringLiteral("OK"), this);
    ok->setObjectName(QStringLiteral("okButton"));
    ok->setProperty("controlId", 1);
    ok->setDefault(true);
    units.place(*ok, 178, 7, 50, 14);
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);
}

CAboutDlg::~CAboutDlg() = default;

} // namespace ostrel
