// platform.cpp: the platform functions, carried out on the host.
//
// The nine built-ins have fixed numbers (-1 serin ... -9 putstr); what they
// do is the model's reading of their names. Functions declared by function
// files (-10, -11, ...) do nothing here: each call writes a trace line and
// returns what --ret says, or 0.
#include <algorithm>
#include <cstdlib>
#include <iostream>
#include <iterator>

#include "base/tavomain.h"
#include "tavorun.h"

namespace tavorun {

// Argument counts of the built-ins, indexed by -number.
static const int builtinArgs[tavo::NBUILTINS + 1] = {0, 0, 1, 1, 1, 1, 1, 2, 4, 1};
static const char* const builtinNames[tavo::NBUILTINS + 1] = {
    "", "serin", "putch", "serout", "setbaud", "to", "pause", "putnum", "translate", "putstr"};

void emit(Machine& m, const std::string& sink, const std::string& bytes) { m.outputs[sink] += bytes; }

// The sink of the display functions: the channel to(ch) chose, if mapped.
static const std::string& displaySink(const Machine& m) {
  static const std::string standardOutput = "-";
  auto c = m.opt.channels.find(m.channel);
  return m.channel != -1 && c != m.opt.channels.end() ? c->second : standardOutput;
}

// Text for the display; under G19=text a display that interprets control
// characters shows none of them (line ends excepted).
static void display(Machine& m, const std::string& text) {
  std::string shown;
  for (unsigned char c : text) {
    bool control = (c < 0x20 && c != '\n') || c == 0x7F;
    if (control && m.reading(G19) == G19_TEXT) continue;
    shown += static_cast<char>(c);
  }
  emit(m, displaySink(m), shown);
}

// The instruction after the CALL drops the result unless it is used.
static bool resultUsed(const Machine& m) {
  return m.pc >= static_cast<int>(m.image.size()) || m.image[m.pc] != tavo::C_POP;
}

// Standard input as serial input, read to its end at the first serin.
static void loadStdin(Machine& m) {
  static std::string bytes;
  static bool read = false;
  if (!read) {
    bytes.assign(std::istreambuf_iterator<char>(std::cin), std::istreambuf_iterator<char>());
    read = true;
  }
  for (unsigned char c : bytes) m.input.push_back({0, c});
}

// serin(): the next serial byte. With none due yet the machine waits for it
// (the clock jumps) or, under G16=poll, gets -1; with none left it stops.
static Word serin(Machine& m) {
  if (m.opt.serialFromStdin && !m.inputLoaded) loadStdin(m);
  m.inputLoaded = true;
  bool left = m.inputPos < m.input.size();
  if (!left || m.input[m.inputPos].first > m.clock) {
    if (m.reading(G16) == G16_POLL) return -1;
    if (!left) return trap(m, "input exhausted: serin() waits for a byte and none is left"), 0;
    m.clock = m.input[m.inputPos].first;
  }
  return m.input[m.inputPos++].second;
}

// putnum's text under G1: the low byte of the control is the radix, the
// high byte the least width. Radix 10 is signed, the others unsigned.
std::string formatNumber(Machine& m, Word control, Word value) {
  int radix = control & 0xFF, width = (control >> 8) & 0xFF;
  if (radix < 2 || radix > 36) {
    warn(m, "putnum radix " + std::to_string(radix) + " read as 10");
    radix = 10;
  }
  bool negative = radix == 10 && value < 0;
  uint64_t v = radix == 10 ? (negative ? -int64_t{value} : value) : unsignedOf(m, value);
  std::string digits;
  do {
    digits.insert(digits.begin(), "0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZ"[v % radix]);
    v /= radix;
  } while (v != 0);
  int style = m.reading(G1);
  int pad = std::max(0, width - static_cast<int>(digits.size()) - (negative ? 1 : 0));
  if (style == G1_PAD) return std::string(pad, ' ') + (negative ? "-" : "") + digits;
  if (style == G1_ZEROS) return (negative ? "-" : "") + std::string(pad, '0') + digits;
  return (negative ? "-" : "") + digits;
}

static Word putnum(Machine& m, Word control, Word value) {
  std::string text = formatNumber(m, control, value);
  display(m, text);
  if (!resultUsed(m)) return 0;
  return m.reading(G20) == G20_COUNT ? static_cast<Word>(text.size()) : value;
}

// The zero-terminated string at s: bytes of code space, or one character
// per data cell (its low byte).
static std::string readString(Machine& m, Word s) {
  std::string text;
  for (int i = 0; i < NCELLS && m.end == End::running; i++) {
    Word c = loadByte(m, static_cast<Word>(((s & 0xFFFF) + i) & 0xFFFF));
    if ((c & 0xFF) == 0) break;
    text += static_cast<char>(c & 0xFF);
  }
  return text;
}

static Word putstr(Machine& m, Word s) {
  std::string text = readString(m, s);
  display(m, text);
  if (!resultUsed(m)) return 0;
  if (m.reading(G20) == G20_COUNT) return static_cast<Word>(text.size());
  return norm(m, (s & 0xFFFF) + static_cast<int64_t>(text.size()) + 1);
}

// translate(key, table, width, count): under G7b an index lookup, entry
// `key` of a table of bytes (width 0) or words (width 1).
static Word translate(Machine& m, Word key, Word table, Word width, Word count) {
  if (width != 0 && width != 1) {
    warn(m, "translate width " + std::to_string(width) + " read as 1");
    width = 1;
  }
  auto entry = [&](uint32_t i) {
    int64_t a = (table & 0xFFFF) + int64_t{i} * (width + 1);
    return width ? loadWord(m, static_cast<Word>(a & 0xFFFF)) : loadByte(m, static_cast<Word>(a & 0xFFFF));
  };
  uint32_t k = unsignedOf(m, key), n = std::min(unsignedOf(m, count), uint32_t{NCELLS});
  switch (m.reading(G7B)) {
    case G7B_KEY: return key;
    case G7B_SEARCH:
      for (uint32_t i = 0; i < n && m.end == End::running; i++)
        if (entry(i) == key) return static_cast<Word>(i);
      return -1;
    default:
      if (k < n) return entry(k);
      warn(m, "lookup key " + std::to_string(key) + " outside a table of " + std::to_string(n) + ": 0");
      return 0;
  }
}

static Word builtin(Machine& m, int number, const Word* a) {
  switch (number) {
    case -1: return serin(m);
    case -2: display(m, std::string(1, static_cast<char>(a[0] & 0xFF))); return 0;
    case -3: emit(m, m.opt.serialOut, std::string(1, static_cast<char>(a[0] & 0xFF))); return 0;
    case -4:
      if (m.opt.trace && m.opt.diag) std::fprintf(m.opt.diag, "[%llu ms] setbaud(%d)\n",
                                                 static_cast<unsigned long long>(m.clock), a[0]);
      return 0;
    case -5: if (m.reading(G15) == G15_REDIRECT) m.channel = a[0]; return 0;
    case -6: m.clock += unsignedOf(m, a[0]) * (m.reading(G18) == G18_MS ? 1 : 10); return 0;
    case -7: return putnum(m, a[0], a[1]);
    case -8: return translate(m, a[0], a[1], a[2], a[3]);
    default: return putstr(m, a[0]);
  }
}

// The value --ret gives for the next call of name: the values in turn, the
// last one repeated; "@clock" is the clock, "@serin" the next serial byte.
static Word nextReturn(Machine& m, const std::string& name) {
  auto r = m.opt.rets.find(name);
  if (r == m.opt.rets.end() || r->second.empty()) return 0;
  size_t i = std::min(m.retIndex[name]++, r->second.size() - 1);
  const std::string& v = r->second[i];
  if (v == "@clock") return norm(m, static_cast<int64_t>(m.clock % 65536));
  if (v == "@serin") return serin(m);
  return norm(m, std::strtoll(v.c_str(), nullptr, 0));
}

// A function of a function file: a trace line "[250 ms] readdot(4, 5) -> 5".
static Word inherited(Machine& m, const PlatformFunction& f, const Word* a, int n) {
  if (n != f.args)
    warn(m, f.name + " takes " + std::to_string(f.args) + " arguments; called with " + std::to_string(n));
  Word r = f.returns > 0 ? nextReturn(m, f.name) : 0;
  if (!m.opt.diag) return r;
  std::string args;
  for (int i = 0; i < n; i++) args += (i ? ", " : "") + std::to_string(a[i]);
  std::fprintf(m.opt.diag, "[%llu ms] %s(%s) -> %d\n", static_cast<unsigned long long>(m.clock),
               f.name.c_str(), args.c_str(), r);
  return r;
}

Word callPlatform(Machine& m, int number, const Word* args, int n) {
  if (number >= -tavo::NBUILTINS && number <= -1) {
    int want = builtinArgs[-number];
    if (n != want)
      warn(m, std::string(builtinNames[-number]) + " takes " + std::to_string(want) +
                  " arguments; called with " + std::to_string(n));
    Word a[4] = {};
    std::copy(args, args + std::min(n, want), a);
    return builtin(m, number, a);
  }
  const PlatformFunction* f = findPlatform(*m.prog, number);
  if (!f) return trap(m, "call to platform function " + std::to_string(number) + ", which no file declares"), 0;
  return inherited(m, *f, args, n);
}

}  // namespace tavorun
