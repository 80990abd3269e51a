// CP932 (Shift-JIS as Windows writes it) <-> UTF-8, through glibc iconv.
//
// Inside the program every text is CP932; Linux, Qt and terminals speak
// UTF-8. These are the only conversions, used at those edges. Nothing is
// replaced silently: a character with no CP932 form, or bytes that are no
// valid CP932, make the strict conversions fail.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace zentoba {

// nullopt when `cp932` is no valid CP932 text (0x80, 0xA0, 0xFD-0xFF, a lead
// byte without its trail byte...). Half-width katakana become U+FF61-U+FF9F.
std::optional<std::string> Cp932ToUtf8(std::string_view cp932);

// As above, but each byte that is no valid CP932 becomes "・" (U+30FB), as
// Windows shows it; `replaced` (if given) counts them.
std::string Cp932ToUtf8Lossy(std::string_view cp932, size_t* replaced = nullptr);

// nullopt when `utf8` is no valid UTF-8 or holds a character with no CP932
// form (the euro sign, emoji...).
std::optional<std::string> Utf8ToCp932(std::string_view utf8);

bool IsValidUtf8(std::string_view text);

// CP932 lead bytes: 0x81-0x9F and 0xE0-0xFC.
constexpr bool IsCp932LeadByte(uint8_t c) {
  return (c >= 0x81 && c <= 0x9F) || (c >= 0xE0 && c <= 0xFC);
}

// Windows path parts of a CP932 path: the folder part runs up to and
// including the last "\" or ":", the file-name part is the rest. A 0x5C that
// is the trail byte of a double-byte character is no separator.
std::string_view Cp932FolderPart(std::string_view path);
std::string_view Cp932FileNamePart(std::string_view path);

}  // namespace zentoba
