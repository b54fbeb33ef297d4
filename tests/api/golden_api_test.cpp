// golden_api_test.cpp: every golden case compiled through tavo_compile, one
// after another in this one process, must leave exactly the files that
// tavoc leaves for it in a directory, and what its expected/ folder holds.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "entry/tavoapi.h"

namespace fs = std::filesystem;

namespace {

std::string slurp(const fs::path& p) {
  std::ifstream f(p, std::ios::binary);
  std::ostringstream s;
  s << f.rdbuf();
  return s.str();
}

using Files = std::map<std::string, std::string>;

// The files of a folder, by path below it (folders not listed).
Files filesIn(const fs::path& dir) {
  Files files;
  for (auto& e : fs::recursive_directory_iterator(dir))
    if (e.is_regular_file()) files[fs::relative(e.path(), dir).generic_string()] = slurp(e.path());
  return files;
}

// The case's inputs, as a host hands them to the API.
Files compileInMemory(const Files& inputs) {
  std::vector<tavo_file> funcs;
  for (auto& [name, data] : inputs)
    if (name.rfind("Include/", 0) == 0)
      funcs.push_back({name.c_str() + 8, data.data(), data.size()});
  tavo_input in{};
  const std::string& src = inputs.at("o.src");
  in.source = src.data();
  in.source_size = src.size();
  if (auto f = inputs.find("o.fun"); f != inputs.end()) {
    in.has_fun = 1;
    in.fun = f->second.data();
    in.fun_size = f->second.size();
  }
  in.function_files = funcs.data();
  in.function_file_count = funcs.size();
  in.dev_tvo = inputs.count("dev.tvo") > 0;
  tavo_result* r = tavo_compile(&in);
  Files out;
  for (size_t i = 0; r && i < tavo_output_count(r); i++) {
    const tavo_file* f = tavo_output(r, i);
    out[f->name] = std::string(f->data, f->size);
  }
  tavo_free(r);
  return out;
}

// What tavoc leaves in a copy of the case's inputs: the files it wrote. An
// input may have an output's name (a stale o.map); the inputs are dated in
// the past, so one that tavoc wrote over is told apart by its new date.
Files compileInDirectory(const fs::path& caseDir, const Files& inputs) {
  fs::path work = fs::temp_directory_path() / ("tavo_api_" + std::to_string(getpid()));
  fs::remove_all(work);
  fs::create_directories(work);
  for (auto& e : fs::directory_iterator(caseDir))
    if (e.path().filename() != "expected")
      fs::copy(e.path(), work / e.path().filename(), fs::copy_options::recursive);
  const auto past = fs::last_write_time(work) - std::chrono::hours(24);
  for (auto& [name, data] : inputs) fs::last_write_time(work / name, past);
  std::string cmd = std::string("cd '") + work.string() + "' && '" + TAVOC + "' . >/dev/null 2>&1";
  int rc = std::system(cmd.c_str());
  (void)rc;
  Files out = filesIn(work);
  for (auto& [name, data] : inputs) {
    std::error_code ec;
    if (fs::last_write_time(work / name, ec) == past) out.erase(name);
  }
  fs::remove_all(work);
  return out;
}

// expected/o.bin.hex: hex bytes, '#' comments.
std::string fromHex(const std::string& text) {
  std::string out, digits;
  std::istringstream lines(text);
  for (std::string line; std::getline(lines, line);) {
    line = line.substr(0, line.find('#'));
    std::istringstream words(line);
    for (std::string w; words >> w;) out += static_cast<char>(std::stoi(w, nullptr, 16));
  }
  return out;
}

void checkExpected(const fs::path& expected, const Files& out) {
  for (auto& e : fs::directory_iterator(expected)) {
    std::string name = e.path().filename().string();
    std::string want = slurp(e.path());
    if (name == "status") continue;
    if (name == "absent") {
      std::istringstream lines(want);
      for (std::string f; std::getline(lines, f);) {
        if (f.empty()) continue;
        EXPECT_EQ(out.count(f), 0u) << f << " must be absent";
      }
      continue;
    }
    if (name == "o.bin.hex") {
      name = "o.bin";
      want = fromHex(want);
    }
    ASSERT_TRUE(out.count(name)) << name << " missing";
    EXPECT_EQ(out.at(name), want) << name;
  }
}

TEST(GoldenApi, EveryCaseAsInItsDirectory) {
  std::vector<fs::path> cases;
  for (auto& e : fs::recursive_directory_iterator(GOLDEN_DIR))
    if (e.is_directory() && e.path().filename() == "expected")
      cases.push_back(e.path().parent_path());
  std::sort(cases.begin(), cases.end());
  ASSERT_GT(cases.size(), 50u);
  for (const fs::path& c : cases) {
    SCOPED_TRACE(c.string());
    Files inputs;
    for (auto& [name, data] : filesIn(c))
      if (name.rfind("expected/", 0) != 0) inputs[name] = data;
    Files memory = compileInMemory(inputs);
    Files directory = compileInDirectory(c, inputs);
    ASSERT_FALSE(memory.empty());
    EXPECT_EQ(memory, directory);
    checkExpected(c / "expected", memory);
  }
}

}  // namespace

namespace {

// The one-line error cases: the first line of "o.err" from memory, and the
// diagnostic record that goes with it.
TEST(GoldenApi, ErrorCasesFirstLine) {
  int n = 0;
  for (auto& e : fs::directory_iterator(ERRORS_DIR)) {
    if (e.path().extension() != ".src") continue;
    SCOPED_TRACE(e.path().string());
    Files inputs{{"o.src", slurp(e.path())}};
    std::string first = inputs["o.src"].substr(0, inputs["o.src"].find('\n'));
    ASSERT_EQ(first.rfind("// EXPECT: ", 0), 0u);
    Files out = compileInMemory(inputs);
    const std::string& err = out["o.err"];
    EXPECT_EQ(err.substr(0, err.find('\n')), first.substr(11));
    n++;
  }
  EXPECT_GT(n, 20);
}

}  // namespace
