// extension.test.js (node --test): the VS Code extension's manifest and its
// client, with the editor's API and the client library stood in for.
'use strict';
const test = require('node:test');
const assert = require('node:assert');
const fs = require('node:fs');
const path = require('node:path');
const Module = require('node:module');

const ext = path.join(__dirname, '..', '..', 'editors', 'vscode');
const manifest = JSON.parse(fs.readFileSync(path.join(ext, 'package.json'), 'utf8'));

test('the manifest names the language, its files and its grammar', () => {
  const lang = manifest.contributes.languages[0];
  assert.strictEqual(lang.id, 'tavo');
  assert.deepStrictEqual(lang.filenames, ['o.src']);
  assert.deepStrictEqual(lang.extensions, ['.tavo']);
  const config = JSON.parse(fs.readFileSync(path.join(ext, lang.configuration), 'utf8'));
  assert.strictEqual(config.comments.lineComment, '//');
  assert.deepStrictEqual(config.comments.blockComment, ['/*', '*/']);
  const grammar = manifest.contributes.grammars[0];
  assert.strictEqual(grammar.language, 'tavo');
  const tm = JSON.parse(fs.readFileSync(path.join(ext, grammar.path), 'utf8'));
  assert.strictEqual(tm.scopeName, grammar.scopeName);
});

test('activation starts tavo-lsp for tavo documents, as configured', async () => {
  const started = [];
  class LanguageClient {
    constructor(id, name, server, options) { Object.assign(this, { id, name, server, options }); }
    start() { started.push(this); return Promise.resolve(); }
    stop() { this.stopped = true; return Promise.resolve(); }
  }
  let serverPath = '/opt/tavo/bin/tavo-lsp';
  const vscode = {
    workspace: {
      getConfiguration: (section) => ({ get: (key) => (section === 'tavo' && key === 'server.path' ? serverPath : undefined) }),
      createFileSystemWatcher: (glob) => ({ glob }),
    },
  };
  const load = Module._load;
  Module._load = function (request, ...rest) {
    if (request === 'vscode') return vscode;
    if (request === 'vscode-languageclient/node') return { LanguageClient };
    return load.call(this, request, ...rest);
  };
  try {
    const extension = require(path.join(ext, manifest.main));
    await extension.activate();
    assert.strictEqual(started.length, 1);
    const client = started[0];
    assert.strictEqual(client.server.command, '/opt/tavo/bin/tavo-lsp');
    assert.ok(client.options.documentSelector.some((s) => s.language === 'tavo' && s.scheme === 'file'));
    assert.match(client.options.synchronize.fileEvents.glob, /o\.fun/);
    await extension.deactivate();
    assert.ok(client.stopped);
    serverPath = '';   // no setting: the server on PATH
    await extension.activate();
    assert.strictEqual(started[1].server.command, 'tavo-lsp');
  } finally {
    Module._load = load;
  }
});
