// The four-octet address control: four fields that take 0 to 255 each, with the dots between
// them drawn as labels. Typing a dot or three digits moves on to the next field.
#pragma once

#include <QWidget>

#include <array>
#include <string>

class QLineEdit;

namespace ostrel {

class IpAddressEdit final : public QWidget
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(IpAddressEdit)

public:
    explicit IpAddressEdit(QWidget* parent = nullptr);

    // Dotted text; pieces beyond four or that are not numbers leave their field empty.
    void setAddress(const QString& dotted);
    // The dotted form the fields give ("10..0.1" when one is blank).
    QString address() const;
    std::array<std::string, 4> octets() const;
    QLineEdit* field(int index) const { return m_fields.at(static_cast<std::size_t>(index)); }

protected:
    void resizeEvent(QResizeEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void layOut();
    std::array<QLineEdit*, 4> m_fields{};
    std::array<QWidget*, 3> m_dots{};
};

} // namespace ostrel
