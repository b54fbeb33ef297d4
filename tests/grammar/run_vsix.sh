#!/usr/bin/env bash
# run_vsix.sh TOOLS_DIR SOURCE_DIR OUT: packs the VS Code extension into
# OUT/tavo.vsix with @vscode/vsce and checks that the package holds the
# manifest, the client, the grammar and the client library. Skipped (77)
# when vsce or the extension's dependencies could not be installed.
set -u
tools=$1
ext=$2/editors/vscode
out=$3
vsce=$tools/node_modules/.bin/vsce
[ -x "$vsce" ] || { echo "vsce not installed (npm unreachable?): skipped"; exit 77; }
[ -d "$ext/node_modules/vscode-languageclient" ] || { echo "extension dependencies not installed: skipped"; exit 77; }
command -v python3 >/dev/null || { echo "python3 missing: skipped"; exit 77; }
mkdir -p "$out"
rm -f "$out/tavo.vsix"
(cd "$ext" && "$vsce" package --skip-license --allow-missing-repository --out "$out/tavo.vsix") || exit 1
list=$(python3 -m zipfile -l "$out/tavo.vsix") || exit 1
fail=0
for f in extension/package.json extension/extension.js extension/language-configuration.json \
         extension/syntaxes/tavo.tmLanguage.json extension/node_modules/vscode-languageclient/node.js; do
  grep -q "^$f " <<<"$list" || { echo "FAIL: $f not in the package"; fail=1; }
done
[ $fail -eq 0 ] && echo "ok: $out/tavo.vsix"
exit $fail
