#pragma once
// The environment Java is started with: the launcher's own, with the SDK's bin folder first
// in PATH so that the SDK's programs and libraries win over any installed elsewhere.
#include <map>
#include <string>

#include "launcher_conventions.h"

namespace launcher {

std::map<std::string, std::string> BuildJavaEnvironment(std::map<std::string, std::string> environment,
                                                        const std::string& binFolder,
                                                        const LauncherConventions& conventions);

} // namespace launcher
