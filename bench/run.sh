#!/usr/bin/env bash
# Benchmarks: prints figures, checks nothing. Builds Release into build/ (as scripts/test.sh does),
# then for each logbook size (default 100000 and 1000000 contacts) and each layout of it (the
# words in $BENCH_LAYOUTS, default "packed grown"; each row names its layout):
#   - packed: `tarnlog-gen logbook`, rows in random time order, each index built afterwards in
#     one sorted pass (full index pages);
#   - grown: `tarnlog-gen logbook --grown`, the same contacts in time order, inserted one at a
#     time into the table whose indexes already exist (index pages split as they fill), as a
#     logbook kept for years;
#   - creates the logbook with our engine (five indexes) and times it, with its size, its index
#     leaves (how many, how full on average) and `jet check`;
#   - reads MainLog with `jet export` and with mdb-export (rows per second, peak memory);
#   - runs `jet check` on it and prints its time beside mdb-export's;
#   - runs the whole update with tarnlog-entity-update on a copy, from process start to exit,
#     beside mdb-export reading the same table, and prints the ratio;
#   - for each step, what the kernel counted of its process: bytes read and written by its
#     system calls (rchar, wchar) and its read calls; for the update also the bytes of the pages
#     it changed in both files (a page-by-page comparison), and written / changed;
#   - the update's I/O floor, measured in the same run: its changed pages written to a fresh
#     file and synced, then in place into a copy of each file and synced; and the update's
#     time against it. The update and the floor are each timed $BENCH_TRIES times (default 3)
#     and the fastest of each is printed: the disk's own speed moves from one sync to the next.
# Usage: [BENCH_LAYOUTS="packed grown"] [BENCH_TRIES=3] bench/run.sh [CONTACTS...]
# Work files go to $BENCH_DIR (default build/bench-work).
set -euo pipefail
cd "$(dirname "$0")/.."

generator=()
if command -v ninja >/dev/null 2>&1; then generator=(-G Ninja); fi
cmake -S . -B build "${generator[@]}" -DCMAKE_BUILD_TYPE=Release -DCMAKE_CXX_FLAGS_RELEASE="-O2 -g" >/dev/null
cmake --build build -j "${JOBS:-2}" --target jet-tool tarnlog-gen tarnlog-entity-update run-stats page-diff index-fill >/dev/null

jet=build/tools/jet
gen=build/tools/gen/tarnlog-gen
update=build/src/app/console/tarnlog-entity-update
stats=build/bench/run-stats
pagediff=build/bench/page-diff
indexfill=build/bench/index-fill
work="${BENCH_DIR:-build/bench-work}"
mkdir -p "$work"
sizes=("$@")
if [ ${#sizes[@]} -eq 0 ]; then sizes=(100000 1000000); fi
read -r -a layouts <<<"${BENCH_LAYOUTS:-packed grown}"
for layout in "${layouts[@]}"; do
  case "$layout" in packed | grown) ;; *) echo "bench/run.sh: unknown layout '$layout' (packed, grown)" >&2; exit 2 ;; esac
done

# Runs a command; prints "seconds peak-KB read-MB written-MB read-calls" of it, its output to $work/out.
measure() {
  sync  # writes still in flight from an earlier step would be charged to this one
  "$stats" "$work/out" "$@" 2>"$work/err" || { cat "$work/err" >&2; return 1; }
}
rate() { awk -v n="$1" -v s="$2" 'BEGIN { printf "%.0f", n / (s > 0 ? s : 0.001) }'; }
columns='%-10s %-7s %-28s %10s %10s %12s %8s %8s %s\n'
row() { printf "$columns" "$1" "$layout" "${@:2}"; }  # a row of the layout being measured

printf "$columns" contacts layout step seconds peak_MB rows/s read_MB wrote_MB notes
for n in "${sizes[@]}"; do
  for layout in "${layouts[@]}"; do
    book="$work/logbook-$n-$layout.mdb"
    grown=()
    if [ "$layout" = grown ]; then grown=(--grown); fi
    rm -f "$book" "$book-wal"
    read -r s kb rd wr _ < <(measure "$gen" logbook "$book" --contacts "$n" --seed 7 "${grown[@]}")
    size_mb=$(( $(stat -c %s "$book") / 1048576 ))
    read -r leaves fill _ < <("$indexfill" "$book" 4096)
    row "$n" "create (5 indexes)" "$s" "$((kb / 1024))" "$(rate "$n" "$s")" "$rd" "$wr" \
      "file ${size_mb} MB, $leaves index leaves ${fill}% full, jet check: $("$jet" check "$book" | head -1)"

    read -r s kb rd wr _ < <(measure "$jet" export "$book" MainLog)
    row "$n" "read: jet export" "$s" "$((kb / 1024))" "$(rate "$n" "$s")" "$rd" "$wr" ""
    read -r mdb kb rd wr _ < <(measure mdb-export "$book" MainLog)
    row "$n" "read: mdb-export" "$mdb" "$((kb / 1024))" "$(rate "$n" "$mdb")" "$rd" "$wr" ""
    read -r s kb rd wr _ < <(measure "$jet" check "$book")
    row "$n" "check: jet check" "$s" "$((kb / 1024))" "$(rate "$n" "$s")" "$rd" "$wr" \
      "$(awk -v a="$s" -v b="$mdb" 'BEGIN { printf "%.2f", a / b }') x mdb-export's time; $(head -1 "$work/out")"

    # The update and its floor are each measured $BENCH_TRIES times (default 3), on fresh
    # copies: the fastest update and the least floor are printed, as the disk lets them be.
    best="" floor=""
    for try in $(seq "${BENCH_TRIES:-3}"); do
      cp "$book" "$work/copy.mdb"
      rm -f "$work/bandplan.mdb"
      "$gen" bandplan "$work/bandplan.mdb"
      chmod u+w "$work/copy.mdb" "$work/bandplan.mdb"
      cp "$work/bandplan.mdb" "$work/bandplan-before.mdb"
      read -r t tkb trd twr treads < <(measure "$update" --bandplan "$work/bandplan.mdb" --logbook "$work/copy.mdb" --yes)
      if [ -z "$best" ] || awk -v a="$t" -v b="$best" 'BEGIN { exit !(a < b) }'; then
        best=$t s=$t kb=$tkb rd=$trd wr=$twr reads=$treads
        changed=$(grep -o '^[0-9]* PJ logbook records' "$work/out" | cut -d' ' -f1)
      fi
      sync
      read -r p1 _ f1 < <("$pagediff" "$book" "$work/copy.mdb" 4096 "$work")
      read -r p2 _ f2 < <("$pagediff" "$work/bandplan-before.mdb" "$work/bandplan.mdb" 4096 "$work")
      pages=$((p1 + p2))
      f=$(awk -v a="$f1" -v b="$f2" 'BEGIN { printf "%.2f", a + b }')
      if [ -z "$floor" ] || awk -v a="$f" -v b="$floor" 'BEGIN { exit !(a < b) }'; then floor=$f; fi
    done
    row "$n" "update (console, whole run)" "$s" "$((kb / 1024))" "-" "$rd" "$wr" \
      "${changed:-0} rows changed; $(awk -v a="$s" -v b="$mdb" 'BEGIN { printf "%.2f", a / b }') x mdb-export's time; jet check: $("$jet" check "$work/copy.mdb" | head -1)"
    row "$n" "update: pages" "" "" "" "" "" \
      "$pages pages changed ($(awk -v p="$pages" 'BEGIN { printf "%.1f", p * 4096 / 1048576 }') MB); written $(awk -v w="$wr" -v p="$pages" 'BEGIN { printf "%.2f", w * 1048576 / (p * 4096) }') x that; $reads read calls"
    row "$n" "update: I/O floor" "$floor" "" "" "" "" \
      "changed pages to a fresh file + sync, then in place + sync; update $(awk -v a="$s" -v b="$floor" 'BEGIN { printf "%.2f", a / (b > 0 ? b : 0.001) }') x the floor"
    rm -f "$work/copy.mdb" "$work/bandplan-before.mdb"
  done
done
