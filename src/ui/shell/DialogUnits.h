// Dialog units: every window is laid out in the units its design uses, converted to pixels
// from the dialog font's average character size the way Windows does, so a window keeps its
// proportions whatever font the desktop gives us.
#pragma once

#include <QFont>
#include <QRect>
#include <QSize>

class QWidget;

namespace ostrel {

// "MS Sans Serif" 8 pt where it exists, else the desktop's sans-serif.
QFont dialogFont();

class DialogUnits final
{
public:
    explicit DialogUnits(const QFont& font);

    // The base units: average character width and character height in pixels.
    int baseX() const { return m_baseX; }
    int baseY() const { return m_baseY; }

    int x(int units) const;
    int y(int units) const;
    QSize size(int width, int height) const;
    QRect rect(int x, int y, int width, int height) const;

    // Puts a control at its designed place inside its window.
    void place(QWidget& control, int x, int y, int width, int height) const;

private:
    int m_baseX;
    int m_baseY;
};

} // namespace ostrel
