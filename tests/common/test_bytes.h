// Byte-string helpers shared by the test suites.
#pragma once

#include <zlib.h>

#include <cstdint>
#include <initializer_list>
#include <random>
#include <string>

namespace zentoba::testing {

inline std::string Bytes(std::initializer_list<int> bytes) {
  std::string s;
  for (int b : bytes) s += static_cast<char>(b);
  return s;
}

inline std::string RandomBytes(size_t n, uint32_t seed) {
  std::mt19937 rng(seed);
  std::string s(n, '\0');
  for (auto& c : s) c = static_cast<char>(rng());
  return s;
}

// zlib's own one-shot compress2 at level 9: the bytes every payload of up
// to 1 MiB has always carried. Empty on a zlib failure.
inline std::string Zlib9(const std::string& data) {
  uLongf size = compressBound(data.size());
  std::string out(size, '\0');
  if (compress2(reinterpret_cast<Bytef*>(out.data()), &size,
                reinterpret_cast<const Bytef*>(data.data()), data.size(), 9) != Z_OK) {
    return {};
  }
  out.resize(size);
  return out;
}

}  // namespace zentoba::testing
