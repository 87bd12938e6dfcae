#!/usr/bin/env bash
# Checks that includes run downward only: each folder of src/ may include its own headers and
# those of the folders below it, never those of a folder above it or beside it.
set -euo pipefail
cd "$(dirname "$0")/.."

# Folder and level, lowest first. Folders on one level are siblings and may not include each other.
levels='
jet/base 0
jet/os 1
jet/pager 2
jet/format 3
jet/index 4
jet/database 5
jet/write 6
jet/check 7
db 10
updates 15
bandplan 20
logbook 20
app/platform 30
app 31
app/console 40
app/qt 40
app/win32 40
'

git ls-files 'src/*.h' 'src/*.cc' 'src/*.cpp' | xargs awk -v levels="$levels" '
  BEGIN {
    n = split(levels, line, "\n")
    for (i = 1; i <= n; i++) if (split(line[i], f, " ") == 2) level[f[1]] = f[2]
  }
  # The folder of the table that a path lies in: the longest that is a prefix of it.
  function folderOf(path,    f, best) {
    best = ""
    for (f in level) if (index(path, f "/") == 1 && length(f) > length(best)) best = f
    return best
  }
  FNR == 1 {
    rel = substr(FILENAME, 5)
    from = folderOf(rel)
    if (from == "") { print FILENAME ": its folder has no level in scripts/check-layers.sh"; bad = 1 }
  }
  /^[ \t]*#[ \t]*include[ \t]*"/ && from != "" {
    inc = $0
    sub(/^[^"]*"/, "", inc); sub(/".*$/, "", inc)
    to = folderOf(inc)
    if (to == "" || to == from) next
    if (level[to] >= level[from]) {
      print FILENAME " (" from ") includes " inc " (" to "): not below it"
      bad = 1
    }
  }
  END {
    if (bad) { print "check-layers: includes that run the wrong way (see above)" > "/dev/stderr"; exit 1 }
    print "check-layers: every include runs downward"
  }'
