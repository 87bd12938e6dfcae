#!/usr/bin/env bash
# Cross-builds the engine, the updates, `jet`, the console program, the window and the tests for
# 64-bit Windows, runs the tests under Wine, compares the console program's runs with the Linux
# build's, drives the window by keyboard on a virtual display, and packs the .zip for Windows users.
# Installs nothing: it needs these Debian packages (besides those of scripts/test.sh):
#   g++-mingw-w64-x86-64-posix wine wine64 fonts-wine googletest xvfb xauth xdotool imagemagick unzip
# Build folders: build-windows/ (Windows; the window test's screenshots in build-windows/window-test/)
# and build-windows-host/ (the Linux side of the comparison). Exits nonzero when anything fails.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)
jobs="${JOBS:-2}"
fixtures="$root/tests/fixtures"

for tool in x86_64-w64-mingw32-g++-posix x86_64-w64-mingw32-windres cmake cpack ninja unzip Xvfb xdotool import convert; do
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

# A virtual display of our own, never the desktop's: the window test types on it.
exec 3>"$work/display"
Xvfb -displayfd 3 -nolisten tcp -screen 0 1024x768x24 >/dev/null 2>&1 &
xvfb_pid=$!
exec 3>&-
trap 'kill $xvfb_pid 2>/dev/null || true; cleanup' EXIT
for _ in $(seq 100); do [ -s "$work/display" ] && break; sleep 0.1; done
export DISPLAY=":$(cat "$work/display")"

echo "== Wine prefix (the first start takes a while)"
"$wine" wineboot --init >/dev/null 2>&1 || true
wineserver -w || true
# Wine's own fonts (MS Sans Serif, Tahoma, the frame's symbols) from fonts-wine, which this Wine
# does not find by itself.
if [ -d /usr/share/wine/fonts ]; then cp /usr/share/wine/fonts/*.ttf "$WINEPREFIX/drive_c/windows/Fonts/"; fi
# Wine links the user's Documents (and Desktop, ...) to the home folder; the tests write there,
# so the throwaway prefix gets folders of its own.
for link in "$WINEPREFIX"/drive_c/users/*/*; do
  if [ -L "$link" ]; then
    rm "$link"
    mkdir -p "$link"
  fi
done

echo "== Cross build"
launcher=()
if command -v ccache >/dev/null; then launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache); fi
cmake -S . -B build-windows -G Ninja -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake -DTARNLOG_GUI=ON \
  -DCMAKE_BUILD_TYPE=Release -DCMAKE_CXX_FLAGS_RELEASE="-O2" "${launcher[@]}" >/dev/null
cmake --build build-windows -j "$jobs"
(cd build-windows && cpack -G ZIP >/dev/null)
zip_file=$(ls build-windows/tarnlog-entity-updater-*-windows-x64.zip)
echo "== Download for Windows: $zip_file"
unzip -Z1 "$zip_file" | sort >"$work/zip.list"
cat "$work/zip.list"
for f in tarnlog-entity-updater.exe tarnlog-entity-update.exe jet.exe README.txt; do
  grep -qx "[^/]*/$f" "$work/zip.list" || { echo "test-windows: $f is not in $zip_file" >&2; exit 1; }
done

# Each test program runs whole, once: a Wine start costs seconds, one a test would cost minutes.
# A failure is counted and the checks after it still run.
echo "== Tests under Wine"
failed=0
for program in build-windows/tests/*/*_tests.exe; do
  echo "-- $program"
  if ! (cd "$(dirname "$program")" && "$wine" "$root/$program" --gtest_brief=1 | tr -d '\r'); then
    echo "FAILED: $program"
    failed=1
  fi
done

# --- Comparison with the Linux build -------------------------------------------------------
echo "== Linux build for the comparison"
cmake -S . -B build-windows-host -G Ninja -DTARNLOG_GUI=OFF -DTARNLOG_TESTS=OFF "${launcher[@]}" >/dev/null
host_targets=(jet-tool)
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
  if [ "$step" = --yes ]; then cp "$work/windows.out" "$work/console-run.out"; fi
done
for db in "BRAEWICK/Tarnlog/databases/bandplan.mdb" "Tarnlog test logs/logbook.mdb"; do
  dump "$linux_docs_unix/$db" >"$work/linux.dump"
  dump "$win_docs_unix/$db" >"$work/windows.dump"
  compare "contents of $(basename "$db")" "$work/linux.dump" "$work/windows.dump"
  cp "$work/windows.dump" "$work/console-$(basename "$db").dump"
  "$host_jet" check "$win_docs_unix/$db" || failed=1
  "$wine" "$win_jet" check "$(winepath -w "$linux_docs_unix/$db")" | tr -d '\r'
  [ "${PIPESTATUS[0]}" -eq 0 ] || failed=1
done
# --- The window, driven by keyboard -------------------------------------------------------
# tarnlog-entity-updater.exe on fresh copies of the same files, on a screen of 120 dpi (so that
# twips turned into pixels at a fixed 96 would show), Wine drawing the frames itself (there is
# no window manager). list-windows.exe reads the windows from outside; keys go to the focus.
echo "== The window: tarnlog-entity-updater.exe driven by keyboard"
win_window=build-windows/src/app/win32/tarnlog-entity-updater.exe
list_windows=build-windows/tests/windows/list-windows.exe
shots=build-windows/window-test
rm -rf "$shots"
mkdir -p "$shots"
"$wine" reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /t REG_SZ /d N /f >/dev/null
"$wine" reg add 'HKCU\Control Panel\Desktop' /v LogPixels /t REG_DWORD /d 120 /f >/dev/null
wineserver -w
lay_out "$win_docs_unix"
bandplan_unix="$win_docs_unix/BRAEWICK/Tarnlog/databases/bandplan.mdb"
logbook_unix="$win_docs_unix/Tarnlog test logs/logbook.mdb"

# Starts the window program; its exit status goes to $work/window.status.
start_window() {
  rm -f "$work/window.status"
  ( (cd "$work" && "$wine" "$root/$win_window" >/dev/null 2>&1) && echo 0 >"$work/window.status" ||
    echo $? >"$work/window.status") &
  window_job=$!
}
# Waits until the keyboard focus, as Wine itself holds it, is on a control of the window captioned
# $1, then presses the key $2. (The X server's focus is no guide: with no window manager it can
# stay on the main window while Wine routes the keys to the message box above it.)
press() {
  local focused=0
  for _ in $(seq 60); do
    "$wine" "$root/$list_windows" | tr -d '\r' >"$work/focus-listing"
    awk -v caption="window \"$1\" " '/^window /{inside = index($0, caption) == 1} inside && / focus$/{found = 1}
      END{exit !found}' "$work/focus-listing" && { focused=1; break; }
    sleep 0.5
  done
  if [ $focused -eq 0 ]; then
    echo "FAILED: the focus is not in '$1'; on the desktop:"
    cat "$work/focus-listing"
    failed=1
  fi
  xdotool key "$2"
}
# Waits (30 s at most) until the windows on the desktop, as list-windows prints them into
# $work/listing, have a line matching the extended regular expression $1 (with -v: have none).
wait_for() {
  local absent=0 found
  if [ "$1" = -v ]; then absent=1; shift; fi
  for _ in $(seq 60); do
    "$wine" "$root/$list_windows" | tr -d '\r' >"$work/listing"
    found=0
    grep -qE -- "$1" "$work/listing" && found=1
    [ $found -ne $absent ] && return 0
    sleep 0.5
  done
  echo "FAILED: waited in vain for $([ $absent -eq 1 ] && echo "no ")line like: $1"
  cat "$work/listing"
  failed=1
  return 1
}
# Checks that the one message box in $work/listing (the window titled "Tarnlog") shows the
# prompt $1 (a line break as \n) and the buttons $2, and that the window is its owner when $3 is "owned".
check_box() {
  local box prompt buttons
  box=$(awk '/^window /{inside = /^window "Tarnlog" /} inside' "$work/listing")
  prompt=$(printf '%s\n' "$box" | sed -n 's/^  Static "\(..*\)" [0-9-]*,[0-9-]* [0-9]*x[0-9]*.*$/\1/p')
  buttons=$(printf '%s\n' "$box" | sed -n 's/^  Button "\([^"]*\)".*/\1/p' | paste -sd, -)
  if [ "$prompt" = "$1" ] && [ "$buttons" = "$2" ]; then
    echo "box: $prompt [$buttons]"
  else
    echo "FAILED: box \"$prompt\" [$buttons], expected \"$1\" [$2]"
    failed=1
  fi
  if [ "${3:-}" = owned ] && ! printf '%s\n' "$box" | grep -q '^window "Tarnlog" .* owner "Tarnlog Entity Updater"'; then
    echo "FAILED: the box is not the window's"
    failed=1
  fi
}
shot() { import -window root png:- | convert - -trim +repage "$shots/$1.png"; }
# Checks in a screenshot of the whole screen that no label of the window shows clipped text:
# each holds dark pixels, and none in its last two rows or columns, where a line or word that
# does not fit would be cut off. The shot is kept as $1.png.
check_labels() {
  local full="$work/screen.png" label x y w h edge ink
  import -window root "$full"
  convert "$full" -trim +repage "$shots/$1.png"
  "$wine" "$root/$list_windows" --screen | tr -d '\r' >"$work/screen-listing"
  awk '/^window /{inside = /^window "Tarnlog Entity Updater" /} inside && /^  Static /' "$work/screen-listing" |
    sed -n 's/^  Static "\(.*\)" \([0-9]*\),\([0-9]*\) \([0-9]*\)x\([0-9]*\).*$/\2 \3 \4 \5 \1/p' >"$work/labels"
  [ "$(wc -l <"$work/labels")" -eq 4 ] || { echo "FAILED: $1: not four labels"; failed=1; }
  while read -r x y w h label; do
    ink=$(convert "$full" -crop "${w}x${h}+$x+$y" +repage -colorspace Gray -threshold 50% -format '%[fx:minima]' info:)
    edge=$(convert "$full" \( -clone 0 -crop "${w}x2+$x+$((y + h - 2))" \) \( -clone 0 -crop "2x${h}+$((x + w - 2))+$y" \) \
      -delete 0 +repage -colorspace Gray -threshold 50% -format '%[fx:minima]' info: | tr -d '\n')
    if [ "$ink" != 0 ] || [ "$edge" != 11 ]; then
      echo "FAILED: $1: the label \"$label\" is clipped (or empty) at ${w}x${h}+$x+$y"
      failed=1
    fi
  done <"$work/labels"
  echo "$1: no label clipped"
}
# Waits for the program to end and checks its exit status against $1.
wait_end() {
  for _ in $(seq 60); do [ -s "$work/window.status" ] && break; sleep 0.5; done
  if [ "$(cat "$work/window.status" 2>/dev/null)" = "$1" ]; then
    echo "ended, exit status $1"
  else
    echo "FAILED: exit status '$(cat "$work/window.status" 2>/dev/null)', expected $1; on the desktop:"
    "$wine" "$root/$list_windows" | tr -d '\r'
    failed=1
    wineserver -k || true  # a program still running goes, so that the next start stands alone
    wait "$window_job" || true
  fi
}
# $1 as an extended regular expression that matches only itself.
literal() { printf '%s' "$1" | sed 's/[][\\.*^$()+?{}|]/\\&/g'; }

main="Tarnlog Entity Updater"
# The program file: nine icon images (48, 32, 16 px at 4, 24, 32 bits) and version 1.01.
x86_64-w64-mingw32-windres -i "$win_window" -O rc -o "$work/resources.rc"
icons=$(grep -c 'RT_ICON \*/' "$work/resources.rc" || true)
if [ "$icons" -eq 9 ] && grep -q 'VALUE "FileVersion", "1.01"' "$work/resources.rc" &&
  grep -q 'VALUE "ProductVersion", "1.01"' "$work/resources.rc"; then
  echo "program file: 9 icon images, version 1.01"
else
  echo "FAILED: the program file has $icons icon images, or not version 1.01"
  failed=1
fi

start_window
if wait_for '^window "Tarnlog Entity Updater" '; then
  # 5505 x 3075 twips at 120 dpi; the controls in tab order, Cancel holding the focus.
  cat >"$work/expected" <<'LISTING'
window "Tarnlog Entity Updater" client 459x256 closebox
  Button "Cancel" 370,210 81x31 tabstop default focus
  Button "Start" 280,210 81x31 tabstop
  Static "This program updates Tarnlog for the new entities of Curacao, Sint Maarten. Saba and St. Eustatius, and Bonaire." 20,20 431x41
  Static "It then checks your log for PJ contacts on or after 10/10/2010 and makes any required changes to the DXCC Reference Numbers." 20,70 431x41
  Static "Back up your logbook and the file named BandPlan.mdb before proceeding.  These files are located in:" 20,120 431x41
  Static "My Documents\BRAEWICK\Tarnlog\Databases" 50,170 381x31
LISTING
  compare "the window as it opens" "$work/expected" "$work/listing"
  check_labels window
  # Tab goes to Start and round to Cancel; the labels take no focus.
  press "$main" Tab && wait_for '^  Button "Start" .* focus$' &&
    press "$main" Tab && wait_for '^  Button "Cancel" .* focus$' &&
    press "$main" Tab && wait_for '^  Button "Start" .* focus$' && echo "tab order: Cancel, Start"

  # Enter on Start asks; Esc answers Cancel, and nothing is written.
  press "$main" Return
  if wait_for '^window "Tarnlog" '; then
    check_box "Have you backed up your logbook and BandPlan.mdb?" "&Yes,&No,Cancel" owned
    grep -q '^window "Tarnlog Entity Updater" .* disabled$' "$work/listing" ||
      { echo "FAILED: the window takes input while the box stands"; failed=1; }
    shot question
  fi
  press Tarnlog Escape
  wait_for -v '^window "Tarnlog" ' || true
  if cmp -s "$bandplan_unix" "$fixtures/jet4/bandplan.mdb" && cmp -s "$logbook_unix" "$fixtures/jet4/logbook.mdb"; then
    echo "answered Cancel: nothing written"
  else
    echo "FAILED: answering Cancel wrote"
    failed=1
  fi

  # Space on Start asks again; Enter answers Yes, the default. The reports follow one by one,
  # each dismissed by Esc, with the console program's texts in its order.
  press "$main" space
  wait_for '^window "Tarnlog" ' && check_box "Have you backed up your logbook and BandPlan.mdb?" "&Yes,&No,Cancel" owned
  press Tarnlog Return
  n=0
  while IFS= read -r report; do
    n=$((n + 1))
    wait_for "^  Static \"$(literal "$report")\"" && check_box "$report" "OK" owned
    shot "report-$n"
    press Tarnlog Escape
    wait_for -v "^  Static \"$(literal "$report")\"" || true
  done < <(tail -n +2 "$work/console-run.out")
  [ "$n" -eq 2 ] || { echo "FAILED: the console program's run gave $n reports"; failed=1; }
  # Back at the window, the focus where it was. Esc does nothing there; the close box ends the
  # program (Alt+F4 is the key for it).
  wait_for '^  Button "Start" .* focus$' || true
  press "$main" Escape
  sleep 2
  if [ -s "$work/window.status" ] || ! wait_for '^window "Tarnlog Entity Updater" '; then
    echo "FAILED: Esc ended the program"
    failed=1
  else
    echo "Esc: the window stays"
  fi
  press "$main" alt+F4
  wait_end 0
  for db in bandplan.mdb logbook.mdb; do
    f=$bandplan_unix
    [ "$db" = logbook.mdb ] && f=$logbook_unix
    dump "$f" >"$work/window.dump"
    compare "contents of $db after the window's run and after the console program's" \
      "$work/console-$db.dump" "$work/window.dump"
    "$host_jet" check "$f" >/dev/null || failed=1
  done
fi

# At 96 dpi the labels keep to their lines too.
"$wine" reg add 'HKCU\Control Panel\Desktop' /v LogPixels /t REG_DWORD /d 96 /f >/dev/null
wineserver -w
start_window
if wait_for '^window "Tarnlog Entity Updater" client 367x205 '; then
  check_labels window-96dpi
  press "$main" alt+F4
fi
wait_end 0
"$wine" reg add 'HKCU\Control Panel\Desktop' /v LogPixels /t REG_DWORD /d 120 /f >/dev/null
wineserver -w

# A logbook that is not there fails the run after the band plan's report: the run-time error
# report over the window, then the end.
echo "== The window: run-time error reports"
"$wine" reg add 'HKCU\Software\VB and VBA Program Settings\Tarnlog\Settings' /v Logbook /t REG_SZ \
  /d 'C:\missing\logbook.mdb' /f >/dev/null
start_window
if wait_for '^window "Tarnlog Entity Updater" '; then
  press "$main" Tab
  wait_for '^  Button "Start" .* focus$' && press "$main" Return
  wait_for '^window "Tarnlog" ' && press Tarnlog Return
  wait_for '^  Static "PJ Entities ' && press Tarnlog Escape
  wait_for "^  Static \"Run-time error " &&
    check_box "Run-time error '3024':\n\nCould not find file 'C:\missing\logbook.mdb'." "OK" owned
  shot error-report-run
  press Tarnlog Escape
fi
wait_end 1

# Without a band plan the load step fails: the run-time error report, alone, then the end.
rm "$bandplan_unix"
start_window
if wait_for '^window "Tarnlog" '; then
  check_box "Run-time error '3024':\n\nCould not find file '$win_docs\\BRAEWICK\\Tarnlog\\databases\\bandplan.mdb'." "OK"
  grep -q '^window "Tarnlog Entity Updater"' "$work/listing" && { echo "FAILED: the window opened"; failed=1; }
  shot error-report
fi
press Tarnlog Escape
wait_end 1
echo "screenshots: $shots"

if [ "$failed" -ne 0 ]; then
  echo "test-windows: FAILED (see above)" >&2
  exit 1
fi
echo "test-windows: all passed"
