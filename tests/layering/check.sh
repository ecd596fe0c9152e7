#!/usr/bin/env bash
# Checks that the subsystems include each other only downward: a subsystem may include itself
# and the ones listed before it (the order of NYCL_SUBSYSTEMS in the top-level CMakeLists.txt).
# Usage: check.sh SOURCE_DIR "base cache net res widgets state command session"
set -euo pipefail
root=$1
read -r -a order <<<"$2"
failed=0
for ((i = 0; i < ${#order[@]}; i++)); do
  sub=${order[i]}
  allowed=" ${order[*]:0:i+1} "
  while IFS= read -r hit; do
    file=${hit%%:*}
    used=$(sed -E 's/.*#include "(nycl\/)?([a-z]+)\/.*/\2/' <<<"${hit#*:}")
    # Only subsystem folders count; private folders of the same subsystem are fine.
    [[ " ${order[*]} " == *" $used "* ]] || continue
    if [[ "$allowed" != *" $used "* ]]; then
      echo "layering: $file (subsystem $sub) includes $used"
      failed=1
    fi
  done < <(grep -rHE '#include "(nycl/)?[a-z]+/' "$root/src/$sub" "$root/include/nycl/$sub" 2>/dev/null || true)
done
exit $failed
