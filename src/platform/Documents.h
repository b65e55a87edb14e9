// The documents folder that every settings path starts from.
#pragma once

#include <string>

namespace ostrel {

// $OSTREL_DOCUMENTS, else XDG_DOCUMENTS_DIR of ~/.config/user-dirs.dirs, else $HOME/Documents.
// Never ends with a slash (unless it is "/" itself).
std::string GetPathDocuments();

} // namespace ostrel
