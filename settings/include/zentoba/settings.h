// The settings file: an INI file "Zentoba.ini" beside the executable whose
// key "Table" in section "APP" may replace the 128-symbol table.
#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

#include "zentoba/codec.h"
#include "zentoba/report.h"

namespace zentoba {

inline constexpr char kSettingsFileName[] = "Zentoba.ini";

// The value of `key` in `section` of the INI file at `path`, as raw bytes,
// or nullopt when the file, the section or the key is missing or the file
// cannot be read. Section and key names match without regard to ASCII case;
// blanks around names and values are dropped; a value is otherwise taken as
// it stands (no quotes or comments are removed from it). The first
// occurrence of a key wins.
std::optional<std::string> ReadIniString(const std::filesystem::path& path,
                                         std::string_view section, std::string_view key);

// Where the settings file of the running program lives: the folder of the
// executable, whatever the current directory.
std::filesystem::path SettingsPathBesideExecutable();

enum class SettingsOutcome {
  kDefault,   // no file, no key, or a value under 128 bytes: nothing changed
  kReplaced,  // the first 128 bytes of the value are the active table now
  kRefused,   // the value would corrupt data; kMsgBadTable was reported and
              // the default table stays
};

// Reads the settings file at `path` and applies it to the active table.
SettingsOutcome LoadSettings(const std::filesystem::path& path, Reporter& reporter);

}  // namespace zentoba
