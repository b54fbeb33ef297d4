// server.cpp: the messages of the protocol: the lifecycle, documents and
// their diagnostics. The answers about names are in features.cpp.
#include <climits>

#include "lsp.h"

namespace tavolsp {

namespace {

// Severity of each kind of diagnostic: one line per kind.
const std::map<int, int> kSeverity = {
    {TAVO_ERROR, 1},      // Error
    {TAVO_WARNING, 2},    // Warning
    {TAVO_LINT, 2},       // Warning
    {TAVO_LINT_NOTE, 3},  // Information
};

json errorAnswer(const json& id, int code, const std::string& message) {
  return {{"jsonrpc", "2.0"}, {"id", id}, {"error", {{"code", code}, {"message", message}}}};
}

}  // namespace

// An integer field of the protocol, checked: a client's bad number is an
// invalid parameter, never an overflow.
int intField(const json& j, const char* key) {
  const json& v = j.at(key);
  if (!v.is_number_integer())
    throw RpcError{INVALID_PARAMS, std::string(key) + " must be an integer"};
  if (v.is_number_unsigned())
    return static_cast<int>(std::min<uint64_t>(v.get<uint64_t>(), INT_MAX));
  int64_t n = v.get<int64_t>();
  return static_cast<int>(std::clamp<int64_t>(n, 0, INT_MAX));
}

bool Server::receive(const std::string& body) {
  json msg = json::parse(body, nullptr, false);
  if (msg.is_discarded()) {
    send_(errorAnswer(nullptr, PARSE_ERROR, "the message is not JSON"));
    return true;
  }
  if (msg.is_object() && !msg.contains("method") &&
      (msg.contains("result") || msg.contains("error")))
    return true;  // an answer to a request of ours: none is awaited
  bool request = msg.is_object() && msg.contains("id");
  json id = request ? msg["id"] : json(nullptr);
  if (!msg.is_object() || !msg.contains("method") || !msg["method"].is_string() ||
      (request && !id.is_number_integer() && !id.is_string())) {
    send_(errorAnswer(request && (id.is_number_integer() || id.is_string()) ? id : json(nullptr),
                      INVALID_REQUEST, "not a JSON-RPC request or notification"));
    return true;
  }
  std::string method = msg["method"];
  if (method == "exit") return false;
  json params = msg.contains("params") ? msg["params"] : json::object();
  try {
    if (!initialized_ && method != "initialize")
      throw RpcError{SERVER_NOT_INITIALIZED, "not initialized"};
    if (shutdown_) throw RpcError{INVALID_REQUEST, "the server is shutting down"};
    if (!params.is_object() && !params.is_array())
      throw RpcError{INVALID_PARAMS, "params must be structured"};
    json result = dispatch(method, params);
    if (request) send_({{"jsonrpc", "2.0"}, {"id", id}, {"result", result}});
  } catch (const RpcError& e) {
    if (request) send_(errorAnswer(id, e.code, e.message));
  } catch (const json::exception& e) {
    if (request) send_(errorAnswer(id, INVALID_PARAMS, e.what()));
  } catch (const std::exception& e) {
    if (request) send_(errorAnswer(id, INTERNAL_ERROR, e.what()));
  }
  return true;
}

json Server::dispatch(const std::string& m, const json& p) {
  if (m == "initialize") return initialize(p);
  if (m == "initialized" || m == "$/cancelRequest" || m == "$/setTrace") return nullptr;
  if (m == "shutdown") {
    shutdown_ = true;
    return nullptr;
  }
  if (m == "textDocument/didOpen") return open(p), nullptr;
  if (m == "textDocument/didChange") return change(p), nullptr;
  if (m == "textDocument/didClose") return close(p), nullptr;
  if (m == "textDocument/didSave" || m == "workspace/didChangeWatchedFiles")
    return recompileAll(), nullptr;
  if (m == "textDocument/documentSymbol") return symbols(p);
  if (m == "textDocument/hover") return hover(p);
  if (m == "textDocument/definition") return definition(p);
  if (m == "textDocument/references") return references(p);
  if (m == "textDocument/completion") return completion(p);
  if (m == "textDocument/signatureHelp") return signatureHelp(p);
  if (m == "textDocument/rename") return rename(p);
  if (m == "textDocument/prepareRename") return prepareRename(p);
  throw RpcError{METHOD_NOT_FOUND, "unknown method " + m};
}

json Server::initialize(const json& params) {
  if (initialized_) throw RpcError{INVALID_REQUEST, "already initialized"};
  initialized_ = true;
  // Columns in bytes when the client takes them, else in UTF-16 units.
  json encodings =
      params.is_object()
          ? params.value("/capabilities/general/positionEncodings"_json_pointer, json::array())
          : json::array();
  utf16_ = true;
  for (const json& e : encodings)
    if (e == "utf-8") utf16_ = false;
  return {{"capabilities",
           {{"positionEncoding", utf16_ ? "utf-16" : "utf-8"},
            {"textDocumentSync", {{"openClose", true}, {"change", 1}, {"save", true}}},
            {"documentSymbolProvider", true},
            {"hoverProvider", true},
            {"definitionProvider", true},
            {"referencesProvider", true},
            {"completionProvider", {{"triggerCharacters", json::array()}}},
            {"signatureHelpProvider", {{"triggerCharacters", {"(", ","}}}},
            {"renameProvider", {{"prepareProvider", true}}}}},
          {"serverInfo", {{"name", "tavo-lsp"}, {"version", "0.1"}}}};
}

void Server::notify(const std::string& method, const json& params) {
  send_({{"jsonrpc", "2.0"}, {"method", method}, {"params", params}});
}

// ---------------------------------------------------------------------------
// Documents.

static void recompile(Document& doc, const std::string& uri) {
  doc.now = compile(doc.text.bytes(), folderOf(uri));
  if (doc.now.result && tavo_error_count(doc.now.result.get()) == 0) doc.good = doc.now;
}

void Server::open(const json& params) {
  const json& td = params.at("textDocument");
  std::string uri = td.at("uri").get<std::string>();
  Document& doc = docs_[uri];
  doc.text = Text(td.at("text").get<std::string>());
  doc.version = td.contains("version") ? intField(td, "version") : 0;
  recompile(doc, uri);
  publish(uri, doc);
}

// Whole texts, or ranges replaced, in the order given.
void Server::change(const json& params) {
  std::string uri = params.at("textDocument").at("uri").get<std::string>();
  Document& doc = document(params);
  for (const json& c : params.at("contentChanges")) {
    std::string text = c.at("text").get<std::string>();
    if (!c.contains("range")) {
      doc.text = Text(std::move(text));
      continue;
    }
    auto offset = [&](const json& pos) {
      auto [line, byte] = position(doc, pos);
      return doc.text.offset(line - 1, byte - 1);
    };
    size_t from = offset(c.at("range").at("start")), to = offset(c.at("range").at("end"));
    std::string bytes = doc.text.bytes();
    if (to < from) std::swap(from, to);
    bytes.replace(from, to - from, text);
    doc.text = Text(std::move(bytes));
  }
  recompile(doc, uri);
  publish(uri, doc);
}

void Server::close(const json& params) {
  std::string uri = params.at("textDocument").at("uri").get<std::string>();
  docs_.erase(uri);
  notify("textDocument/publishDiagnostics", {{"uri", uri}, {"diagnostics", json::array()}});
}

void Server::recompileAll() {
  for (auto& [uri, doc] : docs_) {
    recompile(doc, uri);
    publish(uri, doc);
  }
}

Document& Server::document(const json& params) {
  std::string uri = params.at("textDocument").at("uri").get<std::string>();
  auto it = docs_.find(uri);
  if (it == docs_.end()) throw RpcError{INVALID_PARAMS, "document not open: " + uri};
  return it->second;
}

std::pair<int, int> Server::position(const Document& doc, const json& pos) const {
  int line = std::min(intField(pos, "line"), std::max(doc.text.lines() - 1, 0));
  int col = doc.text.toByte(line, intField(pos, "character"), utf16_);
  return {line + 1, col + 1};
}

json Server::range(const Document& doc, int line, int col, int length) const {
  int l = std::max(line - 1, 0);
  return {{"start", {{"line", l}, {"character", doc.text.fromByte(l, col - 1, utf16_)}}},
          {"end", {{"line", l}, {"character", doc.text.fromByte(l, col - 1 + length, utf16_)}}}};
}

// The place of a report: the compiler names the line and the column where
// the reader stood (on the first line one more, as its count starts at 1
// before anything is read). The range covers the token that follows there.
static std::pair<int, int> reportSpan(std::string_view text, int line, int col) {
  if (col <= 0) return {0, static_cast<int>(text.size())};
  int at = std::max(col - (line == 1 ? 2 : 1), 0);
  auto word = [](char c) { return std::isalnum(static_cast<unsigned char>(c)) || c == '_'; };
  while (at < static_cast<int>(text.size()) && (text[at] == ' ' || text[at] == '\t')) at++;
  while (at > 0 && at < static_cast<int>(text.size()) && word(text[at]) && word(text[at - 1])) at--;
  int end = at;
  while (end < static_cast<int>(text.size()) && word(text[end])) end++;
  if (end == at) end = at + 1;
  if (at >= static_cast<int>(text.size()))
    at = std::max(static_cast<int>(text.size()) - 1, 0), end = at + 1;
  return {at, end};
}

void Server::publish(const std::string& uri, const Document& doc) {
  json list = json::array();
  bool stopped = false;  // the compiler stops at its first error: later ones follow from it
  for (const tavo_diagnostic* d : doc.now.diagnostics) {
    if (stopped && d->kind == TAVO_ERROR) continue;
    stopped |= d->kind == TAVO_ERROR;
    bool here = std::string_view(d->file) == "o.src" && d->line > 0;
    int line = here ? d->line - 1 : 0;
    std::string message = d->message;
    if (!here && *d->file && std::string_view(d->file) != "o.src")
      message = std::string(d->file) + ":" + std::to_string(d->line) + ":" +
                std::to_string(d->col) + ": " + message;
    // A lint names the first character of its word, counted from 1 on
    // every line; reportSpan takes the reader's count.
    bool lint = d->kind == TAVO_LINT || d->kind == TAVO_LINT_NOTE;
    int col = lint && d->line == 1 ? d->col + 1 : d->col;
    auto [from, to] =
        here ? reportSpan(doc.text.line(line), d->line, col) : std::pair<int, int>{0, 0};
    auto severity = kSeverity.find(d->kind);
    json item =
        {{"range",
          {{"start", {{"line", line}, {"character", doc.text.fromByte(line, from, utf16_)}}},
           {"end", {{"line", line}, {"character", doc.text.fromByte(line, to, utf16_)}}}}},
         {"severity", severity == kSeverity.end() ? 3 : severity->second},
         {"source", "tavo"},
         {"message", message}};
    if (*d->name) item["code"] = d->name;
    list.push_back(item);
  }
  notify("textDocument/publishDiagnostics",
         {{"uri", uri}, {"version", doc.version}, {"diagnostics", list}});
}

}  // namespace tavolsp
