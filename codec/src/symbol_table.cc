#include <cstdio>
#include <cstring>

#include "zentoba/codec.h"

namespace zentoba {
namespace {

// 88 ASCII symbols, then the half-width katakana 0xB1..0xD8 (ｱ to ﾘ).
constexpr char kAsciiSymbols[] =
    "ABCDEFGHIJKLMNOPQRSTUVWXYZ"
    "abcdefghijklmnopqrstuvwxyz"
    "0123456789"
    "+/-^\\@[;:]!#$%&()=~|`{*}?_";
static_assert(sizeof(kAsciiSymbols) - 1 == 88);

SymbolTable& MutableActiveTable() {
  static SymbolTable table;
  return table;
}

}  // namespace

SymbolTable::SymbolTable() {
  std::memcpy(symbols_.data(), kAsciiSymbols, 88);
  for (int v = 88; v < kSize; ++v) symbols_[v] = static_cast<uint8_t>(0xB1 + (v - 88));
  symbols_[kSize] = 0;
  BuildReverse();
}

SymbolTable SymbolTable::FromBytes(std::string_view symbols) {
  SymbolTable table;
  std::memcpy(table.symbols_.data(), symbols.data(), kSize);
  table.BuildReverse();
  return table;
}

void SymbolTable::BuildReverse() {
  reverse_.fill(kNoValue);
  // Highest position first, so that the lowest position holding a byte wins.
  for (int v = kSize - 1; v >= 0; --v) reverse_[symbols_[v]] = static_cast<uint8_t>(v);
  // NUL is value 0 whatever entry 0 holds: a NUL inside a payload never
  // fails.
  reverse_[0] = 0;
}

std::string SymbolTable::Problem() const {
  char buf[96];
  for (int v = 0; v < kSize; ++v) {
    const uint8_t c = symbols_[v];
    if (IsBlank(c)) {
      std::snprintf(buf, sizeof buf, "0x%02X (position %d) is a blank or control byte", c, v);
      return buf;
    }
    if (reverse_[c] != v) {
      std::snprintf(buf, sizeof buf, "0x%02X is at positions %d and %d", c, reverse_[c], v);
      return buf;
    }
  }
  return {};
}

const SymbolTable& ActiveTable() { return MutableActiveTable(); }

void SetActiveTable(const SymbolTable& table) { MutableActiveTable() = table; }

}  // namespace zentoba
