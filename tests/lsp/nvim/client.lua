-- client.lua: Neovim's own LSP client drives tavo-lsp. Run headless with
-- TAVO_LSP (the server) and TAVO_DIR (a copy of this folder) set; ends
-- with status 0 when every check holds.
local lsp_cmd, dir = os.getenv('TAVO_LSP'), os.getenv('TAVO_DIR')
local failures = 0

local function check(ok, what)
  io.stdout:write((ok and 'ok: ' or 'FAIL: ') .. what .. '\n')
  if not ok then failures = failures + 1 end
end

local client_id = vim.lsp.start_client({ name = 'tavo', cmd = { lsp_cmd }, root_dir = dir })
check(client_id ~= nil, 'the server starts')
local client = vim.lsp.get_client_by_id(client_id)

local function open(path)
  vim.cmd('edit ' .. path)
  local buf = vim.api.nvim_get_current_buf()
  vim.lsp.buf_attach_client(buf, client_id)
  return buf
end

local function request(buf, method, line, character, extra)
  local params = { textDocument = { uri = vim.uri_from_bufnr(buf) }, position = { line = line, character = character } }
  for k, v in pairs(extra or {}) do params[k] = v end
  local answer = client.request_sync(method, params, 5000, buf)
  return answer and answer.result, answer and answer.err
end

-- A program with an error: its diagnostic comes at the name's range.
local bad = open(dir .. '/bad/o.src')
vim.wait(5000, function() return #vim.diagnostic.get(bad) > 0 end, 20)
local d = vim.diagnostic.get(bad)
check(#d == 1, 'one diagnostic for the bad program')
if d[1] then
  check(d[1].lnum == 2 and d[1].col == 11 and d[1].end_col == 15, 'at line 3, columns 12 to 15 (totl): '
    .. d[1].lnum .. ':' .. d[1].col .. '-' .. d[1].end_col)
  check(d[1].message == 'undefined variable or function', 'its message: ' .. d[1].message)
  check(d[1].severity == vim.diagnostic.severity.ERROR, 'an error')
end

-- A correct program: what the index says.
local buf = open(dir .. '/prog/o.src')
vim.wait(5000, function() return client.initialized end, 20)
vim.wait(200)
check(#vim.diagnostic.get(buf) == 0, 'no diagnostic for the correct program')

local hover = request(buf, 'textDocument/hover', 5, 15)   -- N in t := a + b + N + M
check(hover and hover.contents.value:find('constant 5 %(0x5%)') ~= nil, 'hover on N gives its value')
hover = request(buf, 'textDocument/hover', 14, 3)   -- textout
check(hover and hover.contents.value:find('number %-11, 3 arguments, returns a value; declared in Include/lcd.txt line 3') ~= nil,
  'hover on textout gives its number, arguments and file')

local def = request(buf, 'textDocument/definition', 6, 9)   -- t in return t
def = def and (def[1] or def)
check(def and def.range.start.line == 4 and def.range.start.character == 6, 'definition of t: line 5')
def = request(buf, 'textDocument/definition', 11, 3)   -- clear
def = def and (def[1] or def)
check(def and def.uri:match('/prog/Include/lcd.txt$') and def.range.start.line == 1, 'definition of clear: its function file')

local refs = request(buf, 'textDocument/references', 2, 4, { context = { includeDeclaration = true } })
check(refs and #refs == 2, 'references of g: its definition and one use')

local items = request(buf, 'textDocument/completion', 15, 2)
local labels = {}
for _, item in ipairs(items and (items.items or items) or {}) do labels[item.label] = item end
check(labels['textout'] and labels['textout'].detail == 'textout(x, y, s)', 'completion: platform function with its arguments')
check(labels['i'] and labels['while'] and labels['LCDW'] and not labels['t'], 'completion: locals of main, words, constants')

local sig = request(buf, 'textDocument/signatureHelp', 14, 13)
check(sig and sig.signatures[1].label == 'textout(x, y, s)' and sig.activeParameter == 1, 'signature help: second argument')

local edit = request(buf, 'textDocument/rename', 4, 6, { newName = 'total' })
check(edit ~= nil, 'rename of t answered')
if edit then
  vim.lsp.util.apply_workspace_edit(edit, 'utf-16')
  local lines = vim.api.nvim_buf_get_lines(buf, 4, 7, false)
  check(lines[1] == '  var total;' and lines[2] == '  total := a + b + N + M;' and lines[3] == '  return total;',
    'rename applied: ' .. table.concat(lines, ' | '))
end
local _, err = request(buf, 'textDocument/rename', 3, 14, { newName = 'b' })
check(err ~= nil and err.message:find('already defined') ~= nil, 'rename onto another argument refused')

vim.lsp.stop_client(client_id)
io.stdout:write(failures == 0 and 'all checks passed\n' or (failures .. ' checks failed\n'))
vim.cmd(failures == 0 and 'qa!' or 'cquit 1')
