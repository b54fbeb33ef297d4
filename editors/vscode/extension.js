// The client: starts tavo-lsp for Tavo documents and tells it when the
// function files beside them ("o.fun", "Include/") change.
const { workspace } = require('vscode');
const { LanguageClient } = require('vscode-languageclient/node');

let client;

function activate() {
  const command = workspace.getConfiguration('tavo').get('server.path') || 'tavo-lsp';
  client = new LanguageClient('tavo', 'Tavo', { command }, {
    documentSelector: [{ scheme: 'file', language: 'tavo' }, { scheme: 'untitled', language: 'tavo' }],
    synchronize: { fileEvents: workspace.createFileSystemWatcher('**/{o.fun,Include/**}') },
  });
  return client.start();
}

function deactivate() {
  return client ? client.stop() : undefined;
}

module.exports = { activate, deactivate };
