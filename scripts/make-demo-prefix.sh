#!/usr/bin/env bash
# Builds a Wine-like prefix holding a generated band plan and logbook, and the logbook setting,
# the way a Tarnlog installation under Wine lays them out. Usage: make-demo-prefix.sh PREFIX GENERATOR
set -euo pipefail
prefix=$1
gen=$2
user=${USER:-demo}
docs="$prefix/drive_c/users/$user/Documents"
dbdir="$docs/BRAEWICK/Tarnlog/databases"
mkdir -p "$dbdir" "$prefix/dosdevices"
ln -sfn ../drive_c "$prefix/dosdevices/c:"
[ -f "$dbdir/bandplan.mdb" ] || "$gen" bandplan "$dbdir/bandplan.mdb"
[ -f "$dbdir/logbook.mdb" ] || "$gen" logbook "$dbdir/logbook.mdb" --contacts 5000
cat > "$prefix/user.reg" <<REG
WINE REGISTRY Version 2
;; All keys relative to \\\\User\\\\S-1-5-21-0-0-0-1000

#arch=win64

[Software\\\\Microsoft\\\\Windows\\\\CurrentVersion\\\\Explorer\\\\Shell Folders] 1700000000
"Personal"="C:\\\\users\\\\$user\\\\Documents"

[Software\\\\VB and VBA Program Settings\\\\Tarnlog\\\\Settings] 1700000000
"Logbook"="C:\\\\users\\\\$user\\\\Documents\\\\BRAEWICK\\\\Tarnlog\\\\databases\\\\logbook.mdb"
REG
