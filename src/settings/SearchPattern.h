// The data-file search pattern built from the [PATH] keys of Tarvik.ini (folder, prefix and
// extension), as the start-up, every reload and the run read it.
#pragma once

#include <string>
#include <string_view>

namespace ostrel {

// "%s/%s*.%s" of folder, prefix and extension with every "//" collapsed, so a folder with or
// without a trailing slash gives the same pattern; "" unless all three are non-empty.
std::string buildSearchPattern(std::string_view folder, std::string_view prefix,
                               std::string_view extension);

// The pattern from the stored PATH keys of Tarvik.ini.
std::string readSearchPattern(const std::string& tarvikIni);

} // namespace ostrel
