// Any settings file: reading it never crashes, and whatever it holds, the
// active table afterwards is one that cannot corrupt data.

#include <unistd.h>

#include <cstdio>
#include <string>

#include "fuzz_util.h"
#include "zentoba/settings.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace zentoba;
  static const std::string path = "/tmp/zentoba-fuzz-settings-" + std::to_string(getpid()) + ".ini";
  FILE* f = std::fopen(path.c_str(), "wb");
  FUZZ_CHECK(f != nullptr);
  std::fwrite(data, 1, size, f);
  std::fclose(f);

  SetActiveTable(SymbolTable());
  fuzz::CountingReporter r;
  const SettingsOutcome outcome = LoadSettings(path, r);
  FUZZ_CHECK(ActiveTable().Problem().empty());
  FUZZ_CHECK((outcome == SettingsOutcome::kRefused) == (r.errors == 1));
  if (outcome != SettingsOutcome::kReplaced) {
    FUZZ_CHECK(ActiveTable() == SymbolTable());
  }
  SetActiveTable(SymbolTable());
  std::remove(path.c_str());
  return 0;
}
