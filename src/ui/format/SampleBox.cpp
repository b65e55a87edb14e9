#include "ui/format/SampleBox.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QScrollBar>

namespace ostrel {

SampleBox::SampleBox(QWidget* parent) : QPlainTextEdit(parent)
{
    setLineWrapMode(QPlainTextEdit::NoWrap);
    setAcceptDrops(false);
    document()->setDocumentMargin(0);
    // The inset lies outside the viewport; it gets the text's background.
    setAutoFillBackground(true);
    QPalette colours = palette();
    colours.setColor(QPalette::Window, colours.color(QPalette::Base));
    setPalette(colours);
}

SampleBox::~SampleBox() = default;

void SampleBox::setTextInset(int left)
{
    constexpr int kTopInset = 2;
    setViewportMargins(left, kTopInset, 0, 0);
}

void SampleBox::mousePressEvent(QMouseEvent* event)
{
    // A press inside the old selection would start dragging its text.
    if (event->button() == Qt::LeftButton && !(event->modifiers() & Qt::ShiftModifier) &&
        textCursor().hasSelection()) {
        // Setting the cursor would scroll to it; the press is about to place it anyway.
        const int across = horizontalScrollBar()->value();
        const int down = verticalScrollBar()->value();
        QTextCursor cursor = textCursor();
        cursor.clearSelection();
        setTextCursor(cursor);
        horizontalScrollBar()->setValue(across);
        verticalScrollBar()->setValue(down);
    }
    QPlainTextEdit::mousePressEvent(event);
}

void SampleBox::keyPressEvent(QKeyEvent* event)
{
    // One line of one sample: a line break would shift every position marked after it.
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
        event->accept();
        return;
    }
    QPlainTextEdit::keyPressEvent(event);
}

} // namespace ostrel
