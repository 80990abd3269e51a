// Every packing path against the scalar reference: the same symbols, the
// same result and the same bytes before a failing group, for any table.

#include <cstring>
#include <vector>

#include "fuzz_util.h"
#include "zentoba/codec.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace zentoba;
  // The first 128 bytes (if there are that many) make a raw table, possibly
  // with repeated bytes: the kernels must agree on any table.
  SymbolTable table;
  if (size >= 129 && data[0] == 'T') {
    table = SymbolTable::FromBytes(std::string_view(reinterpret_cast<const char*>(data + 1), 128));
    data += 129;
    size -= 129;
  }
  const size_t enc_len = size / 7 * 7;
  const size_t dec_len = size / 8 * 8;
  std::vector<uint8_t> ref_enc(enc_len / 7 * 8), ref_dec(dec_len / 8 * 7);
  SetPackPath(PackPath::kScalar);
  EncodeBlocks(data, enc_len, ref_enc.data(), table);
  const int64_t ref_rc = DecodeBlocks(data, dec_len, ref_dec.data(), table);

  for (PackPath p : {PackPath::kPortable64, PackPath::kAvx2, PackPath::kAvx512Vbmi}) {
    if (!PackPathSupported(p)) continue;
    SetPackPath(p);
    std::vector<uint8_t> enc(ref_enc.size()), dec(ref_dec.size());
    EncodeBlocks(data, enc_len, enc.data(), table);
    FUZZ_CHECK(enc == ref_enc);
    const int64_t rc = DecodeBlocks(data, dec_len, dec.data(), table);
    FUZZ_CHECK(rc == ref_rc);
    // Bytes of the groups before the first bad one (all of them on success).
    size_t good = dec.size();
    if (rc < 0) {
      good = 0;
      for (size_t g = 0; g < dec_len / 8; ++g) {
        bool bad = false;
        for (int i = 0; i < 8; ++i) bad |= table.Value(data[g * 8 + i]) == SymbolTable::kNoValue;
        if (bad) break;
        good += 7;
      }
    }
    FUZZ_CHECK(good == 0 || std::memcmp(dec.data(), ref_dec.data(), good) == 0);
  }
  SetPackPath(PackPath::kAuto);
  return 0;
}
