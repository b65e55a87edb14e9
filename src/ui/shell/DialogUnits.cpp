#include "ui/shell/DialogUnits.h"

#include <QFontDatabase>
#include <QFontInfo>
#include <QFontMetrics>
#include <QWidget>

#include <algorithm>

namespace ostrel {
namespace {

// Windows' MulDiv: the product over the divisor, rounded half away from zero.
int mulDiv(int value, int numerator, int denominator)
{
    const long long product = static_cast<long long>(value) * numerator;
    const long long half = denominator / 2;
    return static_cast<int>(product >= 0 ? (product + half) / denominator
                                         : (product - half) / denominator);
}

} // namespace

QFont dialogFont()
{
    QFont designed(QStringLiteral("MS Sans Serif"), 8);
    if (QFontInfo(designed).family().compare(QStringLiteral("MS Sans Serif"),
                                             Qt::CaseInsensitive) == 0) {
        return designed;
    }
    QFont desktop = QFontDatabase::systemFont(QFontDatabase::GeneralFont);
    desktop.setStyleHint(QFont::SansSerif);
    return desktop;
}

DialogUnits::DialogUnits(const QFont& font)
{
    // The average width of the 52 letters, rounded as GetDialogBaseUnits does.
    const QFontMetrics metrics(font);
    const int letters = metrics.horizontalAdvance(
        QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz"));
    m_baseX = std::max(1, (letters / 26 + 1) / 2);
    m_baseY = std::max(1, metrics.ascent() + metrics.descent());
}

int DialogUnits::x(int units) const
{
    return mulDiv(units, m_baseX, 4);
}

int DialogUnits::y(int units) const
{
    return mulDiv(units, m_baseY, 8);
}

QSize DialogUnits::size(int width, int height) const
{
    return {x(width), y(height)};
}

QRect DialogUnits::rect(int left, int top, int width, int height) const
{
    return {x(left), y(top), x(width), y(height)};
}

void DialogUnits::place(QWidget& control, int left, int top, int width, int height) const
{
    control.setGeometry(rect(left, top, width, height));
}

} // namespace ostrel
