// The edge between the program's CP932 byte strings and Qt's Unicode strings.
//
// Inside the program every text is CP932; widgets, the clipboard and file
// names speak Unicode. These helpers are the only crossing points.
#pragma once

#include <QString>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

namespace zentoba::platform {

// Shows program text. Bytes that are no valid CP932 text appear as "・",
// as the classic Japanese system shows them.
QString FromCp932(std::string_view cp932);

// Program text from Unicode, or nullopt when a character has no CP932 form
// (the euro sign, emoji...): nothing is ever replaced by "?".
std::optional<std::string> ToCp932(const QString& text);

// Text areas keep LF only; the program's texts join their lines with CR LF.
QString LfToCrLf(const QString& text);

// A file name as the file system spells it (the locale's encoding, UTF-8).
std::filesystem::path ToPath(const QString& name);
QString FromPath(const std::filesystem::path& path);

}  // namespace zentoba::platform
