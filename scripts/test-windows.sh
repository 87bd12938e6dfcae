#!/usr/bin/env bash
# Cross-builds the engine, the updates, `jet`, the console program and the tests for 64-bit
# Windows, runs the tests under Wine, and compares the console program's runs with the Linux
# build's. Installs nothing: it needs these Debian packages (besides those of scripts/test.sh):
#   g++-mingw-w64-x86-64-posix wine wine64 googletest xvfb xauth
# Build folders: build-windows/ (Windows) and build-windows-host/ (the Linux side of the comparison).
# Exits nonzero when anything fails.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)
jobs="${JOBS:-2}"
fixtures="$root/tests/fixtures"

for tool in x86_64-w64-mingw32-g++-posix cmake ninja; do
  command -v "$tool" >/dev/null || { echo "test-windows: $tool is missing" >&2; exit 1; }
done
wine=$(command -v wine64 || true)
[ -n "$wine" ] || [ ! -x /usr/lib/wine/wine64 ] || wine=/usr/lib/wine/wine64
[ -n "$wine" ] || wine=$(command -v wine || true)
[ -n "$wine" ] || { echo "test-windows: wine64 is missing" >&2; exit 1; }
[ -d /usr/src/googletest ] || { echo "test-windows: googletest sources are missing" >&2; exit 1; }

# A throwaway Wine prefix: the tests may write the documents folder and Tarnlog's settings there.
work=$(mktemp -d "${TMPDIR:-/tmp}/tarnlog-wine-XXXXXX")
export WINEPREFIX="$work/prefix" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=" TARNLOG_WINE_SANDBOX=1
cleanup() {
  wineserver -k >/dev/null 2>&1 || true
  rm -rf "$work"
}
trap cleanup EXIT

# The console programs need no display; wineboot's first start is quieter with one, so use a
# virtual one when there is no real one.
if [ -z "${DISPLAY:-}" ] && command -v Xvfb >/dev/null; then
  Xvfb :87 -nolisten tcp >/dev/null 2>&1 &
  xvfb_pid=$!
  trap 'kill $xvfb_pid 2>/dev/null || true; cleanup' EXIT
  export DISPLAY=:87
fi

echo "== Wine prefix (the first start takes a while)"
"$wine" wineboot --init >/dev/null 2>&1 || true
wineserver -w || true
# Wine links the user's Documents (and Desktop, ...) to the home folder; the tests write there,
# so the throwaway prefix gets folders of its own.
for link in "$WINEPREFIX"/drive_c/users/*/*; do
  if [ -L "$link" ]; then
    rm "$link"
    mkdir -p "$link"
  fi
done

echo "== Cross build"
cmake -S . -B build-windows -G Ninja -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake -DTARNLOG_GUI=OFF \
  -DCMAKE_BUILD_TYPE=Release -DCMAKE_CXX_FLAGS_RELEASE="-O2" >/dev/null
cmake --build build-windows -j "$jobs"

echo "== Tests under Wine"
(cd build-windows && ctest --output-on-failure -j1)

# --- Comparison with the Linux build -------------------------------------------------------
echo "== Linux build for the comparison"
cmake -S . -B build-windows-host -G Ninja -DTARNLOG_GUI=OFF -DTARNLOG_TESTS=OFF >/dev/null
host_targets=(jet)
win_console=build-windows/src/app/console/tarnlog-entity-update.exe
if [ -f "$win_console" ]; then host_targets+=(tarnlog-entity-update); fi
cmake --build build-windows-host -j "$jobs" --target "${host_targets[@]}"
host_jet=build-windows-host/tools/jet
win_jet=build-windows/tools/jet.exe

# Files written by one build pass the other's check.
echo "== Files made by each build pass the other's jet check"
"$wine" "$win_jet" create "$(winepath -w "$work/made-on-windows.mdb")" \
  "CREATE TABLE Calls (ID COUNTER PRIMARY KEY, Call TEXT(20), Band TEXT(10))" \
  "INSERT INTO Calls (Call, Band) VALUES ('PJ2T', '20m')" "INSERT INTO Calls (Call, Band) VALUES ('PJ4A', '40m')"
"$host_jet" check "$work/made-on-windows.mdb"
"$host_jet" create "$work/made-on-linux.mdb" \
  "CREATE TABLE Calls (ID COUNTER PRIMARY KEY, Call TEXT(20), Band TEXT(10))" \
  "INSERT INTO Calls (Call, Band) VALUES ('PJ7E', '15m')"
"$wine" "$win_jet" check "$(winepath -w "$work/made-on-linux.mdb")" | tr -d '\r'
cmp <("$host_jet" export "$work/made-on-windows.mdb" Calls) <("$wine" "$win_jet" export "$(winepath -w "$work/made-on-windows.mdb")" Calls | tr -d '\r')

if [ ! -f "$win_console" ]; then
  echo "== The console program is not built yet: its comparison is left out"
  echo "test-windows: all passed"
  exit 0
fi

# The same fixture copies for both builds, found the same way: the band plan below the documents
# folder, the logbook through Tarnlog's setting. Both sides see the same Windows paths: Wine's
# documents folder, and on Linux a prefix whose registry names that folder.
echo "== The console program: Windows under Wine against Linux"
win_docs=$("$wine" cmd /c 'echo %USERPROFILE%\Documents' | tr -d '\r')
win_docs_unix=$(winepath -u "$win_docs")
linux_prefix="$work/linux-prefix"

# $1: documents folder on this system; lays out both fixture copies below it.
lay_out() {
  mkdir -p "$1/BRAEWICK/Tarnlog/databases" "$1/Tarnlog test logs"
  install -m 644 "$fixtures/jet4/bandplan.mdb" "$1/BRAEWICK/Tarnlog/databases/bandplan.mdb"
  install -m 644 "$fixtures/jet4/logbook.mdb" "$1/Tarnlog test logs/logbook.mdb"
}
logbook_win="$win_docs\\Tarnlog test logs\\logbook.mdb"
reg_escape() { printf '%s' "$1" | sed 's/\\/\\\\/g'; }

lay_out "$win_docs_unix"
"$wine" reg add 'HKCU\Software\VB and VBA Program Settings\Tarnlog\Settings' /v Logbook /t REG_SZ /d "$logbook_win" /f >/dev/null
wineserver -w

# On Linux the documents folder of the same Windows path lies in a prefix of its own.
win_user_path=${win_docs%\\Documents}  # C:\users\NAME
linux_docs_unix="$linux_prefix/drive_c/users/${win_user_path##*\\}/Documents"
mkdir -p "$linux_prefix/dosdevices"
ln -sfn ../drive_c "$linux_prefix/dosdevices/c:"
lay_out "$linux_docs_unix"
cat >"$linux_prefix/user.reg" <<REG
WINE REGISTRY Version 2

[Software\\\\Microsoft\\\\Windows\\\\CurrentVersion\\\\Explorer\\\\Shell Folders] 1700000000
"Personal"="$(reg_escape "$win_docs")"

[Software\\\\VB and VBA Program Settings\\\\Tarnlog\\\\Settings] 1700000000
"Logbook"="$(reg_escape "$logbook_win")"
REG

run_windows() { (cd "$work" && "$wine" "$root/$win_console" "$@" | tr -d '\r'); }
run_linux() { (cd "$work" && WINEPREFIX="$linux_prefix" "$root/build-windows-host/src/app/console/tarnlog-entity-update" "$@"); }

failed=0
compare() {  # $1: what; $2 and $3: files
  if cmp -s "$2" "$3"; then
    echo "same: $1"
  else
    echo "DIFFERENT: $1"
    diff "$2" "$3" | head -40 || true
    failed=1
  fi
}
# Every table of a database, in the Linux jet's export.
dump() {
  local f=$1
  "$host_jet" tables "$f" | while read -r t; do
    echo "## $t"
    "$host_jet" export "$f" "$t"
  done
}

for step in "--dry-run" "--yes" "--dry-run"; do
  run_windows "$step" >"$work/windows.out" 2>&1 || echo "exit status $?" >>"$work/windows.out"
  run_linux "$step" >"$work/linux.out" 2>&1 || echo "exit status $?" >>"$work/linux.out"
  # The preview names each file by its path on its own system (/home/... or C:\...): the
  # file names must agree, the folders cannot.
  for f in "$work/linux.out" "$work/windows.out"; do
    sed -E -i 's#^(Band plan|Logbook) .*[/\\]([^/\\]+):$#\1 \2:#' "$f"
  done
  compare "messages of $step" "$work/linux.out" "$work/windows.out"
done
for db in "BRAEWICK/Tarnlog/databases/bandplan.mdb" "Tarnlog test logs/logbook.mdb"; do
  dump "$linux_docs_unix/$db" >"$work/linux.dump"
  dump "$win_docs_unix/$db" >"$work/windows.dump"
  compare "contents of $(basename "$db")" "$work/linux.dump" "$work/windows.dump"
  "$host_jet" check "$win_docs_unix/$db" || failed=1
  "$wine" "$win_jet" check "$(winepath -w "$linux_docs_unix/$db")" | tr -d '\r'
  [ "${PIPESTATUS[0]}" -eq 0 ] || failed=1
done
if [ "$failed" -ne 0 ]; then
  echo "test-windows: the Windows and Linux builds differ" >&2
  exit 1
fi
echo "test-windows: all passed"
