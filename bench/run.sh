#!/usr/bin/env bash
# Benchmarks: prints figures, checks nothing. Builds Release into build/ (as scripts/test.sh does),
# then for each logbook size (default 100000 and 1000000 contacts):
#   - creates the logbook with our engine (five indexes) and times it, with its size and `jet check`;
#   - reads MainLog with `jet export` and with mdb-export (rows per second, peak memory);
#   - runs the whole update with tarnlog-entity-update on a copy, from process start to exit,
#     beside mdb-export reading the same table, and prints the ratio;
#   - for each step, the bytes the process read and wrote (rchar, wchar of /proc/PID/io), and
#     for the update the bytes of the pages it changed in both files, and written / changed.
# Usage: bench/run.sh [CONTACTS...]      Work files go to $BENCH_DIR (default build/bench-work).
set -euo pipefail
cd "$(dirname "$0")/.."

generator=()
if command -v ninja >/dev/null 2>&1; then generator=(-G Ninja); fi
cmake -S . -B build "${generator[@]}" -DCMAKE_BUILD_TYPE=Release -DCMAKE_CXX_FLAGS_RELEASE="-O2 -g" >/dev/null
cmake --build build -j "${JOBS:-2}" --target jet tarnlog-gen tarnlog-entity-update >/dev/null

jet=build/tools/jet
gen=build/tools/gen/tarnlog-gen
update=build/src/app/console/tarnlog-entity-update
work="${BENCH_DIR:-build/bench-work}"
mkdir -p "$work"
sizes=("$@")
if [ ${#sizes[@]} -eq 0 ]; then sizes=(100000 1000000); fi

# Runs a command; prints "seconds peak-KB read-MB written-MB" of it (GNU time, and the bytes its
# process read and wrote), its output to $work/out.
measure() {
  sync  # writes still in flight from an earlier step would be charged to this one
  /usr/bin/time -f "%e %M" -o "$work/time" bash -c '"$@" >"$0/out" 2>"$0/err"; rc=$?
    awk "/^(rchar|wchar)/ { printf \"%.1f \", \$2 / 1048576 }" /proc/$$/io >"$0/io"; exit $rc' "$work" "$@" ||
    { cat "$work/err" >&2; return 1; }
  echo "$(cat "$work/time") $(cat "$work/io")"
}

# Bytes of the pages (4096 each) in which two files of the same size or longer differ.
changed_bytes() {
  python3 - "$@" <<'PY'
import sys
total = 0
for before, after in zip(sys.argv[1::2], sys.argv[2::2]):
    with open(before, 'rb') as a, open(after, 'rb') as b:
        while True:
            x, y = a.read(4096), b.read(4096)
            if not x and not y: break
            if x != y: total += 4096
print(total)
PY
}

printf '%-10s %-28s %10s %10s %12s %8s %8s %s\n' contacts step seconds peak_MB rows/s read_MB wrote_MB notes
for n in "${sizes[@]}"; do
  book="$work/logbook-$n.mdb"
  rm -f "$book" "$book-wal"
  read -r s kb rd wr < <(measure "$gen" logbook "$book" --contacts "$n" --seed 7)
  size_mb=$(( $(stat -c %s "$book") / 1048576 ))
  check=$("$jet" check "$book" | head -1)
  printf '%-10s %-28s %10s %10s %12s %8s %8s %s\n' "$n" "create (5 indexes)" "$s" "$((kb / 1024))" \
    "$(awk -v n="$n" -v s="$s" 'BEGIN { printf "%.0f", n / (s > 0 ? s : 0.001) }')" "$rd" "$wr" "file ${size_mb} MB, jet check: $check"

  read -r s kb rd wr < <(measure "$jet" export "$book" MainLog)
  printf '%-10s %-28s %10s %10s %12s %8s %8s\n' "$n" "read: jet export" "$s" "$((kb / 1024))" \
    "$(awk -v n="$n" -v s="$s" 'BEGIN { printf "%.0f", n / (s > 0 ? s : 0.001) }')" "$rd" "$wr"
  read -r mdb kb rd wr < <(measure mdb-export "$book" MainLog)
  printf '%-10s %-28s %10s %10s %12s %8s %8s\n' "$n" "read: mdb-export" "$mdb" "$((kb / 1024))" \
    "$(awk -v n="$n" -v s="$mdb" 'BEGIN { printf "%.0f", n / (s > 0 ? s : 0.001) }')" "$rd" "$wr"

  cp "$book" "$work/copy.mdb"
  rm -f "$work/bandplan.mdb"
  "$gen" bandplan "$work/bandplan.mdb"
  chmod u+w "$work/copy.mdb" "$work/bandplan.mdb"
  cp "$work/bandplan.mdb" "$work/bandplan-before.mdb"
  read -r s kb rd wr < <(measure "$update" --bandplan "$work/bandplan.mdb" --logbook "$work/copy.mdb" --yes)
  changed=$(grep -o '^[0-9]* PJ logbook records' "$work/out" | cut -d' ' -f1)
  pages=$(changed_bytes "$book" "$work/copy.mdb" "$work/bandplan-before.mdb" "$work/bandplan.mdb")
  printf '%-10s %-28s %10s %10s %12s %8s %8s %s\n' "$n" "update (console, whole run)" "$s" "$((kb / 1024))" "-" "$rd" "$wr" \
    "${changed:-0} rows changed; pages changed $(awk -v p="$pages" 'BEGIN { printf "%.1f", p / 1048576 }') MB, written $(awk -v w="$wr" -v p="$pages" 'BEGIN { printf "%.2f", w * 1048576 / p }') x; $(awk -v a="$s" -v b="$mdb" 'BEGIN { printf "%.2f", a / b }') x mdb-export's time; jet check: $("$jet" check "$work/copy.mdb" | head -1)"
  rm -f "$work/copy.mdb"
done
