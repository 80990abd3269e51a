// Encode then decode gives the input back, in both forms and as a text,
// under a table built from the input: 128 distinct bytes above 0x20.

#include <algorithm>
#include <numeric>
#include <random>

#include "fuzz_util.h"
#include "zentoba/codec.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace zentoba;
  if (size < 4) return 0;
  uint32_t seed = 0;
  for (int i = 0; i < 4; ++i) seed = (seed << 8) | data[i];
  const std::string_view input(reinterpret_cast<const char*>(data + 4), size - 4);

  // Seed 0 keeps the built-in table; any other seed shuffles 0x21..0xFF.
  SymbolTable table;
  if (seed != 0) {
    std::string pool(0xFF - 0x20, '\0');
    std::iota(pool.begin(), pool.end(), static_cast<char>(0x21));
    std::shuffle(pool.begin(), pool.end(), std::mt19937(seed));
    table = SymbolTable::FromBytes(pool);
    FUZZ_CHECK(table.Problem().empty());
  }

  fuzz::CountingReporter r;
  for (bool compress : {false, true}) {
    const std::string payload = EncodeData(input, compress, r, table);
    FUZZ_CHECK(!payload.empty());
    if (!compress) {
      FUZZ_CHECK(payload.size() == PayloadLength(input.size()));
    }
    const auto back = DecodeData(payload, compress, r, table);
    FUZZ_CHECK(back && *back == input);
  }
  FUZZ_CHECK(r.errors == 0 && r.infos == 0);

  if (seed == 0) {
    const DecodedText d = DecodeTextBytes(EncodeText(input, r), r);
    FUZZ_CHECK(d.status == TextStatus::kOk && d.bytes == input);
  }
  return 0;
}
