// compile.cpp: a document compiled in memory as "o.src", with "o.fun" and
// the function files of Include/ read from the document's folder at each
// compilation, so that a change to them shows at the next one. Nothing is
// ever written beside the document.
#include <algorithm>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "lsp.h"

namespace tavolsp {

namespace fs = std::filesystem;

namespace {

constexpr uintmax_t MAXFILE = 16u << 20;  // a function file larger than this is left out
constexpr int MAXFILES = 1000;

int hexval(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

bool readFile(const fs::path& p, std::string& out) {
  std::error_code ec;
  if (!fs::is_regular_file(p, ec) || fs::file_size(p, ec) > MAXFILE || ec) return false;
  std::ifstream f(p, std::ios::binary);
  std::ostringstream s;
  s << f.rdbuf();
  out = s.str();
  return static_cast<bool>(f);
}

}  // namespace

std::string folderOf(const std::string& uri) {
  if (uri.rfind("file://", 0) != 0) return "";
  std::string path;
  for (size_t i = 7; i < uri.size(); i++) {
    if (uri[i] == '%' && i + 2 < uri.size() && hexval(uri[i + 1]) >= 0 && hexval(uri[i + 2]) >= 0) {
      path += static_cast<char>(hexval(uri[i + 1]) * 16 + hexval(uri[i + 2]));
      i += 2;
    } else {
      path += uri[i];
    }
  }
  return fs::path(path).parent_path().string();
}

std::string uriOf(const std::string& path) {
  static const char* hex = "0123456789ABCDEF";
  std::string uri = "file://";
  for (unsigned char c : path) {
    if (std::isalnum(c) || std::strchr("/-._~", c)) {
      uri += static_cast<char>(c);
    } else {
      uri += '%';
      uri += hex[c >> 4];
      uri += hex[c & 15];
    }
  }
  return uri;
}

Compiled compile(const std::string& source, const std::string& folder) {
  std::string fun;
  std::vector<std::pair<std::string, std::string>> files;
  bool hasFun = !folder.empty() && readFile(fs::path(folder) / "o.fun", fun);
  std::error_code ec;
  fs::path include = fs::path(folder) / "Include";
  if (!folder.empty() && fs::is_directory(include, ec)) {
    for (auto it = fs::recursive_directory_iterator(include, ec);
         !ec && it != fs::recursive_directory_iterator() && files.size() < MAXFILES;
         it.increment(ec)) {
      std::string data;
      if (readFile(it->path(), data))
        files.emplace_back(fs::relative(it->path(), include, ec).generic_string(), std::move(data));
    }
  }
  std::vector<tavo_file> cfiles;
  for (auto& [name, data] : files) cfiles.push_back({name.c_str(), data.data(), data.size()});
  tavo_input in{};
  in.source = source.data();
  in.source_size = source.size();
  in.has_fun = hasFun;
  in.fun = fun.data();
  in.fun_size = fun.size();
  in.function_files = cfiles.data();
  in.function_file_count = cfiles.size();
  Compiled c;
  c.result.reset(tavo_compile(&in), tavo_free);
  const tavo_result* r = c.result.get();
  for (size_t i = 0; i < tavo_definition_count(r); i++) c.defs.push_back(tavo_definition_at(r, i));
  for (size_t i = 0; i < tavo_use_count(r); i++)
    if (std::string_view(tavo_use_at(r, i)->file) == "o.src") c.uses.push_back(tavo_use_at(r, i));
  for (size_t i = 0; i < tavo_diagnostic_count(r); i++)
    c.diagnostics.push_back(tavo_diagnostic_at(r, i));
  return c;
}

const tavo_use* Compiled::useAt(int line, int col) const {
  auto it = std::upper_bound(uses.begin(), uses.end(), std::make_pair(line, col),
                             [](const std::pair<int, int>& p, const tavo_use* u) {
                               return p < std::make_pair(u->line, u->col);
                             });
  if (it == uses.begin()) return nullptr;
  const tavo_use* u = *--it;
  return u->line == line && col >= u->col && col <= u->col + u->length ? u : nullptr;
}

int Compiled::indexOf(const tavo_definition* d) const {
  auto it = std::find(defs.begin(), defs.end(), d);
  return it == defs.end() ? -1 : static_cast<int>(it - defs.begin());
}

}  // namespace tavolsp
