#!/usr/bin/env bash
# Times zentoba-cli against the pipelines a user would reach for instead, in
# one run, alternating, and prints medians, ratios, output sizes and peak
# memory.
#
#   bench/compare.sh [BUILD_DIR] [RUNS]
#
# Corpus (built once under /tmp/zentoba-compare): 64 MiB of real files from
# /usr, 64 MiB of random bytes, 1 MiB of text. Installs pigz,
# libdeflate-tools and time if missing; the tests never need them.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=$(cd "${1:-$root/build}" && pwd)
runs=${2:-5}
cli=$build/cli/zentoba-cli
[[ -x $cli ]] || { echo "no $cli: run make build first" >&2; exit 2; }
"$root/scripts/install-deps.sh" bench-tools

work=/tmp/zentoba-compare
mkdir -p "$work"
cd "$work"

if [[ ! -s mixed.bin ]]; then
  # Real files of many kinds: binaries, libraries, docs, scripts, data.
  find /usr/bin /usr/lib/x86_64-linux-gnu /usr/share/doc /usr/share/perl5 /usr/include \
    -type f -size +1k 2>/dev/null | sort | head -n 20000 |
    xargs cat 2>/dev/null | head -c $((64 << 20)) > mixed.bin || true
  head -c $((64 << 20)) /dev/urandom > random.bin
  find /usr/share/doc -name '*.txt' -o -name 'README*' -o -name 'changelog' 2>/dev/null |
    xargs cat 2>/dev/null | head -c $((1 << 20)) > text.bin || true
fi

# time_cmd LABEL COMMAND: appends "seconds peak_kib" to $work/LABEL.times.
time_cmd() {
  local label=$1; shift
  /usr/bin/time -f '%e %M' -o "$work/.t" bash -c "$*" > /dev/null
  cat "$work/.t" >> "$work/$label.times"
}

median() { sort -n | awk '{a[NR]=$1} END {print (NR%2 ? a[(NR+1)/2] : (a[NR/2]+a[NR/2+1])/2)}'; }

printf '%-8s %-34s %9s %8s %12s %9s\n' corpus command "median s" ratio "output B" "peak MiB"
for corpus in mixed random text; do
  in=$work/$corpus.bin
  rm -f "$work"/*.times
  # Encoded forms to decode from.
  "$cli" encode "$in" -o "$work/$corpus.zen" -f
  gzip -9 -c "$in" | base64 -w0 > "$work/$corpus.gz.b64"
  gzip -9 -c "$in" > "$work/$corpus.gz"

  declare -A enc=(
    [zentoba-cli-encode]="'$cli' encode '$in' -o - -f"
    [gzip-9-base64]="gzip -9 -c '$in' | base64 -w0"
    [pigz-9-p2-base64]="pigz -9 -p2 -c '$in' | base64 -w0"
    [libdeflate-9-base64]="libdeflate-gzip -9 -c < '$in' | base64 -w0"
  )
  declare -A dec=(
    [zentoba-cli-decode]="'$cli' decode '$work/$corpus.zen' -o - -f"
    [base64-d-gzip-d]="base64 -d '$work/$corpus.gz.b64' | gzip -d -c"
    [libdeflate-gzip-d]="libdeflate-gzip -d -c < '$work/$corpus.gz'"
  )
  for ((i = 0; i < runs; i++)); do
    for k in "${!enc[@]}"; do time_cmd "$k" "${enc[$k]}"; done
    for k in "${!dec[@]}"; do time_cmd "$k" "${dec[$k]}"; done
  done
  sizes() {
    case $1 in
      zentoba-cli-encode) stat -c %s "$work/$corpus.zen" ;;
      gzip-9-base64) stat -c %s "$work/$corpus.gz.b64" ;;
      pigz-9-p2-base64) pigz -9 -p2 -c "$in" | base64 -w0 | wc -c ;;
      libdeflate-9-base64) libdeflate-gzip -9 -c < "$in" | base64 -w0 | wc -c ;;
      *) echo - ;;
    esac
  }
  report() {
    local base=$1; shift
    local bt; bt=$(cut -d' ' -f1 "$work/$base.times" | median)
    for k in "$@"; do
      local t m
      t=$(cut -d' ' -f1 "$work/$k.times" | median)
      m=$(cut -d' ' -f2 "$work/$k.times" | sort -n | tail -1)
      printf '%-8s %-34s %9.3f %8.2f %12s %9.1f\n' "$corpus" "$k" "$t" \
        "$(awk -v a="$t" -v b="$bt" 'BEGIN {print (b > 0 ? a / b : 0)}')" "$(sizes "$k")" \
        "$(awk -v m="$m" 'BEGIN {print m / 1024}')"
    done
  }
  report gzip-9-base64 gzip-9-base64 pigz-9-p2-base64 libdeflate-9-base64 zentoba-cli-encode
  report base64-d-gzip-d base64-d-gzip-d libdeflate-gzip-d zentoba-cli-decode
  unset enc dec
done
echo "(ratio: time against the first line of each group; input sizes: 64 MiB, 64 MiB, 1 MiB)"
