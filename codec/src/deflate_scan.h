// Finds where the blocks of a raw deflate stream lie, without decoding it.
//
// Pieces of deflate data made separately are chained into one stream by
// clearing the BFINAL bit of each piece's last block and continuing at the
// bit where that block ends. A whole-buffer compressor reports neither
// position, so this walks the stream: each block header, and for Huffman
// blocks every symbol up to end-of-block, skipping the extra bits; no byte
// of output is produced and no match is checked against a window.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>

namespace zentoba {

struct DeflateScan {
  uint64_t last_block_bit = 0;  // the BFINAL bit of the final block
  uint64_t end_bit = 0;         // the first bit after the final block
};

// Bit offsets count from the least significant bit of data[0] (deflate
// packs bits from the low end of each byte). nullopt when the data is no
// well-formed deflate stream or ends before its final block does.
std::optional<DeflateScan> ScanDeflate(const uint8_t* data, size_t size);

}  // namespace zentoba
