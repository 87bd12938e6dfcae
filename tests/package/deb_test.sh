#!/usr/bin/env bash
# Builds the Debian package from a build folder, checks it with lintian, installs it into a
# scratch root, runs the installed console program on a sandbox Wine prefix (found as a CrossOver
# bottle, without WINEPREFIX), then removes it and checks that nothing of it is left.
# Usage: deb_test.sh BUILD_DIR FIXTURES_DIR. Exit status 77: a tool it needs is missing.
set -euo pipefail
build=$1
fixtures=$2
for tool in cpack dpkg dpkg-deb dpkg-shlibdeps; do
  command -v "$tool" >/dev/null || { echo "SKIP: $tool is not installed"; exit 77; }
done
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }

cpack -G DEB --config "$build/CPackConfig.cmake" -B "$scratch/pkg" >"$scratch/cpack.log" 2>&1 ||
  { cat "$scratch/cpack.log"; fail "cpack"; }
deb="$scratch/pkg/tarnlog-entity-updater_1.01_amd64.deb"
[ -f "$deb" ] || fail "no $deb"
contents=$(dpkg-deb -c "$deb")
for f in usr/bin/tarnlog-entity-update usr/bin/tarnlog-entity-updater usr/bin/jet \
  usr/share/applications/tarnlog-entity-updater.desktop \
  usr/share/man/man1/tarnlog-entity-update.1.gz usr/share/man/man1/jet.1.gz \
  usr/share/doc/tarnlog-entity-updater/copyright; do
  grep -q " \./$f\$" <<<"$contents" || fail "the package lacks $f"
done
for size in 16 32 48 64 128 256; do
  grep -q "hicolor/${size}x${size}/apps/tarnlog-entity-updater.png\$" <<<"$contents" || fail "no ${size}px icon"
done
grep -q '^ Depends: .*libqt6widgets6' <(dpkg-deb -I "$deb") || fail "no dependencies worked out"
if command -v lintian >/dev/null; then
  lintian "$deb" >"$scratch/lintian.log" 2>/dev/null || true
  if grep '^E:' "$scratch/lintian.log"; then fail "lintian reports errors"; fi
else
  echo "lintian is not installed: not checked"
fi

# Installed into a scratch root with its own package database.
root="$scratch/root"
mkdir -p "$root/var/lib/dpkg/info" "$root/var/lib/dpkg/updates"
touch "$root/var/lib/dpkg/status"
dpkg --root="$root" --force-depends --force-script-chrootless -i "$deb" >"$scratch/dpkg.log" 2>&1 ||
  { cat "$scratch/dpkg.log"; fail "dpkg -i"; }
if ldd "$root/usr/bin/tarnlog-entity-updater" | grep 'not found'; then fail "the window lacks a library"; fi

# A home with a CrossOver bottle that holds Tarnlog's setting, the band plan and the logbook.
home="$scratch/home"
bottle="$home/.cxoffice/Tarnlog"
docs="$bottle/drive_c/users/bob/Documents/BRAEWICK/Tarnlog/databases"
mkdir -p "$docs" "$bottle/dosdevices"
ln -s ../drive_c "$bottle/dosdevices/c:"
cp "$fixtures/jet4/bandplan.mdb" "$docs/bandplan.mdb"
cp "$fixtures/jet4/logbook.mdb" "$docs/logbook.mdb"
cat >"$bottle/user.reg" <<'REG'
WINE REGISTRY Version 2

[Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders] 1700000000
"Personal"="C:\\users\\bob\\Documents"

[Software\\VB and VBA Program Settings\\Tarnlog\\Settings] 1700000000
"Logbook"="C:\\users\\bob\\Documents\\BRAEWICK\\Tarnlog\\databases\\logbook.mdb"
REG
out=$(env -u WINEPREFIX -u XDG_DATA_HOME -u XDG_CONFIG_HOME HOME="$home" "$root/usr/bin/tarnlog-entity-update" --yes) ||
  fail "the installed program: $out"
expected="Have you backed up your logbook and BandPlan.mdb? Yes
PJ Entities have been checked and changed where necessary.
68 PJ logbook records have been updated."
[ "$out" = "$expected" ] || fail "the installed program said: $out"
for db in bandplan logbook; do
  "$root/usr/bin/jet" check "$docs/$db.mdb" >/dev/null || fail "jet check $db"
done
count=$("$root/usr/bin/jet" sql "$docs/logbook.mdb" "SELECT ID FROM MainLog WHERE DXCC >= 517 AND DXCC <= 520" | tail -n +2 | wc -l)
[ "$count" = 68 ] || fail "$count contacts on the new entities"

# Removed again: only the package database's own files are left.
dpkg --root="$root" --force-script-chrootless --purge tarnlog-entity-updater >>"$scratch/dpkg.log" 2>&1 ||
  { cat "$scratch/dpkg.log"; fail "dpkg --purge"; }
left=$(cd "$root" && find . -mindepth 1 -not -path './var' -not -path './var/lib' -not -path './var/lib/dpkg*')
[ -z "$left" ] || fail "left behind after removal: $left"
echo "ok: the package builds, passes lintian, installs, updates a sandbox and leaves nothing behind"
