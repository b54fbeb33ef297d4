// index_test.cpp: the index of names of programs that use every kind of
// name, checked by hand against the program text.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <tuple>
#include <vector>

#include "entry/tavoapi.h"

namespace {

struct Compiled {
  tavo_result* r;
  explicit Compiled(const std::string& src, const std::string& lib = "", bool dev = true) {
    static std::string fun = "lcd.txt\n";
    tavo_file f{"lcd.txt", lib.data(), lib.size()};
    tavo_input in{};
    in.source = src.data();
    in.source_size = src.size();
    in.dev_tvo = dev;
    if (!lib.empty()) {
      in.has_fun = 1;
      in.fun = fun.data();
      in.fun_size = fun.size();
      in.function_files = &f;
      in.function_file_count = 1;
    }
    r = tavo_compile(&in);
  }
  ~Compiled() { tavo_free(r); }
  // The definition of name in the function scope (nullptr: no function).
  const tavo_definition* def(const std::string& name, const char* scope = nullptr) const {
    for (size_t i = 0; i < tavo_definition_count(r); i++) {
      const tavo_definition* d = tavo_definition_at(r, i);
      if (d->name != name) continue;
      if (!scope && d->scope < 0) return d;
      if (scope && d->scope >= 0 && tavo_definition_at(r, d->scope)->name == std::string(scope))
        return d;
    }
    return nullptr;
  }
  // "file:line:col" of every place that names d, definition included.
  std::vector<std::string> places(const tavo_definition* d) const {
    std::vector<std::string> out;
    for (size_t i = 0; i < tavo_use_count(r); i++) {
      const tavo_use* u = tavo_use_at(r, i);
      if (tavo_definition_at(r, u->definition) != d) continue;
      out.push_back(std::string(u->file) + ":" + std::to_string(u->line) + ":" +
                    std::to_string(u->col) + (u->is_definition ? " def" : ""));
    }
    return out;
  }
};

using V = std::vector<std::string>;

const char* kLib =
    "#constant LCDW 128\n"
    "func clear(\"colour\"), 0;\n"
    "func textout(\"x\", \"y\", \"s\"), 1;\n";

const char* kProgram =
    "#constant N 5\n"              // 1
    "#constant GREET \"hi\"\n"     // 2
    "#constant M $ N + 1\n"        // 3
    "#DATA word TAB 1, g, main\n"  // 4
    "#STACK 100\n"                 // 5
    "var g, arr[N];\n"             // 6
    "var h{2}[3];\n"               // 7
    "func add(var a, var b)\n"     // 8
    "  var t;\n"                   // 9
    "  t := a + b + N + M;\n"      // 10
    "  return t;\n"                // 11
    "endfunc\n"                    // 12
    "func main()\n"                // 13
    "  var i;\n"                   // 14
    "  i := add(g, arr[1]);\n"     // 15
    "  clear(LCDW);\n"             // 16
    "  goto done;\n"               // 17
    "  print(GREET, TAB[0]);\n"    // 18
    "done:\n"                      // 19
    "  textout(1, 2, \"x\");\n"    // 20
    "endfunc\n";

TEST(NameIndex, EveryKindOfDefinition) {
  Compiled c(kProgram, kLib);
  ASSERT_TRUE(c.r);
  ASSERT_EQ(tavo_error_count(c.r), 0);
  const tavo_definition* d;
  ASSERT_TRUE(d = c.def("N"));
  EXPECT_EQ(std::tie(d->kind, d->value, d->line, d->col), std::make_tuple(TAVO_CONSTANT, 5, 1, 11));
  ASSERT_TRUE(d = c.def("GREET"));
  EXPECT_EQ(d->kind, TAVO_CONSTANT);
  EXPECT_EQ(d->token_kind, 0x2002);
  EXPECT_STREQ(d->text, "hi");
  ASSERT_TRUE(d = c.def("M"));
  EXPECT_EQ(d->kind, TAVO_MACRO);
  EXPECT_STREQ(d->text, " N + 1");
  ASSERT_TRUE(d = c.def("TAB"));  // the first table: at 7, three words
  EXPECT_EQ(std::tie(d->kind, d->token_kind, d->value, d->size),
            std::make_tuple(TAVO_TABLE, 213, 7, 6));
  ASSERT_TRUE(d = c.def("g"));
  EXPECT_EQ(std::tie(d->kind, d->value, d->size, d->line, d->col),
            std::make_tuple(TAVO_GLOBAL, 1, 0, 6, 5));
  ASSERT_TRUE(d = c.def("arr"));  // N cells after g
  EXPECT_EQ(std::tie(d->value, d->size), std::make_tuple(2, 5));
  ASSERT_TRUE(d = c.def("h"));  // {2}[3]: six cells after arr
  EXPECT_EQ(std::tie(d->value, d->size), std::make_tuple(7, 6));
  ASSERT_TRUE(d = c.def("add"));  // code after the six table bytes
  EXPECT_EQ(std::tie(d->kind, d->value, d->args, d->returns),
            std::make_tuple(TAVO_FUNCTION, 13, 2, 1));
  ASSERT_EQ(d->arg_name_count, 2u);
  EXPECT_STREQ(d->arg_names[1], "b");
  ASSERT_TRUE(d = c.def("main"));
  EXPECT_EQ(std::tie(d->args, d->returns), std::make_tuple(0, 0));
  ASSERT_TRUE(d = c.def("b", "add"));
  EXPECT_EQ(std::tie(d->kind, d->value, d->line, d->col), std::make_tuple(TAVO_ARGUMENT, 1, 8, 21));
  ASSERT_TRUE(d = c.def("t", "add"));
  EXPECT_EQ(std::tie(d->kind, d->value), std::make_tuple(TAVO_LOCAL, 0));
  ASSERT_TRUE(d = c.def("done", "main"));
  EXPECT_EQ(std::tie(d->kind, d->line, d->col), std::make_tuple(TAVO_LABEL, 19, 1));
  ASSERT_TRUE(d = c.def("textout"));
  EXPECT_EQ(std::tie(d->kind, d->value, d->args, d->returns, d->line, d->col),
            std::make_tuple(TAVO_PLATFORM, -11, 3, 1, 3, 6));
  EXPECT_STREQ(d->file, "Include/lcd.txt");
  ASSERT_EQ(d->arg_name_count, 3u);
  EXPECT_STREQ(d->arg_names[2], "s");
  ASSERT_TRUE(d = c.def("putnum"));  // built in: number -7, no file
  EXPECT_EQ(std::tie(d->value, d->args, d->returns, d->line), std::make_tuple(-7, 2, 1, 0));
  EXPECT_STREQ(d->file, "");
  ASSERT_TRUE(d = c.def("LCDW"));
  EXPECT_EQ(std::tie(d->value, d->line, d->col), std::make_tuple(128, 1, 11));
}

TEST(NameIndex, EveryUseFindsItsDefinition) {
  Compiled c(kProgram, kLib);
  EXPECT_EQ(c.places(c.def("N")), (V{"o.src:1:11 def", "o.src:6:12", "o.src:10:16"}));
  EXPECT_EQ(c.places(c.def("g")), (V{"o.src:4:19", "o.src:6:5 def", "o.src:15:12"}));
  EXPECT_EQ(c.places(c.def("main")), (V{"o.src:4:22", "o.src:13:6 def"}));
  EXPECT_EQ(c.places(c.def("M")), (V{"o.src:3:11 def", "o.src:10:20"}));
  EXPECT_EQ(c.places(c.def("a", "add")), (V{"o.src:8:14 def", "o.src:10:8"}));
  EXPECT_EQ(c.places(c.def("t", "add")), (V{"o.src:9:7 def", "o.src:10:3", "o.src:11:10"}));
  EXPECT_EQ(c.places(c.def("add")), (V{"o.src:8:6 def", "o.src:15:8"}));
  EXPECT_EQ(c.places(c.def("done", "main")), (V{"o.src:17:8", "o.src:19:1 def"}));
  EXPECT_EQ(c.places(c.def("LCDW")), (V{"Include/lcd.txt:1:11 def", "o.src:16:9"}));
  EXPECT_EQ(c.places(c.def("clear")), (V{"Include/lcd.txt:2:6 def", "o.src:16:3"}));
  EXPECT_EQ(c.places(c.def("TAB")), (V{"o.src:4:12 def", "o.src:18:16"}));
  EXPECT_EQ(c.places(c.def("GREET")), (V{"o.src:2:11 def", "o.src:18:9"}));
}

// Scopes: a local hides a global of the same name in its own function only;
// a label and a variable may share a name; a name used before it is
// defined names nothing; CR LF lines count as LF lines.
TEST(NameIndex, ScopesAndShadowing) {
  Compiled c(
      "var x;\r\n"       // 1
      "func f()\r\n"     // 2
      "  var x;\r\n"     // 3
      "  x := 1;\r\n"    // 4
      "x:\r\n"           // 5
      "  goto x;\r\n"    // 6
      "endfunc\r\n"      // 7
      "func main()\r\n"  // 8
      "  x := y;\r\n"    // 9
      "endfunc\r\n");
  EXPECT_EQ(c.places(c.def("x")), (V{"o.src:1:5 def", "o.src:9:3"}));
  EXPECT_EQ(c.places(c.def("x", "f")), (V{"o.src:3:7 def", "o.src:4:3"}));
  const tavo_definition* label = nullptr;
  for (size_t i = 0; i < tavo_definition_count(c.r); i++)
    if (tavo_definition_at(c.r, i)->kind == TAVO_LABEL) label = tavo_definition_at(c.r, i);
  ASSERT_TRUE(label);
  EXPECT_EQ(c.places(label), (V{"o.src:5:1 def", "o.src:6:8"}));
  EXPECT_EQ(c.def("y"), nullptr);  // undefined: the compiler reports it
  EXPECT_EQ(tavo_error_count(c.r), 1);
}

// The index changes nothing: the outputs are those of the same case
// compiled again, and a compilation after it has no index.
TEST(NameIndex, RepeatedCompilationsAgree) {
  Compiled a(kProgram, kLib), b(kProgram, kLib);
  ASSERT_EQ(tavo_output_count(a.r), tavo_output_count(b.r));
  for (size_t i = 0; i < tavo_output_count(a.r); i++) {
    const tavo_file* x = tavo_output(a.r, i);
    const tavo_file* y = tavo_output(b.r, i);
    EXPECT_EQ(std::string(x->data, x->size), std::string(y->data, y->size)) << x->name;
  }
  EXPECT_EQ(tavo_use_count(a.r), tavo_use_count(b.r));
  Compiled nodev("func main()\nendfunc\n", "", false);
  EXPECT_EQ(tavo_output_named(nodev.r, "o.lst"), nullptr);
  EXPECT_EQ(tavo_output_named(nodev.r, "o.hex"), nullptr);
  EXPECT_NE(tavo_output_named(nodev.r, "o.map"), nullptr);
}

// Inputs a host may get wrong: no input at all, a function file whose name
// leaves Include/, an #inherit of an output, which reads it as it stands.
TEST(NameIndex, OddInputs) {
  tavo_result* r = tavo_compile(nullptr);  // no o.src: the driver's first report
  ASSERT_TRUE(r);
  EXPECT_EQ(tavo_error_count(r), 1);
  ASSERT_TRUE(tavo_output_named(r, "o.err"));
  EXPECT_EQ(std::string(tavo_output_named(r, "o.err")->data), "Can't open source file o.src");
  EXPECT_EQ(tavo_output_count(r), 1u);
  tavo_free(r);
  std::string src = "#inherit \"../o.map\"\n#inherit \"../../o.src\"\n";
  std::string evil = "func x(), 0;\n";
  tavo_file files[] = {{"../o.src", evil.data(), evil.size()}, {"x", evil.data(), evil.size()}};
  tavo_input in{};
  in.source = src.data();
  in.source_size = src.size();
  in.function_files = files;
  in.function_file_count = 2;
  r = tavo_compile(&in);
  ASSERT_TRUE(r);
  const tavo_file* err = tavo_output_named(r, "o.err");
  ASSERT_TRUE(err);
  // The empty map is inherited; after it the first pass counts one line
  // less, and the report stands where the string's scan began.
  EXPECT_EQ(std::string(err->data, err->size),
            "File './Include/../../o.src' not found in line 1, column 8 (pass1)\n");
  tavo_free(r);
}

}  // namespace

namespace {

// Diagnostics: a lint is no line of "o.err" but a record of its own kind,
// with its name and the position of its word; the library note is a kind
// of its own too.
TEST(ApiDiagnostics, LintsBesideTheErrFile) {
  Compiled c("func f(var a)\n  var t;\n  t := 70000;\nendfunc\n");
  std::vector<std::tuple<int, std::string, int, int>> got;
  for (size_t i = 0; i < tavo_diagnostic_count(c.r); i++) {
    const tavo_diagnostic* d = tavo_diagnostic_at(c.r, i);
    got.emplace_back(d->kind, d->name, d->line, d->col);
  }
  std::sort(got.begin(), got.end());
  using T = std::tuple<int, std::string, int, int>;
  EXPECT_EQ(got, (std::vector<T>{T{TAVO_LINT, "overflow", 3, 8}, T{TAVO_LINT, "unused-argument", 1, 12},
                                 T{TAVO_LINT_NOTE, "library", 0, 0}}));
  EXPECT_EQ(tavo_error_count(c.r), 0);
  EXPECT_EQ(std::string(tavo_output_named(c.r, "o.err")->data, tavo_output_named(c.r, "o.err")->size), "");
}

}  // namespace
