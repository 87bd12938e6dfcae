#!/usr/bin/env bash
# Benchmarks: prints figures, checks nothing. Builds Release into build/ (as scripts/test.sh does),
# then for each logbook size (default 100000 and 1000000 contacts):
#   - creates the logbook with our engine (five indexes) and times it, with its size and `jet check`;
#   - reads MainLog with `jet export` and with mdb-export (rows per second, peak memory);
#   - runs the whole update with tarnlog-entity-update on a copy, from process start to exit,
#     beside mdb-export reading the same table, and prints the ratio; with the bytes the update
#     wrote (write calls, and what reached the storage layer), its read calls (page reads), and
#     the bytes of the pages it changed, as the kernel and a page-by-page comparison count them.
# Usage: bench/run.sh [CONTACTS...]      Work files go to $BENCH_DIR (default build/bench-work).
set -euo pipefail
cd "$(dirname "$0")/.."

generator=()
if command -v ninja >/dev/null 2>&1; then generator=(-G Ninja); fi
cmake -S . -B build "${generator[@]}" -DCMAKE_BUILD_TYPE=Release -DCMAKE_CXX_FLAGS_RELEASE="-O2 -g" >/dev/null
cmake --build build -j "${JOBS:-2}" --target jet tarnlog-gen tarnlog-entity-update run-stats page-diff >/dev/null

jet=build/tools/jet
gen=build/tools/gen/tarnlog-gen
update=build/src/app/console/tarnlog-entity-update
stats=build/bench/run-stats
pagediff=build/bench/page-diff
work="${BENCH_DIR:-build/bench-work}"
mkdir -p "$work"
sizes=("$@")
if [ ${#sizes[@]} -eq 0 ]; then sizes=(100000 1000000); fi

# Runs a command; prints "seconds peak-KB wchar write-bytes read-calls" of it, its output to $work/out.
measure() {
  sync  # writes still in flight from an earlier step would be charged to this one
  "$stats" "$work/out" "$@" 2>"$work/err" || { cat "$work/err" >&2; return 1; }
}

printf '%-10s %-28s %10s %10s %12s %s\n' contacts step seconds peak_MB rows/s notes
for n in "${sizes[@]}"; do
  book="$work/logbook-$n.mdb"
  rm -f "$book" "$book-wal"
  read -r s kb _ < <(measure "$gen" logbook "$book" --contacts "$n" --seed 7)
  size_mb=$(( $(stat -c %s "$book") / 1048576 ))
  check=$("$jet" check "$book" | head -1)
  printf '%-10s %-28s %10s %10s %12s %s\n' "$n" "create (5 indexes)" "$s" "$((kb / 1024))" \
    "$(awk -v n="$n" -v s="$s" 'BEGIN { printf "%.0f", n / (s > 0 ? s : 0.001) }')" "file ${size_mb} MB, jet check: $check"

  read -r s kb _ < <(measure "$jet" export "$book" MainLog)
  printf '%-10s %-28s %10s %10s %12s\n' "$n" "read: jet export" "$s" "$((kb / 1024))" \
    "$(awk -v n="$n" -v s="$s" 'BEGIN { printf "%.0f", n / (s > 0 ? s : 0.001) }')"
  read -r mdb kb _ < <(measure mdb-export "$book" MainLog)
  printf '%-10s %-28s %10s %10s %12s\n' "$n" "read: mdb-export" "$mdb" "$((kb / 1024))" \
    "$(awk -v n="$n" -v s="$mdb" 'BEGIN { printf "%.0f", n / (s > 0 ? s : 0.001) }')"

  cp "$book" "$work/copy.mdb"
  rm -f "$work/bandplan.mdb"
  "$gen" bandplan "$work/bandplan.mdb"
  chmod u+w "$work/copy.mdb" "$work/bandplan.mdb"
  read -r s kb wchar wbytes reads < <(measure "$update" --bandplan "$work/bandplan.mdb" --logbook "$work/copy.mdb" --yes)
  changed=$(grep -o '^[0-9]* PJ logbook records' "$work/out" | cut -d' ' -f1)
  printf '%-10s %-28s %10s %10s %12s %s\n' "$n" "update (console, whole run)" "$s" "$((kb / 1024))" "-" \
    "${changed:-0} rows changed; $(awk -v a="$s" -v b="$mdb" 'BEGIN { printf "%.2f", a / b }') x mdb-export's time; jet check: $("$jet" check "$work/copy.mdb" | head -1)"
  read -r pages _ < <("$pagediff" "$book" "$work/copy.mdb" 4096)
  printf '%-10s %-28s %s\n' "$n" "update: I/O" \
    "pages changed $pages ($((pages * 4 / 1024)) MB); written $((wchar / 1048576)) MB by write calls ($(awk -v w="$wchar" -v p="$pages" 'BEGIN { printf "%.1f", w / (p * 4096) }') x the changed pages), $((wbytes / 1048576)) MB to storage; $reads read calls"
  rm -f "$work/copy.mdb"
done
