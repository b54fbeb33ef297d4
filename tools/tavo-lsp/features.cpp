// features.cpp: what the server answers about names, all from the index
// of the compilation: symbols, hover, definition, references, completion,
// signature help and rename.
#include <filesystem>
#include <set>

#include "lsp.h"

namespace tavolsp {

int intField(const json& j, const char* key);

namespace {

bool inSource(const tavo_definition& d) { return std::string_view(d.file) == "o.src"; }

bool isWord(char c) { return std::isalnum(static_cast<unsigned char>(c)) || c == '_'; }

// The word of the line around byte column col (0-based).
std::string wordAt(std::string_view line, int col) {
  int from = std::min(col, static_cast<int>(line.size())), to = from;
  while (from > 0 && isWord(line[from - 1])) from--;
  while (to < static_cast<int>(line.size()) && isWord(line[to])) to++;
  return std::string(line.substr(from, to - from));
}

// The line (0-based) of the "endfunc" that closes a function begun on line.
int endOfFunction(const Text& text, int line) {
  for (int i = line + 1; i < text.lines(); i++) {
    std::string_view l = text.line(i);
    size_t at = l.find_first_not_of(" \t");
    if (at != std::string_view::npos && l.substr(at, 7) == "endfunc" &&
        (at + 7 == l.size() || !isWord(l[at + 7])))
      return i;
  }
  return text.lines() - 1;
}

// The name of the function whose body holds line (0-based), from the text:
// the nearest "func NAME" above with no "endfunc" between.
std::string functionAround(const Text& text, int line) {
  for (int i = line; i >= 0; i--) {
    std::string_view l = text.line(i);
    size_t at = l.find_first_not_of(" \t");
    if (at == std::string_view::npos) continue;
    std::string first = wordAt(l, static_cast<int>(at));
    if (first == "endfunc" && i < line) return "";
    if (first == "func") return wordAt(l, static_cast<int>(l.find_first_not_of(" \t", at + 4)));
  }
  return "";
}

const tavo_definition* findDef(const Compiled& c, const std::string& name,
                               std::initializer_list<int> kinds) {
  for (const tavo_definition* d : c.defs)
    if (d->scope < 0 && d->name == name)
      for (int k : kinds)
        if (d->kind == k) return d;
  return nullptr;
}

}  // namespace

json Server::location(const Document& doc, const std::string& uri, const tavo_definition& d) const {
  if (inSource(d))
    return {{"uri", uri},
            {"range", range(doc, d.line, d.col, static_cast<int>(std::strlen(d.name)))}};
  std::string folder = folderOf(uri);
  if (!*d.file || folder.empty()) return nullptr;
  std::string path = (std::filesystem::path(folder) / d.file).lexically_normal().string();
  int l = std::max(d.line - 1, 0);
  int len = static_cast<int>(std::strlen(d.name));
  // The function file is not open here: its columns are taken as bytes.
  return {{"uri", uriOf(path)},
          {"range",
           {{"start", {{"line", l}, {"character", d.col - 1}}},
            {"end", {{"line", l}, {"character", d.col - 1 + len}}}}}};
}

// ---------------------------------------------------------------------------

json Server::symbols(const json& params) {
  Document& doc = document(params);
  const Compiled& c = doc.now;
  static const std::map<int, int> kind = {
      {TAVO_FUNCTION, 12}, {TAVO_ARGUMENT, 13}, {TAVO_LOCAL, 13}, {TAVO_GLOBAL, 13},
      {TAVO_CONSTANT, 14}, {TAVO_MACRO, 14},    {TAVO_TABLE, 18}, {TAVO_LABEL, 20}};
  static const char* detail[] = {"function", "argument", "local", "global", "constant",
                                 "macro",    "table",    "label", ""};
  auto symbol = [&](const tavo_definition& d) {
    json r = range(doc, d.line, d.col, static_cast<int>(std::strlen(d.name)));
    return json{{"name", d.name}, {"detail", detail[d.kind]}, {"kind", kind.at(d.kind)},
                {"range", r},     {"selectionRange", r},      {"children", json::array()}};
  };
  json out = json::array();
  for (size_t i = 0; i < c.defs.size(); i++) {
    const tavo_definition& d = *c.defs[i];
    if (!inSource(d) || d.scope >= 0 || d.kind == TAVO_PLATFORM) continue;
    json s = symbol(d);
    if (d.kind == TAVO_FUNCTION) {
      int end = endOfFunction(doc.text, d.line - 1);
      s["range"] = {
          {"start", {{"line", d.line - 1}, {"character", 0}}},
          {"end",
           {{"line", end},
            {"character",
             doc.text.fromByte(end, static_cast<int>(doc.text.line(end).size()), utf16_)}}}};
      for (const tavo_definition* e : c.defs)
        if (e->scope == static_cast<int>(i) && inSource(*e)) s["children"].push_back(symbol(*e));
    }
    out.push_back(s);
  }
  return out;
}

json Server::hover(const json& params) {
  Document& doc = document(params);
  auto [line, col] = position(doc, params.at("position"));
  if (const tavo_use* u = doc.now.useAt(line, col)) {
    const tavo_definition* d = doc.now.def(u->definition);
    if (!d) return nullptr;
    return {{"contents", {{"kind", "markdown"}, {"value", describe(doc.now, *d)}}},
            {"range", range(doc, u->line, u->col, u->length)}};
  }
  std::string word = wordAt(doc.text.line(line - 1), col - 1);
  if (const char* meaning = reservedMeaning(word))
    return {{"contents", {{"kind", "markdown"}, {"value", "`" + word + "`: " + meaning}}}};
  return nullptr;
}

json Server::definition(const json& params) {
  Document& doc = document(params);
  auto [line, col] = position(doc, params.at("position"));
  const tavo_use* u = doc.now.useAt(line, col);
  const tavo_definition* d = u ? doc.now.def(u->definition) : nullptr;
  if (!d) return nullptr;
  return location(doc, params.at("textDocument").at("uri").get<std::string>(), *d);
}

json Server::references(const json& params) {
  Document& doc = document(params);
  std::string uri = params.at("textDocument").at("uri").get<std::string>();
  auto [line, col] = position(doc, params.at("position"));
  const tavo_use* at = doc.now.useAt(line, col);
  if (!at) return json::array();
  bool withDecl = params.value("/context/includeDeclaration"_json_pointer, true);
  json out = json::array();
  const tavo_definition* d = doc.now.def(at->definition);
  if (withDecl && d && !inSource(*d)) {
    json l = location(doc, uri, *d);
    if (!l.is_null()) out.push_back(l);
  }
  for (const tavo_use* u : doc.now.uses)
    if (u->definition == at->definition && (withDecl || !u->is_definition))
      out.push_back({{"uri", uri}, {"range", range(doc, u->line, u->col, u->length)}});
  return out;
}

// ---------------------------------------------------------------------------

json Server::completion(const json& params) {
  Document& doc = document(params);
  auto [line, col] = position(doc, params.at("position"));
  (void)col;
  json items = json::array();
  std::set<std::string> seen;
  auto add = [&](const std::string& label, int kind, const std::string& detail) {
    if (seen.insert(label).second)
      items.push_back({{"label", label}, {"kind", kind}, {"detail", detail}});
  };
  std::string fn = functionAround(doc.text, line - 1);
  for (const Compiled* c : {&doc.now, &doc.good}) {
    if (!c->result) continue;
    const tavo_definition* f = fn.empty() ? nullptr : findDef(*c, fn, {TAVO_FUNCTION});
    int scope = f ? c->indexOf(f) : -2;
    for (const tavo_definition* d : c->defs) {
      if (d->scope >= 0 && (d->scope != scope || d->kind == TAVO_LABEL)) continue;
      switch (d->kind) {
        case TAVO_ARGUMENT:
          add(d->name, 6, "argument of " + fn);
          break;
        case TAVO_LOCAL:
          add(d->name, 6, "local of " + fn);
          break;
        case TAVO_GLOBAL:
          add(d->name, 6, "global");
          break;
        case TAVO_FUNCTION:
          add(d->name, 3, signature(*d));
          break;
        case TAVO_PLATFORM:
          add(d->name, 3, signature(*d));
          break;
        case TAVO_CONSTANT:
        case TAVO_MACRO:
          add(d->name, 21, "constant");
          break;
        case TAVO_TABLE:
          add(d->name, 21, d->text);
          break;
        default:
          break;
      }
    }
  }
  for (const std::string& w : reservedWords()) add(w, 14, reservedMeaning(w));
  return {{"isIncomplete", false}, {"items", items}};
}

json Server::signatureHelp(const json& params) {
  Document& doc = document(params);
  auto [line, col] = position(doc, params.at("position"));
  std::string_view l = doc.text.line(line - 1);
  int depth = 0, active = 0, at = std::min(col - 1, static_cast<int>(l.size())) - 1;
  for (; at >= 0; at--) {
    char c = l[at];
    if (c == ')')
      depth++;
    else if (c == '(' && depth-- == 0)
      break;
    else if (c == ',' && depth == 0)
      active++;
  }
  if (at < 0) return nullptr;
  int end = at;
  while (end > 0 && (l[end - 1] == ' ' || l[end - 1] == '\t')) end--;
  std::string name = wordAt(l.substr(0, end), end);
  for (const Compiled* c : {&doc.now, &doc.good}) {
    if (!c->result) continue;
    const tavo_definition* d = findDef(*c, name, {TAVO_FUNCTION, TAVO_PLATFORM});
    if (!d) continue;
    json params = json::array();
    for (size_t i = 0; i < d->arg_name_count; i++) params.push_back({{"label", d->arg_names[i]}});
    return {{"signatures",
             {{{"label", signature(*d)},
               {"documentation", {{"kind", "markdown"}, {"value", describe(*c, *d)}}},
               {"parameters", params}}}},
            {"activeSignature", 0},
            {"activeParameter", active}};
  }
  return nullptr;
}

// ---------------------------------------------------------------------------
// Rename.

namespace {

bool renamable(const tavo_definition& d) {
  switch (d.kind) {
    case TAVO_FUNCTION:
    case TAVO_GLOBAL:
    case TAVO_LOCAL:
    case TAVO_ARGUMENT:
    case TAVO_LABEL:
    case TAVO_CONSTANT:
    case TAVO_MACRO:
      return inSource(d);
    default:
      return false;
  }
}

// Another definition that the new name would meet: a label among the
// labels of its function; anything else among the names visible where it
// is (and, for a global name, every local and argument it would hide).
const tavo_definition* collision(const Compiled& c, const tavo_definition& d,
                                 const std::string& name) {
  for (const tavo_definition* e : c.defs) {
    if (e == &d || e->name != name) continue;
    if ((d.kind == TAVO_LABEL) != (e->kind == TAVO_LABEL)) continue;
    if (d.kind == TAVO_LABEL && e->scope != d.scope) continue;
    if (d.scope >= 0 && e->scope >= 0 && e->scope != d.scope) continue;
    return e;
  }
  return nullptr;
}

}  // namespace

json Server::prepareRename(const json& params) {
  Document& doc = document(params);
  auto [line, col] = position(doc, params.at("position"));
  const tavo_use* u = doc.now.useAt(line, col);
  const tavo_definition* d = u ? doc.now.def(u->definition) : nullptr;
  if (!d) return nullptr;
  if (!renamable(*d))
    throw RpcError{REQUEST_FAILED, std::string("'") + d->name + "' is not defined in this file"};
  return {{"range", range(doc, u->line, u->col, u->length)}, {"placeholder", d->name}};
}

json Server::rename(const json& params) {
  Document& doc = document(params);
  std::string uri = params.at("textDocument").at("uri").get<std::string>();
  std::string name = params.at("newName").get<std::string>();
  auto [line, col] = position(doc, params.at("position"));
  const tavo_use* at = doc.now.useAt(line, col);
  const tavo_definition* d = at ? doc.now.def(at->definition) : nullptr;
  if (!d) throw RpcError{REQUEST_FAILED, "no name to rename here"};
  if (!renamable(*d))
    throw RpcError{REQUEST_FAILED, std::string("'") + d->name + "' is not defined in this file"};
  if (tavo_error_count(doc.now.result.get()))
    throw RpcError{REQUEST_FAILED,
                   "the program has an error: correct it first, so that every use is known"};
  if (!validName(name)) throw RpcError{REQUEST_FAILED, "'" + name + "' is not a valid name"};
  if (const tavo_definition* e = collision(doc.now, *d, name))
    throw RpcError{REQUEST_FAILED,
                   "'" + name + "' is already defined on line " + std::to_string(e->line)};
  json edits = json::array();
  for (const tavo_use* u : doc.now.uses)
    if (u->definition == at->definition)
      edits.push_back({{"range", range(doc, u->line, u->col, u->length)}, {"newText", name}});
  // A macro's text names constants that only its expansions read.
  if (d->scope < 0)
    for (const tavo_definition* m : doc.now.defs) {
      if (m->kind != TAVO_MACRO || !inSource(*m)) continue;
      std::string_view l = doc.text.line(m->line - 1);
      size_t from = l.find('$', static_cast<size_t>(m->col));
      for (size_t i = from;
           from != std::string_view::npos && (i = l.find(d->name, i)) != std::string_view::npos;
           i++) {
        size_t end = i + std::strlen(d->name);
        if ((i > 0 && isWord(l[i - 1])) || (end < l.size() && isWord(l[end]))) continue;
        edits.push_back(
            {{"range", range(doc, m->line, static_cast<int>(i) + 1, static_cast<int>(end - i))},
             {"newText", name}});
      }
    }
  return {{"changes", {{uri, edits}}}};
}

}  // namespace tavolsp
