#!/usr/bin/env bash
# Installs the Debian packages the build needs, only those that are missing.
# Usage: scripts/install-deps.sh [base] [gui] [fuzz] [bench-tools] [lint]
set -euo pipefail

declare -A groups=(
  [base]="cmake ninja-build g++ make pkg-config zlib1g-dev libdeflate-dev libgtest-dev libgmock-dev libbenchmark-dev"
  [gui]="qt6-base-dev qt6-translations-l10n fonts-ipafont-gothic"
  [fuzz]="clang libclang-rt-14-dev"
  [bench-tools]="pigz libdeflate-tools time"
  [lint]="clang-tidy cppcheck"
)

want=()
for g in "${@:-base}"; do
  [[ -n "${groups[$g]:-}" ]] || { echo "install-deps: unknown group '$g'" >&2; exit 2; }
  for p in ${groups[$g]}; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "ok installed" || want+=("$p")
  done
done
[[ ${#want[@]} -eq 0 ]] && exit 0

sudo=""
[[ $(id -u) -eq 0 ]] || sudo="sudo"
echo "install-deps: installing ${want[*]}"
export DEBIAN_FRONTEND=noninteractive
if ! $sudo apt-get install -y --no-install-recommends "${want[@]}"; then
  $sudo apt-get update
  $sudo apt-get install -y --no-install-recommends "${want[@]}"
fi
