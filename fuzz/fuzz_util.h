// Shared by the fuzz targets.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

#include "zentoba/report.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size);

// Aborts with a message: a property the target checks does not hold.
#define FUZZ_CHECK(cond)                                                            \
  do {                                                                              \
    if (!(cond)) {                                                                  \
      std::fprintf(stderr, "%s:%d: check failed: %s\n", __FILE__, __LINE__, #cond); \
      std::abort();                                                                 \
    }                                                                               \
  } while (0)

namespace zentoba::fuzz {

// Counts reports without keeping their texts.
class CountingReporter : public Reporter {
 public:
  void Error(std::string_view) override { ++errors; }
  void Information(std::string_view) override { ++infos; }
  int errors = 0, infos = 0;
};

}  // namespace zentoba::fuzz
