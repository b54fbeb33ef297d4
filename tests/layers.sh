#!/usr/bin/env bash
# Each folder of src/ is one layer and includes only from its own layer and
# those below it: base, front, codegen, directives, compiler, output, driver,
# entry. Prints every include that points up and fails if there is one.
set -u
src=${1:?usage: layers.sh SRC_DIR}
order=(base front codegen directives compiler output driver entry)
rank() { local i; for i in "${!order[@]}"; do [ "${order[$i]}" = "$1" ] && echo "$i" && return; done; echo 99; }
bad=0
for file in "$src"/*/*; do
  layer=$(basename "$(dirname "$file")")
  mine=$(rank "$layer")
  [ "$mine" = 99 ] && { echo "layers.sh: $layer is not a known layer"; bad=1; continue; }
  while read -r used; do
    if [ "$(rank "$used")" -gt "$mine" ]; then
      echo "${file#"$src"/} includes $used/, a layer above it"
      bad=1
    fi
  done < <(sed -n 's|^#include "\([a-z]*\)/.*|\1|p' "$file")
done
exit $bad
