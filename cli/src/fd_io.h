// Whole-stream reads and writes on file descriptors, retried across short
// transfers and signals.
#pragma once

#include <string>
#include <string_view>

namespace zentoba::cli {

// Appends everything up to end of file to `out`. False (errno set) on a
// read error.
bool ReadAll(int fd, std::string& out);

// False (errno set) when not every byte could be written.
bool WriteAll(int fd, std::string_view data);

}  // namespace zentoba::cli
