// Small helpers shared by the codec tests.
#pragma once

#include <algorithm>
#include <cstdint>
#include <random>
#include <string>

#include "test_bytes.h"
#include "zentoba/codec.h"

namespace zentoba::testing {

// Text that compresses well but not trivially.
inline std::string Compressible(size_t n, uint32_t seed) {
  static const char* words[] = {
      "zentoba ",    "encode ",    "decode ", "symbol ", "\x83\x65\x83\x58\x83\x67 ",
      "payload\r\n", "0123456789 "};
  std::mt19937 rng(seed);
  std::string s;
  while (s.size() < n) s += words[rng() % 7];
  s.resize(n);
  return s;
}

// The built-in table with entries i and j swapped: every byte held once, so
// it passes the settings check.
inline SymbolTable SwappedTable(int i, int j) {
  SymbolTable def;
  std::string symbols(reinterpret_cast<const char*>(def.symbols()), SymbolTable::kSize);
  std::swap(symbols[i], symbols[j]);
  return SymbolTable::FromBytes(symbols);
}

// 128 distinct random bytes from 0x21..0xFF, never "A" and never a marker
// byte (a plain text whose first symbol were 0xDB would read as compressed).
inline SymbolTable RandomTable(uint32_t seed) {
  std::string pool;
  for (int c = 0x21; c <= 0xFF; ++c)
    if (c != 'A' && c != 0xA6 && c != 0xDB && c != 0xDD) pool += static_cast<char>(c);
  std::mt19937 rng(seed);
  std::shuffle(pool.begin(), pool.end(), rng);
  return SymbolTable::FromBytes(pool.substr(0, SymbolTable::kSize));
}

// Runs the enclosing scope with another active table, restoring the default.
class ScopedTable {
 public:
  explicit ScopedTable(const SymbolTable& t) { SetActiveTable(t); }
  ~ScopedTable() { SetActiveTable(SymbolTable()); }
};

}  // namespace zentoba::testing
