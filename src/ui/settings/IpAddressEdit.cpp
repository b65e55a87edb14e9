#include "ui/settings/IpAddressEdit.h"

#include <QIntValidator>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QRegularExpressionValidator>

namespace ostrel {

IpAddressEdit::IpAddressEdit(QWidget* parent) : QWidget(parent)
{
    // Up to three digits (leading zeros allowed, as in a padded address) with a value up to 255.
    const QRegularExpression octet(QStringLiteral("^([01]?[0-9]{1,2}|2[0-4][0-9]|25[0-5])?$"));
    for (std::size_t i = 0; i < m_fields.size(); ++i) {
        auto* edit = new QLineEdit(this);
        edit->setObjectName(QStringLiteral("octet%1").arg(i));
        edit->setAlignment(Qt::AlignCenter);
        edit->setValidator(new QRegularExpressionValidator(octet, edit));
        edit->installEventFilter(this);
        m_fields[i] = edit;
        if (i + 1 < m_fields.size()) {
            connect(edit, &QLineEdit::textEdited, this, [this, i](const QString& text) {
                if (text.size() == 3) {
                    m_fields[i + 1]->setFocus();
                    m_fields[i + 1]->selectAll();
                }
            });
        }
    }
    for (auto& dot : m_dots) {
        auto* label = new QLabel(QStringLiteral("."), this);
        label->setAlignment(Qt::AlignCenter);
        dot = label;
    }
    setFocusProxy(m_fields[0]);
}

void IpAddressEdit::setAddress(const QString& dotted)
{
    const QStringList pieces = dotted.split(QLatin1Char('.'));
    for (std::size_t i = 0; i < m_fields.size(); ++i) {
        const QString piece = i < static_cast<std::size_t>(pieces.size())
                                  ? pieces.at(static_cast<qsizetype>(i)).trimmed()
                                  : QString();
        int position = 0;
        QString candidate = piece;
        const bool fits =
            m_fields[i]->validator()->validate(candidate, position) == QValidator::Acceptable;
        m_fields[i]->setText(fits ? piece : QString());
    }
}

QString IpAddressEdit::address() const
{
    QStringList pieces;
    for (const auto* field : m_fields) {
        // "010" and "10" are one address: the list shows numbers without leading zeros.
        pieces << (field->text().isEmpty() ? QString() : QString::number(field->text().toInt()));
    }
    return pieces.join(QLatin1Char('.'));
}

std::array<std::string, 4> IpAddressEdit::octets() const
{
    std::array<std::string, 4> result;
    for (std::size_t i = 0; i < m_fields.size(); ++i) {
        result[i] = m_fields[i]->text().toStdString();
    }
    return result;
}

void IpAddressEdit::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    layOut();
}

bool IpAddressEdit::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::KeyPress) {
        const auto* key = static_cast<QKeyEvent*>(event);
        for (std::size_t i = 0; i + 1 < m_fields.size(); ++i) {
            if (watched == m_fields[i] && key->key() == Qt::Key_Period) {
                m_fields[i + 1]->setFocus();
                m_fields[i + 1]->selectAll();
                return true;
            }
        }
    }
    return QWidget::eventFilter(watched, event);
}

void IpAddressEdit::layOut()
{
    const int dotWidth = fontMetrics().horizontalAdvance(QLatin1Char('.')) + 4;
    const int fieldWidth = (width() - 3 * dotWidth) / 4;
    int x = 0;
    for (std::size_t i = 0; i < m_fields.size(); ++i) {
        m_fields[i]->setGeometry(x, 0, fieldWidth, height());
        x += fieldWidth;
        if (i < m_dots.size()) {
            m_dots[i]->setGeometry(x, 0, dotWidth, height());
            x += dotWidth;
        }
    }
}

} // namespace ostrel
