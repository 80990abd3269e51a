// Any payload, plain or compressed: decoding never crashes, reports exactly
// once on failure, and a plain payload decodes to the length its size says.

#include "fuzz_util.h"
#include "zentoba/codec.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace zentoba;
  if (size == 0) return 0;
  const bool decompress = data[0] & 1;
  const std::string_view payload(reinterpret_cast<const char*>(data + 1), size - 1);
  fuzz::CountingReporter r;
  const auto bytes = DecodeData(payload, decompress, r, ActiveTable(), uint64_t{64} << 20);
  FUZZ_CHECK(bytes.has_value() == (r.errors == 0));
  FUZZ_CHECK(r.errors <= 1 && r.infos == 0);
  if (bytes && !decompress) {
    FUZZ_CHECK(bytes->size() == DecodedLength(payload.size()));
  }
  return 0;
}
