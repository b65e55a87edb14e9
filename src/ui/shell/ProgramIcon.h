// The program's own icon, for the program, the tray and every window.
#pragma once

#include <QIcon>

namespace ostrel {

// Every size of the icon from the resources; the same object on every call.
QIcon programIcon();

} // namespace ostrel
