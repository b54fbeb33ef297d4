#!/usr/bin/env bash
# run_grammar.sh TOOLS_DIR SOURCE_DIR: the TextMate grammar on the sample
# file, each token against the scope its assertion line names
# (vscode-tmgrammar-test from npm, installed into TOOLS_DIR by .ci/run).
# Skipped (77) when the tool could not be installed.
set -u
tools=$1
src=$2
test=$tools/node_modules/.bin/vscode-tmgrammar-test
[ -x "$test" ] || { echo "vscode-tmgrammar-test not installed (npm unreachable?): skipped"; exit 77; }
"$test" -g "$src/editors/vscode/syntaxes/tavo.tmLanguage.json" "$src/tests/grammar/*.tavo"
