// Helpers of the PLU file setting window: a control made at its designed place with its
// object name and control id, and the conversion between the code page of the settings files
// and the text the controls show.
#pragma once

#include "platform/CodePage.h"
#include "ui/shell/DialogUnits.h"

#include <QString>
#include <QWidget>

#include <string>
#include <utility>

namespace ostrel {

struct DialogPlace
{
    int x, y, width, height; // dialog units
};

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
