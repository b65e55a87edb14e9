// The fixed-type sample box: a plain text box without wrapping whose text starts a given
// number of pixels in from its frame, with nothing scrolled into that inset, so the marking
// strip can stand each character exactly above its column; Enter breaks no line. Marking is done by
// dragging, so the box never drags text away: a press always starts a new selection.
#pragma once

#include <QPlainTextEdit>

namespace ostrel {

class SampleBox final : public QPlainTextEdit
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(SampleBox)

public:
    explicit SampleBox(QWidget* parent);
    ~SampleBox() override;

    // Text starts `left` pixels inside the frame.
    void setTextInset(int left);

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
};

} // namespace ostrel
