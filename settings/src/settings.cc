// The settings file, read once at start-up and never written.

#include "zentoba/settings.h"

#include <unistd.h>

#include <algorithm>
#include <fstream>
#include <iterator>

#include "zentoba/messages.h"

namespace zentoba {
namespace {

std::string_view TrimSpaces(std::string_view s) {
  while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
  while (!s.empty() && (s.back() == ' ' || s.back() == '\t')) s.remove_suffix(1);
  return s;
}

bool EqualsAsciiCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c; };
    if (lower(a[i]) != lower(b[i])) return false;
  }
  return true;
}

// A settings file is a few lines; anything larger is not ours to read whole.
constexpr std::streamsize kMaxSettingsFile = 1 << 20;

}  // namespace

std::optional<std::string> ReadIniString(const std::filesystem::path& path,
                                         std::string_view section, std::string_view key) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return std::nullopt;
  in.seekg(0, std::ios::end);
  const std::streamoff size = in.tellg();
  in.seekg(0);
  std::string text(static_cast<size_t>(std::clamp<std::streamoff>(size, 0, kMaxSettingsFile)),
                   '\0');
  in.read(text.data(), static_cast<std::streamsize>(text.size()));
  text.resize(static_cast<size_t>(in.gcount()));

  bool in_section = false;
  std::string_view rest = text;
  while (!rest.empty()) {
    const size_t eol = rest.find('\n');
    std::string_view line = rest.substr(0, eol);
    rest = eol == std::string_view::npos ? std::string_view() : rest.substr(eol + 1);
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    const std::string_view trimmed = TrimSpaces(line);
    if (trimmed.empty() || trimmed.front() == ';') continue;
    if (trimmed.front() == '[') {
      const size_t close = trimmed.find(']');
      in_section = close != std::string_view::npos &&
                   EqualsAsciiCase(TrimSpaces(trimmed.substr(1, close - 1)), section);
      continue;
    }
    if (!in_section) continue;
    const size_t eq = trimmed.find('=');
    if (eq == std::string_view::npos) continue;
    if (EqualsAsciiCase(TrimSpaces(trimmed.substr(0, eq)), key)) {
      return std::string(TrimSpaces(trimmed.substr(eq + 1)));
    }
  }
  return std::nullopt;
}

std::filesystem::path SettingsPathBesideExecutable() {
  std::error_code ec;
  const std::filesystem::path exe = std::filesystem::read_symlink("/proc/self/exe", ec);
  if (ec) return kSettingsFileName;
  return exe.parent_path() / kSettingsFileName;
}

SettingsOutcome LoadSettings(const std::filesystem::path& path, Reporter& reporter) {
  const std::optional<std::string> value = ReadIniString(path, "APP", "Table");
  if (!value || value->size() < SymbolTable::kSize) return SettingsOutcome::kDefault;
  const SymbolTable table = SymbolTable::FromBytes(*value);
  if (const std::string problem = table.Problem(); !problem.empty()) {
    reporter.Error(std::string(kMsgBadTable) + "\n(" + problem + ")");
    return SettingsOutcome::kRefused;
  }
  SetActiveTable(table);
  return SettingsOutcome::kReplaced;
}

}  // namespace zentoba
