#!/usr/bin/env bash
# Builds the request-file parser fuzz targets with clang into build/fuzz and runs each one for
# N seconds (default 60), seeded with the request files of the compatibility corpus.
#   fuzz/run.sh [seconds]
set -euo pipefail

seconds=${1:-60}
root=$(cd "$(dirname "$0")/.." && pwd)
build=$root/build/fuzz
corpus=${BRIMEL_CORPUS_DIR:-$root/tests/API/corpus}

CC=clang CXX=clang++ cmake -S "$root/fuzz" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$build" -j "${JOBS:-4}"

for target in http bru; do
  seeds=$build/seeds_$target
  work=$build/corpus_$target
  artifacts=$build/artifacts_$target
  mkdir -p "$seeds" "$work" "$artifacts"
  case $target in
    http) pattern='.*\.\(http\|rest\)' ;;
    bru) pattern='.*\.bru' ;;
  esac
  # Each seed gets a leading byte: the target uses it to choose the edit it tries.
  n=0
  if [ -d "$corpus" ]; then
    while IFS= read -r -d '' file; do
      n=$((n + 1))
      { printf '\x00'; cat "$file"; } > "$seeds/seed_$n"
    done < <(find "$corpus" -regex "$pattern" -type f -print0)
  fi
  echo "== fuzz_$target: ${seconds}s, $n seeds"
  started=$build/started_$target
  touch "$started"
  # A finding does not end the run: it is kept under artifacts and fuzzing goes on (a child process
  # per run, restarted after each crash) for the whole time, then the next target runs.
  ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
    "$build/fuzz_$target" -fork="${FUZZ_JOBS:-1}" -ignore_crashes=1 -ignore_timeouts=1 -ignore_ooms=1 \
      -max_total_time="$seconds" -timeout=10 -rss_limit_mb=4096 -print_final_stats=1 \
      -dict="$root/fuzz/$target.dict" -artifact_prefix="$artifacts/" "$work" "$seeds" || status=1
  found=$(find "$artifacts" -type f -newer "$started" | wc -l)
  echo "== fuzz_$target: $found finding(s) in $artifacts"
  [ "$found" -eq 0 ] || status=1
done
exit "${status:-0}"
