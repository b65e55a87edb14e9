#include "ui/settings/CScaleInputDlg.h"

#include "platform/CodePage.h"
#include "platform/MessageBox.h"
#include "settings/ScaleInput.h"
#include "ui/settings/IpAddressEdit.h"
#include "ui/shell/DialogUnits.h"
#include "ui/shell/ProgramIcon.h"

#include <QComboBox>
#include <QIntValidator>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

namespace ostrel {
namespace {

QLabel* addLabel(QWidget* parent, const char* text, const DialogUnits& units, int y)
{
    auto* label = new QLabel(QString::fromLatin1(text), parent);
    units.place(*label, 10, y + 2, 40, 8);
    return label;
}

} // namespace

CScaleInputDlg::CScaleInputDlg(MessageSink& messages, QWidget* parent)
    : QDialog(parent), m_messages(messages), m_address(new IpAddressEdit(this)),
      m_port(new QLineEdit(this)), m_name(new QLineEdit(this)), m_model(new QComboBox(this)),
      m_version(new QLineEdit(this)), m_ok(new QPushButton(QStringLiteral("OK"), this))
{
    setObjectName(QStringLiteral("scaleInputDlg"));
    setWindowTitle(QStringLiteral("Scale Input"));
    setWindowIcon(programIcon());
    setFont(dialogFont());
    const DialogUnits units(font());
    setFixedSize(units.size(143, 121));

    addLabel(this, "IP             :", units, 12)->setObjectName(QStringLiteral("ipLabel"));
    m_address->setObjectName(QStringLiteral("ipAddress"));
    m_address->setProperty("controlId", kIpId);
    units.place(*m_address, 52, 12, 82, 12);

    addLabel(this, "Port          :", units, 30)->setObjectName(QStringLiteral("portLabel"));
    m_port->setObjectName(QStringLiteral("portEdit"));
    m_port->setProperty("controlId", kPortId);
    m_port->setValidator(new QIntValidator(0, 65535, m_port));
    units.place(*m_port, 52, 30, 82, 12);

    addLabel(this, "Name       :", units, 48)->setObjectName(QStringLiteral("nameLabel"));
    m_name->setObjectName(QStringLiteral("nameEdit"));
    m_name->setProperty("controlId", kNameId);
    units.place(*m_name, 52, 48, 82, 12);

    addLabel(this, "Model       :", units, 66)->setObjectName(QStringLiteral("modelLabel"));
    m_model->setObjectName(QStringLiteral("modelBox"));
    m_model->setProperty("controlId", kModelId);
    m_model->setEditable(true);
    m_model->setInsertPolicy(QComboBox::NoInsert);
    for (const auto model : kScaleInputModels) {
        m_model->addItem(QString::fromLatin1(model.data(), static_cast<qsizetype>(model.size())));
    }
    units.place(*m_model, 52, 66, 82, 12);

    // The version is never shown: it passes through for the list's column.
    QLabel* versionLabel = addLabel(this, "Version     :", units, 84);
    versionLabel->setObjectName(QStringLiteral("versionLabel"));
    versionLabel->setProperty("controlId", kVersionLabelId);
    versionLabel->hide();
    m_version->setObjectName(QStringLiteral("versionEdit"));
    m_version->setProperty("controlId", kVersionId);
    units.place(*m_version, 52, 84, 82, 12);
    m_version->hide();

    m_ok->setObjectName(QStringLiteral("okButton"));
    m_ok->setProperty("controlId", 1);
    m_ok->setDefault(true);
    units.place(*m_ok, 18, 100, 50, 14);
    auto* cancel = new QPushButton(QStringLiteral("Cancel"), this);
    cancel->setObjectName(QStringLiteral("cancelButton"));
    cancel->setProperty("controlId", 2);
    units.place(*cancel, 75, 100, 50, 14);

    connect(m_ok, &QPushButton::clicked, this, &CScaleInputDlg::accept);
    connect(cancel, &QPushButton::clicked, this, &CScaleInputDlg::reject);
}

void CScaleInputDlg::open(const ScaleInputTexts& texts, bool editMode)
{
    m_texts = texts;
    m_port->setText(QString::fromStdString(texts.port));
    m_address->setAddress(QString::fromStdString(texts.address));
    m_name->setText(QString::fromStdString(codePageToUtf8(texts.name)));
    m_version->setText(QString::fromStdString(codePageToUtf8(texts.version)));
    m_model->setCurrentIndex(scaleInputModelIndex(texts.model));
    if (editMode) {
        m_ok->setText(QStringLiteral("OK"));
    }
    m_name->setFocus();
}

void CScaleInputDlg::accept()
{
    if (const auto problem = checkScaleInput(m_address->octets(), m_port->text().toStdString())) {
        m_messages.ShowMessage(*problem, "Ostrel", MessageIcon::Warning);
        return; // a scale that can never be reached is not handed on
    }
    m_texts.address = m_address->address().toStdString();
    m_texts.port = m_port->text().toStdString();
    m_texts.name = utf8ToCodePage(m_name->text().toStdString());
    m_texts.model = utf8ToCodePage(m_model->currentText().toStdString());
    m_texts.version = utf8ToCodePage(m_version->text().toStdString());
    QDialog::accept();
}

} // namespace ostrel
