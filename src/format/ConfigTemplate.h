// The settings template the product ships: found at run time and copied into a documents folder
// where files are missing (ostrel --init-config). The program itself never creates settings.
#pragma once

#include <string>
#include <vector>

namespace ostrel {

// The template folder: $OSTREL_TEMPLATE_DIR, else <exe dir>/../share/ostrel/config-template,
// else the source tree's packaging/config-template; the first that exists, "" when none does.
std::string findConfigTemplateDir();

struct ConfigInstallReport
{
    bool ok = true;
    std::vector<std::string> created; // full paths written
    std::vector<std::string> kept;    // full paths that existed and were left alone
    std::string error;                // why ok is false
};

// Creates <documents>/VEK/Ostrel/Config and .../Log, copies Tarvik.ini, PluID.ini and
// plustruct.str from `templateDir` where they are missing, and writes a PLUPrs.prs with one
// undefined record per listed PLU field when it is missing. Never overwrites a file.
ConfigInstallReport installConfigTemplate(const std::string& templateDir,
                                          const std::string& documents);

} // namespace ostrel
