#!/usr/bin/env bash
# Installs what is missing, builds, and starts the Tarnlog Entity Updater.
# Where no Tarnlog installation is found, it starts on a demo sandbox with generated databases.
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)

"$here/scripts/install-packages.sh" cmake ninja-build g++ libgtest-dev qt6-base-dev

cmake -S "$here" -B "$here/build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$here/build" --target tarnlog-entity-updater tarnlog-entity-update tarnlog-gen

# The same search for Tarnlog's Wine prefix as the program's own, through the console program.
errors=$(mktemp)
trap 'rm -f "$errors"' EXIT
if "$here/build/src/app/console/tarnlog-entity-update" --list-prefixes 2>"$errors"; then
  exec "$here/build/src/app/qt/tarnlog-entity-updater"
fi
if ! grep -q '^Run-time error 3024: Could not find Tarnlog' "$errors"; then
  cat "$errors" >&2  # several prefixes hold Tarnlog, or one cannot be read: the user chooses
  exit 1
fi
prefix="$here/build/demo-prefix"
"$here/scripts/make-demo-prefix.sh" "$prefix" "$here/build/tools/gen/tarnlog-gen"
echo
echo "################################################################################"
echo "#  NO TARNLOG FOUND: starting on the DEMO SANDBOX in $prefix"
echo "#  (generated files; your own band plan and logbook are NOT updated)"
echo "################################################################################"
echo
WINEPREFIX="$prefix" exec "$here/build/src/app/qt/tarnlog-entity-updater"
