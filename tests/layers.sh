#!/usr/bin/env bash
# Holds the folders of src/ to one direction: no two of them include each other,
# directly or through others; base/ includes nothing of ours and audio/ only base/;
# the toolkit is included only by the front ends and the qt/ folders.
# Usage: layers.sh SRC_DIR        Exit 0 when every rule holds, 1 with the faults listed.
set -u
src=${1:?usage: layers.sh SRC_DIR}
cd "$src" || exit 2

edges=$(grep -rEo --include='*.h' --include='*.cpp' '^#include "[a-z_]+/' . |
  sed -E 's#^\./([^/:]+)[^:]*:\#include "([a-z_]+)/#\1 \2#' | awk '$1 != $2' | sort -u)

faults=$(awk -v allowed_base="" '
  { from[NR] = $1; to[NR] = $2; reach[$1, $2] = 1; node[$1]; node[$2] }
  END {
    for (k in node) for (i in node) if ((i, k) in reach) for (j in node)
      if ((k, j) in reach) reach[i, j] = 1
    for (n = 1; n <= NR; n++) {
      a = from[n]; b = to[n]
      if ((b, a) in reach) print a " and " b " include each other"
      if (a == "base") print "base includes " b
      if (a == "audio" && b != "base") print "audio includes " b
    }
  }' <<<"$edges" | sort -u)

qt=$(grep -rlE --include='*.h' --include='*.cpp' '^#include <Q' . |
  grep -vE '^\./(ui|cli|manual)/|/qt/' | sed 's#^\./#toolkit in #')

all=$(printf '%s\n%s\n' "$faults" "$qt" | sed '/^$/d')
if [ -n "$all" ]; then
  echo "$all"
  exit 1
fi
echo "layers: $(wc -l <<<"$edges") folder links, one direction"
