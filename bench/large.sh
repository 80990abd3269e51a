#!/usr/bin/env bash
# Large inputs, end to end through zentoba-cli: a file over 4 GiB round-trips
# (its encoded form is itself several GiB), and decompression bombs stay in
# bounded memory. Prints time and peak memory of each step. Not a test: it
# takes minutes and needs about 3x SIZE_GIB of free disk.
#
#   bench/large.sh [BUILD_DIR] [SIZE_GIB]      (default 4.5 GiB)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=$(cd "${1:-$root/build}" && pwd)
size_gib=${2:-4.5}
cli=$build/cli/zentoba-cli
work=${TMPDIR:-/tmp}/zentoba-large
rm -rf "$work" && mkdir -p "$work" && cd "$work"
trap 'rm -rf "$work"' EXIT

step() {  # step LABEL COMMAND...
  local label=$1; shift
  /usr/bin/time -f "%e %M" -o .t "$@"
  read -r secs kib < .t
  printf '%-44s %8.1f s %8.1f MiB peak\n' "$label" "$secs" "$(awk -v k="$kib" 'BEGIN {print k / 1024}')"
}

# A source over 4 GiB: 64 MiB of real files, each copy with a different
# 8-byte stamp every MiB so that no two blocks are alike.
bytes=$(awk -v g="$size_gib" 'BEGIN {printf "%.0f", g * 1024 * 1024 * 1024}')
find /usr/bin /usr/lib/x86_64-linux-gnu /usr/share/doc -type f -size +1k 2>/dev/null | sort |
  head -n 20000 | xargs cat 2>/dev/null | head -c $((64 << 20)) > chunk || true
python3 - "$bytes" <<'PY'
import sys
total = int(sys.argv[1]); chunk = open("chunk", "rb").read()
with open("big.bin", "wb") as out:
    written = copy = 0
    while written < total:
        piece = bytearray(chunk[: total - written])
        for off in range(0, len(piece), 1 << 20):
            piece[off:off + 8] = (copy * 4096 + off).to_bytes(8, "little")
        out.write(piece); written += len(piece); copy += 1
PY
echo "source: $(stat -c %s big.bin) bytes"
step "encode $(numfmt --to=iec "$bytes") file" "$cli" encode big.bin -o big.zen
echo "encoded: $(stat -c %s big.zen) bytes"
mkdir out
step "decode it again" "$cli" decode big.zen -C out
cmp big.bin out/big.bin && echo "round trip: identical"
rm -f out/big.bin big.bin

# Bombs: a few MiB of encoded text or file that inflate to gigabytes.
python3 - <<'PY'
import zlib
table = (b"ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789"
         b"+/-^\\@[;:]!#$%&()=~|`{*}?_" + bytes(range(0xB1, 0xD9)))
def payload(data):
    m = len(data); pad = data + bytes(7 - m % 7); out = bytearray()
    for g in range(len(pad) // 7):
        bits = int.from_bytes(pad[g * 7:g * 7 + 7], "big")
        out += bytes(table[(bits >> (49 - 7 * i)) & 127] for i in range(8))
    return bytes(out[:m + m // 7 + 1])
def bomb(prefix, gib):
    c = zlib.compressobj(9); zero = bytes(1 << 20)
    z = c.compress(prefix) + b"".join(c.compress(zero) for _ in range(gib << 10)) + c.flush()
    return payload(z)
open("bomb.txt", "wb").write(b"\xdd\xdb" + bomb(b"", 1))
open("bomb.zen", "wb").write(b"\xdd\xa6\xdc\x68" + bomb(b"zeros.bin\0", 8))
PY
echo "text bomb: $(stat -c %s bomb.txt) bytes -> 1 GiB; file bomb: $(stat -c %s bomb.zen) bytes -> 8 GiB"
step "text-decode 1 GiB bomb (refused at 256 MiB)" bash -c "'$cli' text-decode --charset cp932 < bomb.txt > /dev/null || true"
step "decode 8 GiB file bomb (streams to disk)" "$cli" decode bomb.zen -C out
echo "restored: $(stat -c %s out/zeros.bin) bytes"
