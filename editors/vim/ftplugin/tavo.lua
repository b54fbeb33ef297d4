-- Neovim: tavo-lsp for Tavo buffers, in Neovim's own LSP client. The
-- server reads o.fun and Include/ from the buffer's folder.
local cmd = vim.g.tavo_lsp_cmd or { 'tavo-lsp' }
if vim.fn.executable(cmd[1]) == 0 then return end
local root = vim.fn.fnamemodify(vim.api.nvim_buf_get_name(0), ':p:h')
if vim.lsp.start then   -- Neovim 0.8 and later
  vim.lsp.start({ name = 'tavo-lsp', cmd = cmd, root_dir = root })
else
  local id = vim.lsp.start_client({ name = 'tavo-lsp', cmd = cmd, root_dir = root })
  if id then vim.lsp.buf_attach_client(0, id) end
end
