// The marking strip above the fixed-type sample box: the characters the box shows, each drawn
// exactly above its own column (so it follows the box's horizontal scrolling), red where a
// field covers it and black elsewhere, on the button-face colour. Which position is marked is
// the core's rule, handed in as a function.
#pragma once

#include <QWidget>

#include <cstddef>
#include <functional>
#include <optional>
#include <vector>

class QPlainTextEdit;

namespace ostrel {

class MarkingStrip final : public QWidget
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(MarkingStrip)

public:
    static constexpr QRgb kMarkedColour = qRgb(200, 10, 10);

    using MarkRule = std::function<bool(std::size_t position)>;

    MarkingStrip(QPlainTextEdit* box, QWidget* parent);
    ~MarkingStrip() override;

    void setMarkRule(MarkRule rule);

    // One character as the strip draws it: its position in the shown line, its left edge in
    // the strip, and whether it is red.
    struct Cell
    {
        std::size_t position = 0;
        int x = 0;
        QChar character;
        bool marked = false;
    };
    // The characters fully visible in the box, from the first visible one on.
    std::vector<Cell> cells() const;
    std::optional<std::size_t> firstDrawnPosition() const;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QPlainTextEdit* m_box;
    MarkRule m_marked;
};

} // namespace ostrel
