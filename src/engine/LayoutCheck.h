// Whether the PLU file layout can give a line its PLU number at all. Without one every line
// would be passed over as giving no record: the file would count as delivered, be backed up,
// and its prices would never reach a scale. Such a layout refuses the run instead.
#pragma once

#include "format/ImportFormat.h"

#include <string>

namespace ostrel {

// The message to show, naming the file or key to mend; "" when the layout can be read.
std::string layoutProblem(int fileType, const ImportFormat& format, const std::string& pluIdIni,
                          const std::string& prsFile);

} // namespace ostrel
