#include "ui/format/MarkingStrip.h"

#include <QPainter>
#include <QPlainTextEdit>
#include <QScrollBar>
#include <QTextBlock>

#include <utility>

namespace ostrel {

MarkingStrip::MarkingStrip(QPlainTextEdit* box, QWidget* parent) : QWidget(parent), m_box(box)
{
    setFont(box->font());
    setAutoFillBackground(false);
    const auto redraw = [this] { update(); };
    connect(box->horizontalScrollBar(), &QScrollBar::valueChanged, this, redraw);
    connect(box->verticalScrollBar(), &QScrollBar::valueChanged, this, redraw);
    connect(box, &QPlainTextEdit::textChanged, this, redraw);
}

MarkingStrip::~MarkingStrip() = default;

void MarkingStrip::setMarkRule(MarkRule rule)
{
    m_marked = std::move(rule);
    update();
}

std::vector<MarkingStrip::Cell> MarkingStrip::cells() const
{
    std::vector<Cell> result;
    const QWidget* viewport = m_box->viewport();
    const QTextBlock block = m_box->cursorForPosition(QPoint(0, 0)).block();
    if (!block.isValid()) {
        return result;
    }
    const QString text = block.text();
    const auto leftOf = [&](int index) {
        QTextCursor at(block);
        at.setPosition(block.position() + index);
        return m_box->cursorRect(at).left();
    };
    // The character nearest the left edge; one cut off there is not visible.
    const int lineY = m_box->cursorRect(QTextCursor(block)).center().y();
    int index = m_box->cursorForPosition(QPoint(0, lineY)).positionInBlock();
    if (index > 0 && leftOf(index) > 0 && leftOf(index - 1) >= 0) {
        --index;
    }
    for (; index < text.size(); ++index) {
        const int left = leftOf(index);
        if (left < 0) {
            continue;
        }
        if (leftOf(index + 1) > viewport->width()) {
            break;
        }
        const QPoint inWindow = viewport->mapTo(window(), QPoint(left, 0));
        const auto position = static_cast<std::size_t>(index);
        result.push_back({position, mapFrom(window(), inWindow).x(), text.at(index),
                          m_marked && m_marked(position)});
    }
    return result;
}

std::optional<std::size_t> MarkingStrip::firstDrawnPosition() const
{
    const auto drawn = cells();
    return drawn.empty() ? std::nullopt : std::optional<std::size_t>(drawn.front().position);
}

void MarkingStrip::paintEvent(QPaintEvent* /*event*/)
{
    QPainter painter(this);
    const QColor face = palette().color(QPalette::Button);
    painter.fillRect(rect(), face);
    painter.setFont(m_box->font());
    const QFontMetrics metrics(m_box->font());
    const int baseline = (height() + metrics.ascent() - metrics.descent()) / 2;
    for (const Cell& cell : cells()) {
        if (cell.x >= width()) {
            break;
        }
        painter.setPen(cell.marked ? QColor(kMarkedColour) : QColor(Qt::black));
        painter.drawText(QPoint(cell.x, baseline), QString(cell.character));
    }
}

} // namespace ostrel
