#!/usr/bin/env bash
# Coverage-guided fuzzing of the storage engine (libFuzzer, AddressSanitizer, UndefinedBehaviorSanitizer).
# Builds build-fuzz/ with clang, replays the kept crash inputs, then fuzzes reading, `jet check` and
# editing for FUZZ_SECONDS each (default 60), seeded from the fixtures. Fails when anything crashes;
# new crash inputs are left in build-fuzz/fuzz-crashes/ (keep them in tests/jet/fuzz_crashes/).
set -euo pipefail
cd "$(dirname "$0")/.."

seconds="${FUZZ_SECONDS:-60}"
build="${FUZZ_BUILD:-build-fuzz}"
fixtures="${TARNLOG_FIXTURES:-$(pwd)/tests/fixtures}"
jobs="${JOBS:-2}"
targets=(read check edit)
# Inputs stay below this size; the seeds are the fixtures that fit (up to 300 KB), with room for
# the edit script after the pages.
max_len="${FUZZ_MAX_LEN:-327680}"
kept=tests/jet/fuzz_crashes

generator=()
if command -v ninja >/dev/null 2>&1; then generator=(-G Ninja); fi
CC=clang CXX=clang++ cmake -S . -B "$build" "${generator[@]}" -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DTARNLOG_FUZZ=ON -DTARNLOG_TESTS=OFF -DTARNLOG_GUI=OFF >/dev/null
cmake --build "$build" -j "$jobs" --target fuzz_targets

export ASAN_OPTIONS="${ASAN_OPTIONS:-detect_leaks=1:allocator_may_return_null=1}"
export UBSAN_OPTIONS="${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}"
common=(-max_len="$max_len" -timeout=20 -rss_limit_mb=2048 -malloc_limit_mb=1024 -print_final_stats=1)

# Every input that ever crashed must now end normally (or in jet::Error) on every path.
shopt -s nullglob
crashes=("$kept"/*)
if [ ${#crashes[@]} -gt 0 ]; then
  for t in "${targets[@]}"; do
    echo "== replaying ${#crashes[@]} kept crash inputs through fuzz_$t"
    "$build/fuzz/fuzz_$t" "${common[@]}" "${crashes[@]}" >"$build/replay-$t.log" 2>&1 || {
      tail -n 60 "$build/replay-$t.log"
      echo "fuzz_$t: a kept crash input fails again (see $build/replay-$t.log)" >&2
      exit 1
    }
  done
fi

# Seeds: the fixtures small enough to mutate, the kept crash inputs, and small files the engine makes.
seeds="$build/fuzz-seeds"
rm -rf "$seeds"
mkdir -p "$seeds" "$build/fuzz-crashes" "$build/fuzz-logs"
for f in "$fixtures"/access-made/*.mdb "$fixtures"/jet4/*.mdb "${crashes[@]}"; do
  if [ "$(stat -c %s "$f")" -le "$max_len" ]; then cp "$f" "$seeds/"; fi
done
chmod u+w "$seeds"/*
"$build/fuzz/make_seeds" "$seeds"

# The targets run side by side; each keeps what it learns in its own corpus between runs.
pids=()
for t in "${targets[@]}"; do
  mkdir -p "$build/fuzz-corpus/$t"
  echo "== fuzzing fuzz_$t for ${seconds}s"
  (cd "$build/fuzz-logs" && exec "../fuzz/fuzz_$t" "${common[@]}" -max_total_time="$seconds" \
     -artifact_prefix="../fuzz-crashes/$t-" "../fuzz-corpus/$t" "../fuzz-seeds") >"$build/fuzz-logs/$t.log" 2>&1 &
  pids+=($!)
done
failed=0
for i in "${!targets[@]}"; do
  t="${targets[$i]}"
  if wait "${pids[$i]}"; then
    grep -E "^stat::(number_of_executed_units|new_units_added)" "$build/fuzz-logs/$t.log" | sed "s/^/fuzz_$t /" || true
  else
    failed=1
    echo "== fuzz_$t found a crash:" >&2
    grep -m1 -A40 -E "^==[0-9]+==ERROR|runtime error|deadly signal|uncaught exception|out-of-memory|timeout" \
      "$build/fuzz-logs/$t.log" >&2 || tail -n 60 "$build/fuzz-logs/$t.log" >&2
  fi
done
if [ "$failed" != 0 ]; then
  echo "Crash inputs are in $build/fuzz-crashes/; keep each in $kept/ and fix the engine." >&2
  ls -l "$build/fuzz-crashes" >&2
  exit 1
fi
echo "fuzzing found no crash"
