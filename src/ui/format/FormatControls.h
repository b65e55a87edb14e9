// Helpers of the PLU file setting window: a control made at its designed place with its
// object name and control id, and the conversion between the code page of the settings files
// and the text the controls show.
#pragma once

#include "platform/CodePage.h"
#include "platform/TextEncoding.h"
#include "ui/shell/DialogUnits.h"

#include <QAbstractButton>
#include <QLabel>
#include <QPushButton>
#include <QString>
#include <QWidget>

#include <string>
#include <type_traits>
#include <utility>

namespace ostrel {

struct DialogPlace
{
    int x, y, width, height; // dialog units
};

// The designed places suit the narrow Windows dialog font; with a wider desktop font a text
// would be cut, so its font shrinks (never below 7 pt) until the text fits its place.
inline void fitTextToPlace(QWidget& control)
{
    constexpr qreal kSmallest = 7.0;
    constexpr int kButtonMargins = 8; // a push button's hint has a minimum width, not its text's
    const auto* button = qobject_cast<QPushButton*>(&control);
    const auto needed = [&] {
        return button != nullptr
                   ? control.fontMetrics().horizontalAdvance(button->text()) + kButtonMargins
                   : control.sizeHint().width();
    };
    QFont font = control.font();
    while (needed() > control.width() && font.pointSizeF() > kSmallest) {
        font.setPointSizeF(font.pointSizeF() - 0.5);
        control.setFont(font);
    }
}

// A text that changes after the window is made: fitted afresh from the window's font.
inline void setFittedText(QLabel& label, const QString& text)
{
    label.setFont(label.parentWidget() != nullptr ? label.parentWidget()->font() : QFont());
    label.setText(text);
    fitTextToPlace(label);
}

// What the designers show beside their sample: "Encoding: UTF-8 (byte-order mark)".
inline QString encodingText(const EncodingDecision& encoding)
{
    return QStringLiteral("Encoding: ") +
           QString::fromStdString(encoding.describe(activeCodePage()));
}

// A child of `window` owned by it; `id` 0 gives no controlId (the design's unnamed labels).
template <typename Control, typename... Args>
Control* placeControl(QWidget* window, const DialogUnits& units, const char* objectName, int id,
                      DialogPlace place, Args&&... args)
{
    auto* control = new Control(std::forward<Args>(args)..., window);
    control->setObjectName(QString::fromLatin1(objectName));
    if (id != 0) {
        control->setProperty("controlId", id);
    }
    units.place(*control, place.x, place.y, place.width, place.height);
    if constexpr (std::is_base_of_v<QLabel, Control> ||
                  std::is_base_of_v<QAbstractButton, Control>) {
        fitTextToPlace(*control);
    }
    return control;
}

inline QString fromCodePage(const std::string& bytes)
{
    return QString::fromStdString(codePageToUtf8(bytes));
}

inline std::string toCodePage(const QString& text)
{
    return utf8ToCodePage(text.toStdString());
}

} // namespace ostrel
