// size.cpp: how much of the module the program takes, from the state the
// compilation left: the image and its data tables, the data memory and the
// stack, the fill of every fixed table, and the largest functions.
#include <algorithm>
#include <cstdio>

#include "base/tavomain.h"
#include "compiler/compiler.h"
#include "directives/directives.h"
#include "front/front.h"
#include "tavoc.h"

namespace tavoc {

namespace {

struct Fill {
  const char* what;
  int used, limit;
};

std::vector<Fill> tableFills() {
  return {{"symbol entries", tavo::symtop, tavo::NSYM},
          {"name pool characters", tavo::poolchars(), tavo::NAMESIZE},
          {"globals", tavo::nglob, tavo::NGLOB},
          {"functions", tavo::FunctionCount, tavo::NFUN},
          {"names in word tables", tavo::wordnames, tavo::PATCHTABLESIZE}};
}

struct FunctionSize {
  std::string name;
  int address, bytes;
};

// Every compiled function runs from its address to the next one's, the last
// to the end of the image; the largest first, ties by address.
std::vector<FunctionSize> largestFunctions(size_t most) {
  std::vector<FunctionSize> fs;
  for (int i = 0; i < tavo::nfun; i++)
    fs.push_back({tavo::poolname(tavo::funids[i]), tavo::funoffs[i], 0});
  std::sort(fs.begin(), fs.end(), [](auto& a, auto& b) { return a.address < b.address; });
  for (size_t i = 0; i < fs.size(); i++) {
    int end = i + 1 < fs.size() ? fs[i + 1].address : tavo::codesize;
    fs[i].bytes = std::max(0, end - fs[i].address);
  }
  std::stable_sort(fs.begin(), fs.end(), [](auto& a, auto& b) { return a.bytes > b.bytes; });
  if (fs.size() > most) fs.resize(most);
  return fs;
}

int dataTableBytes() { return tavo::dataStart ? tavo::dataEnd - tavo::dataStart : 0; }
int globalCells() { return tavo::curgloboffs > 1 ? tavo::curgloboffs - 1 : 0; }
double percent(int used, int limit) { return limit ? 100.0 * used / limit : 0; }

}  // namespace

void printSize(const Place& at) {
  std::printf("Memory use of %s\n", at.path("o.bin").c_str());
  std::printf("  code image   %6d of %5d bytes %6.1f%%  (data tables %d bytes)\n", tavo::codesize,
              tavo::MAXCODE, percent(tavo::codesize, tavo::MAXCODE), dataTableBytes());
  std::printf("  data memory  %6d cells for globals\n", globalCells());
  std::printf("  stack        %6d as the program asks\n", tavo::main_stackSize);
  std::printf("Tables\n");
  for (const Fill& f : tableFills())
    std::printf("  %-22s %6d of %5d %6.1f%%\n", f.what, f.used, f.limit, percent(f.used, f.limit));
  auto fs = largestFunctions(10);
  if (fs.empty()) return;
  std::printf("Largest functions\n");
  for (const FunctionSize& f : fs)
    std::printf("  %-22s %6d bytes at %d\n", f.name.c_str(), f.bytes, f.address);
}

nlohmann::ordered_json sizeJson() {
  nlohmann::ordered_json j;
  j["code"] = {{"used", tavo::codesize}, {"limit", tavo::MAXCODE}, {"data_tables", dataTableBytes()}};
  j["data_cells"] = globalCells();
  j["stack"] = tavo::main_stackSize;
  nlohmann::ordered_json tables = nlohmann::ordered_json::array();
  for (const Fill& f : tableFills())
    tables.push_back({{"table", f.what}, {"used", f.used}, {"limit", f.limit}});
  j["tables"] = tables;
  nlohmann::ordered_json functions = nlohmann::ordered_json::array();
  for (const FunctionSize& f : largestFunctions(10))
    functions.push_back({{"name", f.name}, {"bytes", f.bytes}, {"address", f.address}});
  j["largest_functions"] = functions;
  return j;
}

}  // namespace tavoc
