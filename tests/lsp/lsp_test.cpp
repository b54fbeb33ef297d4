// lsp_test.cpp: the language server at the protocol's level: every request
// it answers, and every kind of bad input.
#include "lsp.h"

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>

namespace fs = std::filesystem;
using tavolsp::json;

namespace {

// A server and everything it sent.
struct Session {
  std::vector<json> sent;
  tavolsp::Server server{[this](const json& m) { sent.push_back(m); }};
  int next = 100;

  bool raw(const std::string& body) { return server.receive(body); }
  void notify(const std::string& method, json params) {
    raw(json{{"jsonrpc", "2.0"}, {"method", method}, {"params", params}}.dump());
  }
  // The answer to a request: its result, or its error.
  json request(const std::string& method, json params = json::object()) {
    int id = next++;
    raw(json{{"jsonrpc", "2.0"}, {"id", id}, {"method", method}, {"params", params}}.dump());
    for (const json& m : sent)
      if (m.contains("id") && m["id"] == id) return m.contains("error") ? m["error"] : m["result"];
    return "no answer";
  }
  void start() { request("initialize", {{"capabilities", json::object()}}); }
  // The diagnostics last published for uri.
  json diagnostics(const std::string& uri) {
    for (auto it = sent.rbegin(); it != sent.rend(); ++it)
      if (it->value("method", "") == "textDocument/publishDiagnostics" &&
          (*it)["params"]["uri"] == uri)
        return (*it)["params"]["diagnostics"];
    return nullptr;
  }
};

json at(const std::string& uri, int line, int character) {
  return {{"textDocument", {{"uri", uri}}},
          {"position", {{"line", line}, {"character", character}}}};
}

json openParams(const std::string& uri, const std::string& text) {
  return {{"textDocument", {{"uri", uri}, {"languageId", "tavo"}, {"version", 1}, {"text", text}}}};
}

// A folder with a function file, as a program's folder has it.
struct Folder {
  fs::path dir = fs::temp_directory_path() / ("tavo_lsp_" + std::to_string(getpid()));
  Folder() {
    fs::create_directories(dir / "Include");
    write("o.fun", "lcd.txt\n");
    write(
        "Include/lcd.txt",
        "#constant LCDW 128\nfunc clear(\"colour\"), 0;\nfunc textout(\"x\", \"y\", \"s\"), 1;\n");
  }
  ~Folder() { fs::remove_all(dir); }
  void write(const std::string& name, const std::string& text) {
    std::ofstream(dir / name) << text;
  }
  std::string uri(const std::string& name = "o.src") const {
    return tavolsp::uriOf((dir / name).string());
  }
};

const char* kProgram =
    "#constant N 5\n"            // 0
    "#constant M $ N + 1\n"      // 1
    "var g, arr[N];\n"           // 2
    "func add(var a, var b)\n"   // 3
    "  var t;\n"                 // 4
    "  t := a + b + N + M;\n"    // 5
    "  return t;\n"              // 6
    "endfunc\n"                  // 7
    "func main()\n"              // 8
    "  var i;\n"                 // 9
    "  i := add(g, arr[1]);\n"   // 10
    "  clear(LCDW);\n"           // 11
    "  goto done;\n"             // 12
    "done:\n"                    // 13
    "  textout(1, 2, \"x\");\n"  // 14
    "  \n"                       // 15
    "endfunc\n";                 // 16

// ---------------------------------------------------------------------------

TEST(LspProtocol, Lifecycle) {
  Session s;
  EXPECT_EQ(s.request("textDocument/hover", at("file:///x", 0, 0))["code"],
            tavolsp::SERVER_NOT_INITIALIZED);
  json init =
      s.request("initialize",
                {{"capabilities", {{"general", {{"positionEncodings", {"utf-8", "utf-16"}}}}}}});
  EXPECT_EQ(init["capabilities"]["positionEncoding"], "utf-8");
  EXPECT_TRUE(init["capabilities"]["hoverProvider"]);
  EXPECT_EQ(s.request("initialize")["code"], tavolsp::INVALID_REQUEST);
  EXPECT_EQ(s.server.exitCode(), 1);  // exit before shutdown
  EXPECT_TRUE(s.request("shutdown").is_null());
  EXPECT_EQ(s.request("textDocument/hover", at("file:///x", 0, 0))["code"],
            tavolsp::INVALID_REQUEST);
  EXPECT_FALSE(s.raw(R"({"jsonrpc":"2.0","method":"exit"})"));
  EXPECT_EQ(s.server.exitCode(), 0);
}

TEST(LspProtocol, MalformedMessages) {
  Session s;
  s.start();
  size_t before = s.sent.size();
  s.raw("{not json");
  ASSERT_EQ(s.sent.size(), before + 1);
  EXPECT_EQ(s.sent.back()["error"]["code"], tavolsp::PARSE_ERROR);
  EXPECT_TRUE(s.sent.back()["id"].is_null());
  for (const char* bad :
       {"[1,2]", "42", R"({"jsonrpc":"2.0","id":7})", R"({"jsonrpc":"2.0","id":7,"method":3})",
        R"({"jsonrpc":"2.0","id":[1],"method":"shutdown"})"}) {
    s.raw(bad);
    EXPECT_EQ(s.sent.back()["error"]["code"], tavolsp::INVALID_REQUEST) << bad;
  }
  s.raw(R"({"jsonrpc":"2.0","id":7,"method":3})");
  EXPECT_EQ(s.sent.back()["id"], 7);
  EXPECT_EQ(s.request("no/such/method")["code"], tavolsp::METHOD_NOT_FOUND);
  before = s.sent.size();
  s.notify("no/such/notification", json::object());
  s.raw(R"({"jsonrpc":"2.0","id":55,"result":null})");      // an answer nobody asked for
  s.notify("textDocument/didOpen", {{"textDocument", 5}});  // a bad notification: no answer
  EXPECT_EQ(s.sent.size(), before);
  EXPECT_EQ(s.request("textDocument/hover", json("text"))["code"], tavolsp::INVALID_PARAMS);
  EXPECT_EQ(s.request("textDocument/hover", {{"textDocument", 1}})["code"],
            tavolsp::INVALID_PARAMS);
}

TEST(LspProtocol, DocumentsNeverOpened) {
  Session s;
  s.start();
  for (const char* m : {"textDocument/hover", "textDocument/definition", "textDocument/references",
                        "textDocument/completion", "textDocument/signatureHelp",
                        "textDocument/documentSymbol", "textDocument/prepareRename"})
    EXPECT_EQ(s.request(m, at("file:///never", 0, 0))["code"], tavolsp::INVALID_PARAMS) << m;
  json rename = at("file:///never", 0, 0);
  rename["newName"] = "x";
  EXPECT_EQ(s.request("textDocument/rename", rename)["code"], tavolsp::INVALID_PARAMS);
  size_t before = s.sent.size();
  s.notify("textDocument/didChange",
           {{"textDocument", {{"uri", "file:///never"}}}, {"contentChanges", {{{"text", ""}}}}});
  s.notify("textDocument/didClose", {{"textDocument", {{"uri", "file:///never"}}}});
  EXPECT_EQ(s.sent.size(), before + 1);  // the close clears its diagnostics
}

TEST(LspProtocol, PositionsOutOfRange) {
  Session s;
  s.start();
  s.notify("textDocument/didOpen", openParams("file:///p", kProgram));
  EXPECT_TRUE(s.request("textDocument/hover", at("file:///p", 100000, 100000)).is_null());
  EXPECT_TRUE(s.request("textDocument/definition", at("file:///p", 2000000000, 0)).is_null());
  EXPECT_TRUE(s.request("textDocument/hover", at("file:///p", -5, -5)).is_null());
  json big = at("file:///p", 0, 0);
  big["position"]["line"] = 1e300;
  EXPECT_EQ(s.request("textDocument/hover", big)["code"], tavolsp::INVALID_PARAMS);
  big["position"]["line"] = "3";
  EXPECT_EQ(s.request("textDocument/references", big)["code"], tavolsp::INVALID_PARAMS);
  big["position"]["line"] = 18446744073709551615ull;
  EXPECT_TRUE(s.request("textDocument/signatureHelp", big).is_null());
}

// ---------------------------------------------------------------------------

TEST(LspDiagnostics, OnOpenChangeAndClose) {
  Session s;
  s.start();
  std::string uri = "file:///d/o.src";
  s.notify("textDocument/didOpen",
           openParams(uri, "var x;\nfunc main()\n  x := yy + 1;\nendfunc\n"));
  json d = s.diagnostics(uri);
  ASSERT_EQ(d.size(), 1u);
  EXPECT_EQ(d[0]["severity"], 1);
  EXPECT_EQ(d[0]["message"], "undefined variable or function");
  // Reported where the reader stood, on the name's last letter: the range
  // is the name. Only the first error shows: the compiler stops there.
  EXPECT_EQ(d[0]["range"],
            json::parse(R"({"start":{"line":2,"character":7},"end":{"line":2,"character":9}})"));
  s.notify("textDocument/didChange", {{"textDocument", {{"uri", uri}, {"version", 2}}},
                                      {"contentChanges", {{{"text", "func main()\nendfunc\n"}}}}});
  EXPECT_EQ(s.diagnostics(uri), json::array());
  // A range replaced: the error comes back.
  json change = json::parse(R"({"contentChanges": [{"range": {"start": {"line": 1, "character": 0},
      "end": {"line": 1, "character": 0}}, "text": "  zz;\n"}]})");
  change["textDocument"] = {{"uri", uri}, {"version", 3}};
  s.notify("textDocument/didChange", change);
  ASSERT_EQ(s.diagnostics(uri).size(), 1u);
  EXPECT_EQ(s.diagnostics(uri)[0]["range"]["start"]["line"], 1);
  s.notify("textDocument/didClose", {{"textDocument", {{"uri", uri}}}});
  EXPECT_EQ(s.diagnostics(uri), json::array());
}

TEST(LspDiagnostics, FunctionFilesReadAgainWhenTheyChange) {
  Folder f;
  Session s;
  s.start();
  s.notify("textDocument/didOpen", openParams(f.uri(), kProgram));
  EXPECT_EQ(s.diagnostics(f.uri()), json::array());
  EXPECT_FALSE(fs::exists(f.dir / "o.err"));  // nothing written beside it
  f.write("Include/lcd.txt", "func textout(\"x\", \"y\", \"s\"), 1;\n");
  s.notify("workspace/didChangeWatchedFiles", {{"changes", json::array()}});
  json d = s.diagnostics(f.uri());
  ASSERT_EQ(d.size(), 1u);
  EXPECT_EQ(d[0]["range"]["start"]["line"], 11);  // clear( is known no more
}

// Warnings about what compiles but is likely a mistake: a warning on the
// word, named by its code; that a program without main is a library only
// informs.
TEST(LspDiagnostics, LintsAsWarningsAndNotes) {
  Session s;
  s.start();
  s.notify("textDocument/didOpen",
           openParams("file:///d/o.src", "var tmp;\nfunc main()\n  var unused;\nendfunc\n"));
  json d = s.diagnostics("file:///d/o.src");
  ASSERT_EQ(d.size(), 1u);
  EXPECT_EQ(d[0]["severity"], 2);
  EXPECT_EQ(d[0]["code"], "unused-local");
  EXPECT_EQ(d[0]["range"],
            json::parse(R"({"start":{"line":2,"character":6},"end":{"line":2,"character":12}})"));
  // On the first line, whose columns the reader counts from 2.
  s.notify("textDocument/didOpen",
           openParams("file:///d/a.tavo", "func f(var*ab)\nendfunc\n"));
  d = s.diagnostics("file:///d/a.tavo");
  ASSERT_EQ(d.size(), 2u);
  json byCode;
  for (const json& x : d) byCode[x["code"].get<std::string>()] = x;
  EXPECT_EQ(byCode["unused-argument"]["severity"], 2);
  EXPECT_EQ(byCode["unused-argument"]["range"],
            json::parse(R"({"start":{"line":0,"character":11},"end":{"line":0,"character":13}})"));
  EXPECT_EQ(byCode["library"]["severity"], 3);
}

TEST(LspDiagnostics, ManyMegabytes) {
  std::string text = "var x;\n";
  std::string comment = "// " + std::string(200, 'c') + "\n";
  while (text.size() < (8u << 20)) text += comment;
  text += "func main()\n  x := 1;\n  y := 2;\nendfunc\n";
  Session s;
  s.start();
  s.notify("textDocument/didOpen", openParams("file:///big", text));
  json d = s.diagnostics("file:///big");
  ASSERT_EQ(d.size(), 1u);
  int lines = static_cast<int>(std::count(text.begin(), text.end(), '\n'));
  EXPECT_EQ(d[0]["range"]["start"]["line"], lines - 2);
  json h = s.request("textDocument/hover", at("file:///big", lines - 3, 2));
  EXPECT_NE(h["contents"]["value"].get<std::string>().find("global variable at address 1"),
            std::string::npos);
}

// ---------------------------------------------------------------------------

TEST(LspNames, HoverTellsWhatTheIndexKnows) {
  Folder f;
  Session s;
  s.start();
  s.notify("textDocument/didOpen", openParams(f.uri(), kProgram));
  auto hover = [&](int line, int ch) {
    json h = s.request("textDocument/hover", at(f.uri(), line, ch));
    return h.is_null() ? std::string("null") : h["contents"]["value"].get<std::string>();
  };
  EXPECT_NE(hover(5, 15).find("constant 5 (0x5)"), std::string::npos);                     // N
  EXPECT_NE(hover(11, 9).find("constant 128 (0x80)"), std::string::npos);                  // LCDW
  EXPECT_NE(hover(10, 12).find("global variable at address 1 (0x1)"), std::string::npos);  // g
  EXPECT_NE(hover(10, 15).find("address 2 (0x2), array of 5 cells"), std::string::npos);   // arr
  std::string add = hover(10, 8);
  EXPECT_NE(add.find("func add(a, b)"), std::string::npos);
  EXPECT_NE(add.find("2 arguments, returns a value"), std::string::npos);
  std::string clear = hover(11, 3);
  EXPECT_NE(clear.find("clear(colour)"), std::string::npos);
  EXPECT_NE(
      clear.find("number -10, 1 argument, returns no value; declared in Include/lcd.txt line 2"),
      std::string::npos);
  EXPECT_NE(hover(5, 8).find("argument 1 of `add`"), std::string::npos);
  EXPECT_NE(hover(3, 0).find("`func`: "), std::string::npos);  // a reserved word
  EXPECT_EQ(hover(15, 1), "null");
}

TEST(LspNames, DefinitionAndReferences) {
  Folder f;
  Session s;
  s.start();
  s.notify("textDocument/didOpen", openParams(f.uri(), kProgram));
  json d = s.request("textDocument/definition", at(f.uri(), 6, 9));  // t in return t
  EXPECT_EQ(d["uri"], f.uri());
  EXPECT_EQ(d["range"]["start"], json::parse(R"({"line":4,"character":6})"));
  d = s.request("textDocument/definition", at(f.uri(), 14, 4));  // textout
  EXPECT_EQ(d["uri"], f.uri("Include/lcd.txt"));
  EXPECT_EQ(d["range"]["start"], json::parse(R"({"line":2,"character":5})"));
  EXPECT_TRUE(s.request("textDocument/definition", at(f.uri(), 4, 2)).is_null());  // "var"
  json refs = s.request("textDocument/references", {{"textDocument", {{"uri", f.uri()}}},
                                                    {"position", {{"line", 12}, {"character", 8}}},
                                                    {"context", {{"includeDeclaration", true}}}});
  ASSERT_EQ(refs.size(), 2u);  // goto done; done:
  EXPECT_EQ(refs[1]["range"]["start"], json::parse(R"({"line":13,"character":0})"));
  refs = s.request("textDocument/references", {{"textDocument", {{"uri", f.uri()}}},
                                               {"position", {{"line", 0}, {"character", 10}}},
                                               {"context", {{"includeDeclaration", false}}}});
  EXPECT_EQ(refs.size(), 2u);  // N: arr[N] and the sum; not the macro's text
}

TEST(LspNames, DocumentSymbols) {
  Folder f;
  Session s;
  s.start();
  s.notify("textDocument/didOpen", openParams(f.uri(), kProgram));
  json syms = s.request("textDocument/documentSymbol", {{"textDocument", {{"uri", f.uri()}}}});
  std::vector<std::string> names;
  for (const json& x : syms) names.push_back(x["name"]);
  EXPECT_EQ(names, (std::vector<std::string>{"N", "M", "g", "arr", "add", "main"}));
  const json& add = syms[4];
  EXPECT_EQ(add["kind"], 12);
  EXPECT_EQ(add["range"]["end"]["line"], 7);
  ASSERT_EQ(add["children"].size(), 3u);
  EXPECT_EQ(add["children"][2]["name"], "t");
  EXPECT_EQ(syms[5]["children"][1]["kind"], 20);  // the label done
}

TEST(LspNames, CompletionAndSignatureHelp) {
  Folder f;
  Session s;
  s.start();
  s.notify("textDocument/didOpen", openParams(f.uri(), kProgram));
  auto labels = [&](int line) {
    std::map<std::string, json> items;
    json answer = s.request("textDocument/completion", at(f.uri(), line, 2));
    for (const json& i : answer["items"]) items[i["label"]] = i;
    return items;
  };
  auto inMain = labels(15);
  for (const char* w :
       {"while", "lookup16", "g", "arr", "add", "main", "N", "M", "LCDW", "i", "clear", "putnum"})
    EXPECT_TRUE(inMain.count(w)) << w;
  EXPECT_EQ(inMain["textout"]["detail"], "textout(x, y, s)");
  EXPECT_EQ(inMain["while"]["kind"], 14);
  EXPECT_FALSE(inMain.count("t"));  // a local of add
  EXPECT_FALSE(inMain.count("done"));
  auto inAdd = labels(5);
  EXPECT_TRUE(inAdd.count("t") && inAdd.count("a") && inAdd.count("b"));
  EXPECT_FALSE(inAdd.count("i"));
  // After an edit that breaks the program, the last good index still helps.
  s.notify("textDocument/didChange",
           {{"textDocument", {{"uri", f.uri()}, {"version", 2}}},
            {"contentChanges", {{{"text", std::string(kProgram) + "func broken(\n"}}}}});
  EXPECT_TRUE(labels(15).count("i"));
  json sig = s.request("textDocument/signatureHelp", at(f.uri(), 14, 13));
  EXPECT_EQ(sig["signatures"][0]["label"], "textout(x, y, s)");
  EXPECT_EQ(sig["activeParameter"], 1);
  sig = s.request("textDocument/signatureHelp", at(f.uri(), 10, 12));
  EXPECT_EQ(sig["signatures"][0]["label"], "add(a, b)");
  EXPECT_EQ(sig["activeParameter"], 0);
  EXPECT_TRUE(s.request("textDocument/signatureHelp", at(f.uri(), 4, 3)).is_null());
}

TEST(LspNames, Rename) {
  Folder f;
  Session s;
  s.start();
  s.notify("textDocument/didOpen", openParams(f.uri(), kProgram));
  auto rename = [&](int line, int ch, const std::string& name) {
    json p = at(f.uri(), line, ch);
    p["newName"] = name;
    return s.request("textDocument/rename", p);
  };
  json r = rename(0, 10, "COUNT");  // N: its uses and the macro's text
  json edits = r["changes"][f.uri()];
  ASSERT_EQ(edits.size(), 4u);
  std::set<std::pair<int, int>> places;
  for (const json& e : edits) {
    EXPECT_EQ(e["newText"], "COUNT");
    places.insert(
        {e["range"]["start"]["line"].get<int>(), e["range"]["start"]["character"].get<int>()});
  }
  EXPECT_EQ(places, (std::set<std::pair<int, int>>{{0, 10}, {1, 14}, {2, 11}, {5, 15}}));
  EXPECT_EQ(rename(4, 6, "total")["changes"][f.uri()].size(), 3u);    // the local t
  EXPECT_EQ(rename(13, 1, "finish")["changes"][f.uri()].size(), 2u);  // the label
  EXPECT_EQ(rename(3, 6, "sum")["changes"][f.uri()].size(), 2u);      // the function
  EXPECT_EQ(rename(3, 14, "b")["code"], tavolsp::REQUEST_FAILED);     // a beside b
  EXPECT_EQ(rename(4, 6, "g")["code"], tavolsp::REQUEST_FAILED);      // would hide a global
  EXPECT_EQ(rename(2, 4, "i")["code"], tavolsp::REQUEST_FAILED);      // a local of main
  EXPECT_EQ(rename(2, 4, "while")["code"], tavolsp::REQUEST_FAILED);
  EXPECT_EQ(rename(2, 4, "9g")["code"], tavolsp::REQUEST_FAILED);
  EXPECT_EQ(rename(2, 4, "a b")["code"], tavolsp::REQUEST_FAILED);
  EXPECT_EQ(rename(13, 1, "i")["changes"][f.uri()].size(), 2u);       // labels have their own names
  EXPECT_EQ(rename(11, 3, "wipe")["code"], tavolsp::REQUEST_FAILED);  // a platform function
  EXPECT_EQ(rename(15, 1, "x")["code"], tavolsp::REQUEST_FAILED);     // nothing there
  json prep = s.request("textDocument/prepareRename", at(f.uri(), 2, 4));
  EXPECT_EQ(prep["placeholder"], "g");
  std::string message = rename(2, 4, "while")["message"];
  EXPECT_NE(message.find("not a valid name"), std::string::npos);
}

TEST(LspNames, Utf16Columns) {
  Session s;
  s.start();
  s.notify("textDocument/didOpen",
           openParams("file:///u",
                      "var g;\nfunc main()\n  print(\"\xc3\xa9\xf0\x9f\x98\x80\", g);\nendfunc\n"));
  // "é" is one UTF-16 unit, the emoji two: g stands at unit 15 (byte 18).
  json h = s.request("textDocument/hover", at("file:///u", 2, 15));
  ASSERT_FALSE(h.is_null());
  EXPECT_EQ(h["range"]["start"]["character"], 15);
  EXPECT_EQ(h["range"]["end"]["character"], 16);
}

// ---------------------------------------------------------------------------

TEST(LspTransport, Framing) {
  std::istringstream in(
      "Content-Length: 2\r\nContent-Type: application/vscode-jsonrpc; charset=utf-8\r\n\r\n{}"
      "content-length:3\r\n\r\n[1]"
      "Content-Type: x\r\n\r\n"
      "Content-Length: 99\r\n\r\n{\"short\"");
  std::string body;
  EXPECT_EQ(tavolsp::readMessage(in, body), tavolsp::ReadStatus::MESSAGE);
  EXPECT_EQ(body, "{}");
  EXPECT_EQ(tavolsp::readMessage(in, body), tavolsp::ReadStatus::MESSAGE);
  EXPECT_EQ(body, "[1]");
  EXPECT_EQ(tavolsp::readMessage(in, body), tavolsp::ReadStatus::BAD_FRAME);
  EXPECT_EQ(tavolsp::readMessage(in, body), tavolsp::ReadStatus::END);
  std::ostringstream out;
  tavolsp::writeMessage(out, {{"a", "\xff"}});  // not UTF-8: replaced, still sent
  EXPECT_EQ(out.str().rfind("Content-Length: ", 0), 0u);
}

// The program itself: a client that goes away, mid-message or between
// messages, ends it with status 1; "exit" after "shutdown" with 0.
TEST(LspTransport, ClientGoesAway) {
  fs::path dir = fs::temp_directory_path() / ("tavo_lsp_io_" + std::to_string(getpid()));
  fs::create_directories(dir);
  auto run = [&](const std::string& input) {
    std::ofstream(dir / "in", std::ios::binary) << input;
    std::string cmd =
        "timeout 20 '" + std::string(TAVO_LSP) + "' <'" + (dir / "in").string() + "' >/dev/null";
    int rc = std::system(cmd.c_str());
    return WIFEXITED(rc) ? WEXITSTATUS(rc) : -1;
  };
  auto frame = [](const std::string& b) {
    return "Content-Length: " + std::to_string(b.size()) + "\r\n\r\n" + b;
  };
  std::string init = frame(R"({"jsonrpc":"2.0","id":1,"method":"initialize","params":{}})");
  EXPECT_EQ(run(init + "Content-Length: 500\r\n\r\n{\"jsonrpc\""), 1);
  EXPECT_EQ(run(init), 1);
  EXPECT_EQ(run(""), 1);
  EXPECT_EQ(run(init + frame(R"({"jsonrpc":"2.0","id":2,"method":"shutdown"})") +
                frame(R"({"jsonrpc":"2.0","method":"exit"})")),
            0);
  fs::remove_all(dir);
}

}  // namespace
