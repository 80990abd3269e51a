#!/usr/bin/env bash
# Static analysis of the project's own sources: clang-tidy with the checks in
# .clang-tidy, then cppcheck. Fails on any finding of either.
#
#   scripts/lint.sh [BUILD]    BUILD holds compile_commands.json (default: build)
#
# Checked are the translation units of compile_commands.json that live in
# the source tree: the libraries, the CLI, the desktop program and the fuzz
# targets. Left out are
#   - files generated into the build folder (Qt's moc and autogen output),
#     which are not ours to fix;
#   - tests and benchmarks, unless LINT_ALL=1: they are gtest and
#     google-benchmark macros for the most part, where the analyzer reports
#     the frameworks' idioms (`for (auto _ : state)` as a dead store, the
#     intentional leak of benchmark registration) rather than bugs, and they
#     would more than double the run time.
# Headers are checked through the units that include them.
#
# LINT_JOBS sets the parallel clang-tidy runs (default: nproc).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-build}
[[ $build = /* ]] || build="$root/$build"
db="$build/compile_commands.json"
jobs=${LINT_JOBS:-$(nproc)}

if [[ ! -f $db ]]; then
  echo "lint: $db is missing; configure the build first (make build)" >&2
  exit 2
fi
tidy=$(command -v clang-tidy-14 || command -v clang-tidy || true)
if [[ -z $tidy ]] || ! command -v cppcheck >/dev/null; then
  echo "lint: needs clang-tidy and cppcheck (apt-get install clang-tidy cppcheck)" >&2
  exit 2
fi

# Our translation units, in a compile database of their own that both tools
# read: in the source tree, not in any build folder.
lint_dir="$build/lint"
mkdir -p "$lint_dir"
python3 - "$db" "$root" "${LINT_ALL:-0}" >"$lint_dir/compile_commands.json" <<'PY'
import json, os, sys
db, root, everything = sys.argv[1], sys.argv[2], sys.argv[3] == "1"
skipped = () if everything else ("tests", "bench")
units, seen = [], set()
for entry in json.load(open(db)):
    path = os.path.normpath(os.path.join(entry["directory"], entry["file"]))
    top = os.path.relpath(path, root).split(os.sep)[0]
    if top == ".." or top.startswith("build") or top in skipped or path in seen:
        continue
    seen.add(path)
    units.append(entry)
json.dump(units, sys.stdout, indent=1)
PY
mapfile -t units < <(python3 -c 'import json,os,sys
for e in json.load(open(sys.argv[1])): print(os.path.normpath(os.path.join(e["directory"], e["file"])))' \
  "$lint_dir/compile_commands.json")
if ((${#units[@]} == 0)); then
  echo "lint: no sources of $root in $db" >&2
  exit 2
fi

status=0
echo "== clang-tidy ($(basename "$tidy"), ${#units[@]} files, $jobs jobs)"
tidy_log=$(mktemp)
trap 'rm -f "$tidy_log"' EXIT
# One process per file; --quiet drops the "N warnings generated" lines.
printf '%s\0' "${units[@]}" |
  xargs -0 -P "$jobs" -n 1 "$tidy" -p "$lint_dir" --quiet >"$tidy_log" 2>&1 || true
# A finding is "file:line:col: warning|error: ... [check]" in one of our
# files. Reports that the analyzer places inside a system header (Qt's
# QTimer::singleShot(functor) hands its slot object to Qt, which the
# analyzer takes for a leak) are not ours and do not count; compiler errors
# in our files do.
if grep -E "^$root/[^:]+:[0-9]+:[0-9]+: (warning|error): " "$tidy_log" |
    grep -qvE "^$root/build[^/]*/"; then
  grep -vE '^(Suppressed|Use -header-filter|[0-9]+ warnings? (and [0-9]+ errors? )?generated)' \
    "$tidy_log" || true
  status=1
fi

echo "== cppcheck ($(cppcheck --version))"
# All but the informational checks. useStlAlgorithm ("consider std::find_if
# instead of a raw loop") is taste, not a finding. Suppressions in the code
# (// cppcheck-suppress) name the check and say why.
mkdir -p "$lint_dir/cppcheck"
if ! cppcheck --project="$lint_dir/compile_commands.json" \
    --enable=style,warning,performance,portability --inline-suppr \
    --suppress=useStlAlgorithm --suppress=missingIncludeSystem --suppress=unmatchedSuppression \
    --suppress="*:$build/*" --suppress="*:/usr/*" \
    --cppcheck-build-dir="$lint_dir/cppcheck" -j "$jobs" \
    --std=c++20 --library=googletest --library=qt \
    --error-exitcode=1 --quiet --template='{file}:{line}:{column}: {severity}: {message} [{id}]'; then
  status=1
fi

if ((status == 0)); then echo "lint: clean"; fi
exit $status
