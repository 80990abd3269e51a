#pragma once

#include <string>
#include <vector>

namespace zentoba::cli {

// The whole program after main(): parse `args` (without the program name),
// load the settings, run the subcommand. Returns the exit status.
int Run(const std::vector<std::string>& args);

}  // namespace zentoba::cli
