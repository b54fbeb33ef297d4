#!/usr/bin/env bash
# run.sh TAVO_LSP: Neovim (headless, its own LSP client) against tavo-lsp on
# a copy of this folder, then the files of editors/vim. Skipped (77) where nvim is not installed.
set -u
lsp=$1
here=$(cd "$(dirname "$0")" && pwd)
command -v nvim >/dev/null || { echo "nvim not installed: skipped"; exit 77; }
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cp -R "$here/prog" "$here/bad" "$work/"
cp "$here/../../grammar/sample.tavo" "$work/"
TAVO_LSP=$lsp TAVO_DIR=$work timeout 120 nvim --headless --clean -n -c "luafile $here/client.lua" 2>&1
status=$?
# The files of editors/vim, as a user installs them.
vimfiles=$(cd "$here/../../../editors/vim" && pwd)
TAVO_LSP=$lsp TAVO_DIR=$work timeout 120 nvim --headless --clean -n --cmd "set rtp^=$vimfiles" \
  -c "luafile $here/vimfiles.lua" 2>&1 || status=1
[ -e "$work/prog/o.err" ] && { echo "FAIL: the server wrote beside the document"; exit 1; }
exit $status
