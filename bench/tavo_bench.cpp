// In-process benchmarks of the lexer, the name lookups and whole
// compilations, with Google Benchmark. Built when TAVO_BENCH is on:
//
//   cmake -S . -B build-bench -DTAVO_BENCH=ON && cmake --build build-bench --target tavo_bench
//   build-bench/bench/tavo_bench
//
// TAVO_BENCH_DIRS, a colon-separated list of directories holding an o.src
// (for example those bench/run.py writes), adds one whole compilation per
// directory. A compilation writes its outputs there.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "base/tavomain.h"
#include "driver/driver.h"
#include "front/front.h"

using namespace tavo;

namespace {

// A fresh state with the reserved words and built-ins, reading text.
std::FILE* startText(const std::string& text) {
  resetAll();
  installNames();
  std::FILE* fp = std::tmpfile();
  std::fwrite(text.data(), 1, text.size(), fp);
  src_fp = fp;
  pass = 2;
  return fp;
}

// Scans the whole source once, as one pass does.
int scanAll() {
  rewindSource();
  currline = currcol = 1;
  nextchar = readchar();
  int n = 0;
  while (getlex() != TOK_EOF) n++;
  return n;
}

std::string commentsText(size_t size) {
  std::string s;
  for (int i = 0; s.size() < size; i++) {
    switch (i % 4) {
      case 0: s += "// the value below sets the width of the status line, in columns\n"; break;
      case 1: s += "/* row " + std::to_string(i) + ": the fields of the first screen\n   and of the second */\n"; break;
      case 2: s += "object\n"; break;
      default: s += "    // ------------------------------------------------\n";
    }
  }
  return s + "object\n";
}

std::string codeText(size_t size) {
  std::string s;
  for (int i = 0; s.size() < size; i++)
    s += "    count" + std::to_string(i % 300) + " := count" + std::to_string((i * 7) % 300) +
         " + 0x" + std::to_string(i % 97) + " * (limit - 3);\n";
  return s;
}

void BM_LexComments(benchmark::State& state) {
  std::string text = commentsText(static_cast<size_t>(state.range(0)));
  std::FILE* fp = startText(text);
  for (auto _ : state) benchmark::DoNotOptimize(scanAll());
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * text.size()));
  std::fclose(fp);
  src_fp = nullptr;
}
BENCHMARK(BM_LexComments)->Arg(1 << 20);

void BM_LexCode(benchmark::State& state) {
  std::string text = codeText(static_cast<size_t>(state.range(0)));
  std::FILE* fp = startText(text);
  for (auto _ : state) benchmark::DoNotOptimize(scanAll());
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * text.size()));
  std::fclose(fp);
  src_fp = nullptr;
}
BENCHMARK(BM_LexCode)->Arg(1 << 20);

std::vector<std::string> names(int n, const char* stem) {
  std::vector<std::string> v;
  for (int i = 0; i < n; i++) v.push_back(stem + std::to_string(i));
  return v;
}

// Looking up names already in a pool of n names.
void BM_PoolLookupFound(benchmark::State& state) {
  resetAll();
  auto v = names(static_cast<int>(state.range(0)), "name_");
  for (auto& s : v) lookup(s.c_str());
  size_t i = 0;
  for (auto _ : state) {
    benchmark::DoNotOptimize(lookup(v[i].c_str()));
    if (++i == v.size()) i = 0;
  }
}
BENCHMARK(BM_PoolLookupFound)->Arg(100)->Arg(6000)->Arg(30000);

// Adding a name and withdrawing it again, as a skipped directive line or a
// label does, in a pool of n names.
void BM_PoolAddAndCutBack(benchmark::State& state) {
  resetAll();
  auto v = names(static_cast<int>(state.range(0)), "name_");
  for (auto& s : v) lookup(s.c_str());
  auto fresh = names(1000, "label_");
  size_t i = 0;
  for (auto _ : state) {
    int keep = namecount;
    benchmark::DoNotOptimize(lookup(fresh[i].c_str()));
    namecount = keep;
    if (++i == fresh.size()) i = 0;
  }
}
BENCHMARK(BM_PoolAddAndCutBack)->Arg(100)->Arg(6000);

// Defined names all in one bucket: the same first and last character and
// the same length. Every identifier the lexer reads asks the table first.
void BM_LookupKOneBucket(benchmark::State& state) {
  resetAll();
  std::vector<std::string> defined, absent;
  char nm[16];
  for (int i = 0; i < NSYM; i++) {
    std::snprintf(nm, sizeof nm, "q%05dq", i);
    defined.push_back(nm);
    appendK(nm);
    symtop++;
    std::snprintf(nm, sizeof nm, "q%05dq", NSYM + i);   // the same bucket
    absent.push_back(nm);
  }
  const auto& v = state.range(0) ? absent : defined;
  size_t i = 0;
  for (auto _ : state) {
    benchmark::DoNotOptimize(lookupK(v[i].c_str()));
    if (++i == v.size()) i = 0;
  }
}
BENCHMARK(BM_LookupKOneBucket)->Arg(0)->Arg(1);

void BM_Compile(benchmark::State& state, std::string dir) {
  if (chdir(dir.c_str()) != 0) {
    state.SkipWithError("cannot enter the directory");
    return;
  }
  for (auto _ : state) {
    resetAll();
    mainOrv();
  }
  if (ecount) state.SkipWithError("the program does not compile");
}

}  // namespace

int main(int argc, char** argv) {
  if (const char* dirs = std::getenv("TAVO_BENCH_DIRS")) {
    std::string all = dirs;
    for (size_t at = 0; at <= all.size();) {
      size_t end = all.find(':', at);
      if (end == std::string::npos) end = all.size();
      std::string d = all.substr(at, end - at);
      char* full = d.empty() ? nullptr : realpath(d.c_str(), nullptr);
      if (full) {
        d = full;
        std::free(full);
        std::string shape = d.substr(d.find_last_of('/') + 1);
        benchmark::RegisterBenchmark(("BM_Compile/" + shape).c_str(), BM_Compile, d)
            ->Unit(benchmark::kMillisecond);
      }
      at = end + 1;
    }
  }
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
