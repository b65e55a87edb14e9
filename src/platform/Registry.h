// The registry stand-in: one INI key file ($OSTREL_REGISTRY, else
// $XDG_CONFIG_HOME/VEK/registry.ini) created with its folder as a registry key would be.
#pragma once

#include <string>
#include <string_view>

namespace ostrel {

std::string registryFilePath();

// Writes section key=value; failures are silent (returns false).
bool writeRegistryValue(std::string_view section, std::string_view key, std::string_view value);

// The value written at exit.
bool writeExitRegistryValue();

} // namespace ostrel
