-- vimfiles.lua: the Vim/Neovim files of editors/vim: file-type detection,
-- syntax groups, and the ftplugin that starts tavo-lsp in Neovim's client.
-- Run headless with editors/vim first in 'runtimepath', TAVO_LSP and
-- TAVO_DIR set; ends with status 0 when every check holds.
local failures = 0
local function check(ok, what)
  io.stdout:write((ok and 'ok: ' or 'FAIL: ') .. what .. '\n')
  if not ok then failures = failures + 1 end
end

vim.g.tavo_lsp_cmd = { os.getenv('TAVO_LSP') }
vim.cmd('filetype plugin on')
vim.cmd('syntax on')
vim.cmd('edit ' .. os.getenv('TAVO_DIR') .. '/bad/o.src')
check(vim.bo.filetype == 'tavo', 'o.src is a tavo file')
local function group(l, c) return vim.fn.synIDattr(vim.fn.synID(l, c, 1), 'name') end
check(group(1, 1) == 'tavoType', 'var is a type: ' .. group(1, 1))
check(group(2, 1) == 'tavoFunc' and group(2, 6) == 'tavoFunctionName', 'func and its name')
check(vim.bo.commentstring == '// %s', 'comments are //')
vim.wait(5000, function() return #vim.diagnostic.get(0) > 0 end, 20)
check(#vim.diagnostic.get(0) == 1, 'the ftplugin started tavo-lsp: its diagnostic came')

vim.cmd('edit ' .. os.getenv('TAVO_DIR') .. '/sample.tavo')
check(vim.bo.filetype == 'tavo', '*.tavo is a tavo file')
check(group(2, 1) == 'tavoDirective' and group(2, 17) == 'tavoNumber', 'a directive and a hex number')
check(group(7, 16) == 'tavoNumber', 'a binary number')

io.stdout:write(failures == 0 and 'all checks passed\n' or (failures .. ' checks failed\n'))
vim.cmd(failures == 0 and 'qa!' or 'cquit 1')
