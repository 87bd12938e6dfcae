#!/usr/bin/env bash
# Installs what is missing, builds, and starts the Tarnlog Entity Updater.
# Where no Tarnlog installation is found, it starts on a demo sandbox with generated databases.
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)

"$here/scripts/install-packages.sh" cmake ninja-build g++ libgtest-dev qt6-base-dev

cmake -S "$here" -B "$here/build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$here/build" --target tarnlog-entity-updater tarnlog-gen

prefix="${WINEPREFIX:-$HOME/.wine}"
if [ -f "$prefix/user.reg" ] && grep -q 'VB and VBA Program Settings\\\\Tarnlog\\\\Settings' "$prefix/user.reg"; then
  echo "Tarnlog found in $prefix"
else
  prefix="$here/build/demo-prefix"
  echo "No Tarnlog installation found: starting on the demo sandbox in $prefix"
  "$here/scripts/make-demo-prefix.sh" "$prefix" "$here/build/tools/gen/tarnlog-gen"
fi
WINEPREFIX="$prefix" exec "$here/build/src/app/qt/tarnlog-entity-updater"
