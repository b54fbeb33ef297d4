// lsp.h: the Tavo language server: its documents, what it knows of them,
// and the JSON-RPC messages it answers (Language Server Protocol 3.17).
#pragma once

#include <cstdio>
#include <functional>
#include <istream>
#include <map>
#include <memory>
#include <nlohmann/json.hpp>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "entry/tavoapi.h"

namespace tavolsp {

using json = nlohmann::json;

// ---------------------------------------------------------------------------
// transport.cpp: messages framed by a Content-Length header.

enum class ReadStatus { MESSAGE, BAD_FRAME, END };
// Reads one message body; BAD_FRAME when the header is unusable (the
// stream is then at the next line), END at the end of input.
ReadStatus readMessage(std::istream& in, std::string& body);
void writeMessage(std::ostream& out, const json& message);

// ---------------------------------------------------------------------------
// text.cpp: a document's text, lines, and positions in either unit.

class Text {
 public:
  explicit Text(std::string bytes = "");
  const std::string& bytes() const { return bytes_; }
  int lines() const { return static_cast<int>(starts_.size()); }
  std::string_view line(int i) const;  // without its line end; "" past the end
  // Columns: bytes of the line (utf8) or UTF-16 code units (utf16).
  int toByte(int line, int col, bool utf16) const;
  int fromByte(int line, int byte, bool utf16) const;
  size_t offset(int line, int byte) const;  // in the whole text

 private:
  std::string bytes_;
  std::vector<size_t> starts_;
};

// ---------------------------------------------------------------------------
// compile.cpp: one document compiled through the API, with the function
// files of its folder.

struct Compiled {
  std::shared_ptr<tavo_result> result;
  std::vector<const tavo_definition*> defs;
  std::vector<const tavo_use*> uses;  // of the document alone, in order
  std::vector<const tavo_diagnostic*> diagnostics;
  const tavo_use* useAt(int line, int col) const;  // 1-based line, byte column
  const tavo_definition* def(int i) const {
    return i >= 0 && i < static_cast<int>(defs.size()) ? defs[i] : nullptr;
  }
  int indexOf(const tavo_definition* d) const;
};

// The folder of a file: URI, and the function files beside it.
std::string folderOf(const std::string& uri);  // "" when not a file: URI
std::string uriOf(const std::string& path);
Compiled compile(const std::string& source, const std::string& folder);

// ---------------------------------------------------------------------------
// server.cpp

struct Document {
  Text text;
  int version = 0;
  Compiled now;   // the last compilation
  Compiled good;  // the last one without an error, for completion
};

class Server {
 public:
  explicit Server(std::function<void(const json&)> send) : send_(std::move(send)) {}
  // One message in; its answer, if it has one, and any notification go out
  // through send. False once "exit" has come.
  bool receive(const std::string& body);
  int exitCode() const { return shutdown_ ? 0 : 1; }

 private:
  std::function<void(const json&)> send_;
  std::map<std::string, Document> docs_;
  bool initialized_ = false, shutdown_ = false;
  bool utf16_ = true;

  json dispatch(const std::string& method, const json& params);
  void notify(const std::string& method, const json& params);
  json initialize(const json& params);
  void open(const json& params);
  void change(const json& params);
  void close(const json& params);
  void recompileAll();
  void publish(const std::string& uri, const Document& doc);
  Document& document(const json& params);
  json range(const Document& doc, int line, int col, int length) const;
  json location(const Document& doc, const std::string& uri, const tavo_definition& d) const;
  // 1-based line and byte column of an LSP position.
  std::pair<int, int> position(const Document& doc, const json& pos) const;

  json symbols(const json& params);
  json hover(const json& params);
  json definition(const json& params);
  json references(const json& params);
  json completion(const json& params);
  json signatureHelp(const json& params);
  json rename(const json& params);
  json prepareRename(const json& params);
};

// An error answered to a request: its JSON-RPC code and message.
struct RpcError {
  int code;
  std::string message;
};
constexpr int PARSE_ERROR = -32700, INVALID_REQUEST = -32600, METHOD_NOT_FOUND = -32601,
              INVALID_PARAMS = -32602, INTERNAL_ERROR = -32603, SERVER_NOT_INITIALIZED = -32002,
              REQUEST_FAILED = -32803;

// ---------------------------------------------------------------------------
// words.cpp: what the editor says about the language's words.

// The one-line meaning of a reserved word, or null.
const char* reservedMeaning(std::string_view word);
const std::vector<std::string>& reservedWords();
bool validName(std::string_view name);
std::string describe(const Compiled& c, const tavo_definition& d);  // Markdown for hover
std::string signature(const tavo_definition& d);                    // name(a, b)

}  // namespace tavolsp
