// lexer.cpp: characters and tokens.
//
// One character of lookahead (nextchar) and no token buffer. Characters come
// from "o.src", from the function file being inherited, or from the text of
// a macro being expanded. Identifiers are resolved on the spot: a defined
// constant first, then the name pool, so the parser sees constants as values
// and reserved words as keyword tokens.
#include <algorithm>
#include <array>
#include <cerrno>
#include <cstdint>
#include <cstring>
#include <new>
#include <vector>

#ifdef __SSE2__
#include <emmintrin.h>
#endif

#ifndef _WIN32
#include <sys/mman.h>
#include <sys/stat.h>
#endif

#include "base/nameindex.h"
#include "front/front.h"

namespace tavo {

int nextchar;
int currline;
int currcol;
int tokline;
int tokcol;
std::FILE* fnc_fp;
int inheriting;
char macrobuffer[MACROBUFSIZE];
int macroptr;
int macrosize;
char symbol[MAXSTRLEN + 1];
char ident[MAXSYM];
int strsize;
int stringsize;
int token;
int lexval;
int genpop;

// ---------------------------------------------------------------------------
// Reading files. A file is mapped into memory whole where the system allows
// it, so that the second pass reads the source again for nothing; otherwise
// it is read a block at a time. A CR right before an LF is dropped, so CR LF
// sources read exactly like LF ones; a lone CR is an ordinary character.

namespace {

constexpr size_t BLOCKSIZE = 1 << 16;

struct InputBuffer {
  std::FILE* fp = nullptr;     // the file these bytes came from
  const unsigned char* data = nullptr;
  size_t pos = 0, len = 0;
  bool mapped = false;         // data is the whole file, mapped
  bool inmemory = false;       // ... or the whole file held in memory
  unsigned char* block;        // else the last block read, kept here
};

unsigned char srcblock[BLOCKSIZE], fncblock[BLOCKSIZE];
InputBuffer srcbuf{.block = srcblock}, fncbuf{.block = fncblock};

// Comment runs. The first pass notes where each long run of blanks and
// comments in the mapped source begins and where it leads; the second pass,
// meeting the same byte with the same lookahead, steps over the run at once
// instead of reading it again. Where a run leads depends only on the bytes
// from its start and on the lookahead, and its lines and columns move the
// position the same way from wherever it stands, so the step leaves exactly
// the state that reading the run would.
//
// Shorter runs are read again: noting them would cost about what it saves.
constexpr size_t MINRUN = 256;
constexpr size_t MAXRUNS = size_t{1} << 20;   // the runs of a 256 MiB source at least

// A run read with the lookahead at offset from - 1 leaves it at to - 1.
struct CommentRun {
  uint32_t from, to;
  uint32_t lines;      // line ends passed
  int32_t col;         // the column after the run; with no line end, the columns passed
};

std::vector<CommentRun> runs;   // in the order of the source
size_t runcursor;               // the next run the second pass may meet

void forgetRuns() {
  runs.clear();
  runcursor = 0;
}

// Notes a run of the source b. The room for as many runs as the source can
// hold is taken at the first one, so they are never copied. Without the room, runs are simply read again.
void noteRun(const InputBuffer& b, const CommentRun& r) {
  size_t room = std::min(b.len / MINRUN + 1, MAXRUNS);
  if (runs.capacity() < room) {
    try {
      runs.reserve(room);
    } catch (const std::bad_alloc&) {
      return;
    }
  }
  if (runs.size() == runs.capacity()) return;
  runs.push_back(r);
}

// The run that starts at b.pos with the lookahead the byte before it, if
// one was noted. The second pass reads forward, so the search goes on from
// the last run it looked at, and starts over when reading went back.
const CommentRun* runAt(const InputBuffer& b) {
  if (b.pos == 0 || nextchar != b.data[b.pos - 1]) return nullptr;
  auto from = static_cast<uint32_t>(b.pos);
  if (runcursor > 0 && runs[runcursor - 1].from >= from) runcursor = 0;
  while (runcursor < runs.size() && runs[runcursor].from < from) runcursor++;
  if (runcursor < runs.size() && runs[runcursor].from == from) return &runs[runcursor++];
  return nullptr;
}

// A file read from memory is taken whole where it lies, as a mapped one.
bool memoryfile(InputBuffer& b) {
  const std::string* bytes = memoryBytes(b.fp);
  if (!bytes || bytes->empty()) return false;
  long at = std::ftell(b.fp);
  b.data = reinterpret_cast<const unsigned char*>(bytes->data());
  b.len = bytes->size();
  b.pos = at > 0 ? std::min(static_cast<size_t>(at), b.len) : 0;
  b.mapped = true;
  b.inmemory = true;
  return true;
}

#ifndef _WIN32
#ifdef MAP_POPULATE
constexpr int MAPFLAGS = MAP_PRIVATE | MAP_POPULATE;   // every page at once
#else
constexpr int MAPFLAGS = MAP_PRIVATE;
#endif

// Maps the whole of b's file and goes on from where its stream stands.
// False when it is no regular file with something in it or cannot be mapped.
bool mapfile(InputBuffer& b) {
  if (memfiles) return memoryfile(b);
  int fd = fileno(b.fp);
  struct stat st;
  if (fd < 0 || fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) || st.st_size <= 0) return false;
  long at = std::ftell(b.fp);
  size_t size = static_cast<size_t>(st.st_size);
  void* p = mmap(nullptr, size, PROT_READ, MAPFLAGS, fd, 0);
  if (p == MAP_FAILED) return false;
  b.data = static_cast<const unsigned char*>(p);
  b.len = size;
  b.pos = at > 0 ? std::min(static_cast<size_t>(at), size) : 0;
  b.mapped = true;
  return true;
}

void unmapfile(InputBuffer& b) {
  if (b.mapped && !b.inmemory) munmap(const_cast<unsigned char*>(b.data), b.len);
  b.mapped = b.inmemory = false;
}
#else
bool mapfile(InputBuffer& b) { return memfiles && memoryfile(b); }
void unmapfile(InputBuffer& b) { b.mapped = b.inmemory = false; }
#endif

// Makes fp the file of b, read from where its stream stands; nothing of the
// file b had before is kept.
void attach(InputBuffer& b, std::FILE* fp) {
  if (&b == &srcbuf) forgetRuns();
  unmapfile(b);
  b.fp = fp;
  b.data = b.block;
  b.pos = b.len = 0;
  if (fp) mapfile(b);
}

int rawget(InputBuffer& b, std::FILE* fp) {
  if (b.fp != fp) attach(b, fp);
  if (b.pos == b.len) {
    if (!fp || b.mapped) return -1;
    b.len = std::fread(b.block, 1, BLOCKSIZE, fp);
    b.pos = 0;
    if (b.len == 0 && std::ferror(fp)) notefailure(readingFile.c_str(), false, errno);
    if (b.len == 0) return -1;
  }
  return b.data[b.pos++];
}

// The character after a CR, a block boundary or a change of file.
static int readslow(InputBuffer& b, std::FILE* fp) {
  int c = rawget(b, fp);
  if (c == '\r') {
    int d = rawget(b, fp);
    if (d == '\n') return '\n';
    if (d != -1) b.pos--;      // d stays unread
  }
  return c;
}

// The buffer of the file being read and the file itself.
inline InputBuffer& inputbuffer(std::FILE*& fp) {
  fp = inheriting ? fnc_fp : src_fp;
  return inheriting ? fncbuf : srcbuf;
}

// The next character of the current file. Most are buffered bytes that are
// no CR, taken here without a call.
inline int fastchar() {
  std::FILE* fp;
  InputBuffer& b = inputbuffer(fp);
  if (b.fp == fp && b.pos < b.len && b.data[b.pos] != '\r') return b.data[b.pos++];
  return readslow(b, fp);
}

// The buffer whose unread bytes follow the lookahead, when the reader takes
// its characters from a file (not from a macro's text); null otherwise.
// Scanning loops take runs of bytes from it directly.
inline InputBuffer* direct() {
  if (macrosize != 0) return nullptr;
  std::FILE* fp;
  InputBuffer& b = inputbuffer(fp);
  return b.fp == fp ? &b : nullptr;
}

}  // namespace

// 1 while the lookahead is the character that the macro being expanded
// saved after its text: the file's lookahead when the expansion began.
static int savedahead;

// A character read as the lookahead takes the place of whatever a macro's
// buffer had there, the saved character included.
int readchar() {
  savedahead = 0;
  return fastchar();
}

void rewindSource() {
  if (src_fp) std::rewind(src_fp);
  if (srcbuf.fp == src_fp && srcbuf.mapped) {
    srcbuf.pos = 0;
    runcursor = 0;
  } else {
    attach(srcbuf, src_fp);
  }
}

void resetFunctionReader() { attach(fncbuf, fnc_fp); }

void releaseInput() {
  attach(srcbuf, nullptr);
  attach(fncbuf, nullptr);
}

// ---------------------------------------------------------------------------
// Character classes.

int digit(int c) { return c >= '0' && c <= '9'; }

// Every character that may continue a name: a table, as names are most of
// what the reader reads.
constexpr auto LETTERS = [] {
  std::array<bool, 256> t{};
  for (int c = 0; c < 256; c++)
    t[c] = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '_' || (c >= '0' && c <= '9');
  return t;
}();

int letter(int c) { return static_cast<unsigned>(c) < LETTERS.size() && LETTERS[c]; }

// The digit's value plus one, so that 0 can mean "no digit".
int xdigit(int c) {
  if (digit(c)) return c - '0' + 1;
  if (c >= 'a' && c <= 'f') return c - 'a' + 11;
  if (c >= 'A' && c <= 'F') return c - 'A' + 11;
  return 0;
}

// ---------------------------------------------------------------------------
// The reader.

// next() for a lookahead r delivered while a macro's text is in use: a
// character of the buffer, or one that a reader started since then has read
// in its place. Only the saved character's newline moves the position: it
// ends a line of the file it came from.
static int nextmacro(int r) {
  int lineend = r == '\n' && savedahead;
  macrosize--;
  if (macrosize != 0) {
    macroptr++;
    nextchar = static_cast<signed char>(macrobuffer[macroptr]);
    savedahead = macrosize == 2;   // the text, a NUL, the saved character, a NUL
  } else {
    nextchar = readchar();
  }
  if (lineend) {
    currline++;
    currcol = 0;
  }
  return r;
}

// Consumes the lookahead and returns it. At the end of input it stays at
// the end. Characters from a macro's text leave the position alone, except
// the saved lookahead at its end when that is a newline.
static inline int consume() {
  int r = nextchar;
  if (r == -1) return -1;
  if (macrosize != 0) return nextmacro(r);
  currcol++;
  nextchar = fastchar();
  if (r == '\n') {
    currline++;
    currcol = 0;
  }
  return r;
}

int next() { return consume(); }

// Consumes the lookahead, a blank, and the blanks after it in b, exactly as
// that many calls of next() would. A CR ends the run: it may pair with an LF.
static void skipblanks(InputBuffer& b) {
  int line = currline, col = currcol;
  auto step = [&](int c) {
    col++;
    if (c == '\n') {
      line++;
      col = 0;
    }
  };
  step(nextchar);
  const unsigned char* p = b.data + b.pos;
  const unsigned char* e = b.data + b.len;
  for (; p < e && *p <= 32 && *p != '\r'; p++) step(*p);
  currline = line;
  currcol = col;
  b.pos = static_cast<size_t>(p - b.data);
  nextchar = fastchar();
}

// Skips blanks, line ends and control characters; returns the first other
// character (or a negative one: the end of input, a high macro byte).
int getnext() {
  for (;;) {
    int c = consume();
    if (c < 0 || c > 32) return c;
    if (nextchar >= 0 && nextchar <= 32)
      if (InputBuffer* b = direct()) skipblanks(*b);
  }
}

// No character could be taken the quick way; see starttoken().
constexpr int NOTQUICK = -2;

// getnext() for a lookahead read from b, when no comment can come first:
// the blanks before the token, the token's first character and the
// lookahead after it are taken straight from the buffer. Returns NOTQUICK
// when the end of the buffer comes first or the new lookahead would be a CR,
// having changed nothing, or when a '/' ends the blanks: a comment may
// follow, which skipcomments() must see, so only the blanks are consumed
// then. A CR among the blanks is taken as a character of its own: with an
// LF after it, the two leave the line and column where the pair read as one
// line end leaves them.
static int starttoken(InputBuffer& b) {
  int c = nextchar;
  const unsigned char* p = b.data + b.pos;
  const unsigned char* e = b.data + b.len;
  int line = currline, col = currcol;
  for (; c >= 0 && c <= 32; c = *p++) {
    if (p == e) return NOTQUICK;
    col++;
    if (c == '\n') {
      line++;
      col = 0;
    }
  }
  if (c < 0 || p == e || *p == '\r') return NOTQUICK;
  currline = line;
  if (c == '/') {   // the '/' stays the lookahead
    currcol = col;
    nextchar = c;
    b.pos = static_cast<size_t>(p - b.data);
    return NOTQUICK;
  }
  currcol = col + 1;
  nextchar = *p++;
  b.pos = static_cast<size_t>(p - b.data);
  return c;
}

// The line ends among the bytes from p to end. Comments run to many lines,
// so the bytes are compared sixteen at a time where the machine can.
static size_t countlines(const unsigned char* p, const unsigned char* end) {
  size_t n = 0;
#ifdef __SSE2__
  const __m128i lf = _mm_set1_epi8('\n');
  const __m128i zero = _mm_setzero_si128();
  while (end - p >= 16) {
    // Each byte lane counts its line ends down from 0, for at most 255 rounds.
    __m128i counts = zero;
    for (int round = 0; round < 255 && end - p >= 16; round++, p += 16) {
      __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
      counts = _mm_sub_epi8(counts, _mm_cmpeq_epi8(bytes, lf));
    }
    // Two sums of eight lanes each, at most 8 * 255, in the low 32 bits of
    // each half: read as 32-bit values, which 32-bit x86 can do too.
    __m128i sums = _mm_sad_epu8(counts, zero);
    n += static_cast<size_t>(_mm_cvtsi128_si32(sums)) +
         static_cast<size_t>(_mm_cvtsi128_si32(_mm_unpackhi_epi64(sums, sums)));
  }
#endif
  for (; p < end; p++) n += *p == '\n';
  return n;
}

// Moves line and col over the bytes from p to end as consuming them would:
// an LF starts the next line at column 0, any other byte is one column. (A
// CR that pairs with an LF comes before it and so does not count.)
static void advance(const unsigned char* p, const unsigned char* end, int& line, int& col) {
  size_t lines = countlines(p, end);
  if (lines == 0) {
    col += static_cast<int>(end - p);
    return;
  }
  const unsigned char* last = end;   // just after the last line end
  while (last[-1] != '\n') last--;
  line += static_cast<int>(lines);
  col = static_cast<int>(end - last);
}

// Consumes characters while the lookahead is neither stop nor the end of
// input, exactly as that many calls of next() would. Read from a file, the
// characters are passed over a buffer at a time: the lookahead and the bytes
// before the next stop byte (all but a CR that may pair with an LF after
// them), with the lines and columns they hold.
static void skipuntil(int stop) {
  while (nextchar != stop && nextchar != -1) {
    InputBuffer* buffer = direct();
    if (!buffer) {
      next();
      continue;
    }
    InputBuffer& b = *buffer;
    if (nextchar == '\n') {
      currline++;
      currcol = 0;
    } else {
      currcol++;
    }
    const unsigned char* p = b.data + b.pos;
    const unsigned char* e = b.data + b.len;
    auto end = static_cast<const unsigned char*>(std::memchr(p, stop, static_cast<size_t>(e - p)));
    if (!end) end = e;
    if (end > p && end[-1] == '\r') end--;
    if (stop == '\n')   // no line end before the first one
      currcol += static_cast<int>(end - p);
    else
      advance(p, end, currline, currcol);
    b.pos = static_cast<size_t>(end - b.data);
    nextchar = fastchar();
  }
}

// Discards the rest of the line; the newline stays the lookahead.
void trash() { skipuntil('\n'); }

int promote(int t, int yes, int no) {
  if (nextchar == t) {
    next();
    return yes;
  }
  return no;
}

// Reads the body of a quoted string or character constant into symbol, the
// opening delimiter already consumed. A string ends at its delimiter, at the
// end of input or at the end of its line. Returns its length.
int getstring(int delim) {
  strsize = 0;
  thisline = currline;
  bool toolong = false;
  for (;;) {
    int c = next();
    if (c == delim || c == -1 || currline != thisline) break;
    if (c == '\\') {
      c = next();
      switch (c) {
        case 'n': c = 10; break;
        case 'r': c = 13; break;
        case 't': c = 9; break;
        case '0': c = 0; break;
        default: break;
      }
    }
    if (strsize < MAXSTRLEN)
      symbol[strsize++] = static_cast<char>(c);
    else
      toolong = true;
  }
  symbol[strsize++] = 0;
  if (toolong) error("string too long (max 255 characters)");
  if (currline != thisline) error("Missing closing quote");
  stringsize = strsize - 1;
  return strsize - 1;
}

// ---------------------------------------------------------------------------
// Tokens.

// The end of the run of decimal digits from p, before e at the latest.
static const unsigned char* digitsEnd(const unsigned char* p, const unsigned char* e) {
  while (p < e && digit(*p)) p++;
  return p;
}

// The end of the run of characters that continue a name, from p, before e
// at the latest. Names run to 69 characters, so sixteen bytes are tested at
// a time where the machine can.
static const unsigned char* lettersEnd(const unsigned char* p, const unsigned char* e) {
#ifdef __SSE2__
  // Whether each byte lies in [lo, hi]: moved so that lo becomes -128, it
  // is then below -128 + (hi - lo + 1) as a signed byte.
  auto within = [](__m128i v, int lo, int hi) {
    __m128i moved = _mm_add_epi8(v, _mm_set1_epi8(static_cast<char>(128 - lo)));
    return _mm_cmplt_epi8(moved, _mm_set1_epi8(static_cast<char>(-128 + (hi - lo + 1))));
  };
  while (e - p >= 16) {
    __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
    __m128i folded = _mm_or_si128(v, _mm_set1_epi8(0x20));   // upper case onto lower
    __m128i name = _mm_or_si128(_mm_or_si128(within(folded, 'a', 'z'), within(v, '0', '9')),
                                _mm_cmpeq_epi8(v, _mm_set1_epi8('_')));
    unsigned other = ~static_cast<unsigned>(_mm_movemask_epi8(name)) & 0xFFFFu;
    if (other) return p + __builtin_ctz(other);
    p += 16;
  }
#endif
  while (p < e && letter(*p)) p++;
  return p;
}

// Consumes the lookahead, which is no line end, and then the bytes after it
// in the file's buffer up to runEnd(from, end), handing them to take(from,
// to) first: exactly as that many calls of next() would. False, with nothing
// done, when the characters do not come from a file.
template <typename RunEnd, typename Take>
static bool consumeRun(RunEnd runEnd, Take take) {
  InputBuffer* b = direct();
  if (!b) return false;
  const unsigned char* p = b->data + b->pos;
  const unsigned char* e = b->data + b->len;
  const unsigned char* q = runEnd(p, e);
  take(p, q);
  currcol += static_cast<int>(q - p);
  b->pos = static_cast<size_t>(q - b->data);
  if (q < e && *q != '\r') {   // next() as fastchar() would do it
    currcol++;
    b->pos++;
    nextchar = *q;
  } else {
    next();
  }
  return true;
}

// Number: decimal, 0x hexadecimal, or base 2 when a 'b' follows the first
// digit. symbol gets the digits without the radix letter. The decimal digits
// that follow the lookahead in the file's buffer are taken as one run.
static int getnumber(int c) {
  int n = 0;
  bool toolong = false;
  auto keep = [&](int ch) {
    if (n < MAXNAMELEN)
      symbol[n++] = static_cast<char>(ch);
    else
      toolong = true;
  };
  keep(c);
  unsigned value = static_cast<unsigned>(c - '0');
  unsigned radix = 10;
  if (c == '0' && nextchar == 'x') {
    next();
    radix = 16;
  } else if (nextchar == 'b') {
    next();
    radix = 2;
  }
  auto decimal = [&](const unsigned char* p, const unsigned char* q) {
    for (; p < q; p++) {
      keep(*p);
      value = value * 10 + static_cast<unsigned>(*p - '0');
    }
  };
  for (int d; (d = xdigit(nextchar)) != 0 && static_cast<unsigned>(d) <= radix;) {
    keep(nextchar);
    value = value * radix + static_cast<unsigned>(d - 1);
    if (radix != 10 || !consumeRun(digitsEnd, decimal)) next();
  }
  symbol[n] = 0;
  lexval = static_cast<int>(value);
  if (toolong) error("number too long (max 69 characters)");
  return TOK_CONST;
}

// Collects a name into ident, cut to MAXNAMELEN characters, and returns its
// length. The letters that follow the lookahead in the file's buffer are
// taken as one run.
static size_t getname(int c) {
  int n = 0;
  bool toolong = false;
  auto keep = [&](int ch) {
    if (n < MAXNAMELEN)
      ident[n++] = static_cast<char>(ch);
    else
      toolong = true;
  };
  auto letters = [&](const unsigned char* p, const unsigned char* q) {
    auto kept = std::min(q - p, static_cast<std::ptrdiff_t>(MAXNAMELEN - n));
    std::memcpy(ident + n, p, static_cast<size_t>(kept));
    n += static_cast<int>(kept);
    toolong |= kept < q - p;
  };
  keep(c);
  while (letter(nextchar)) {
    keep(nextchar);
    if (!consumeRun(lettersEnd, letters)) next();
  }
  ident[n] = 0;
  if (toolong) error("name too long (max 69 characters)");
  return static_cast<size_t>(n);
}

// Starts delivering the macro's text: the text, a NUL, the lookahead that
// was current and a NUL. The NULs separate the text from what follows.
static void expandmacro(const char* text) {
  size_t len = std::strlen(text);
  if (len > MACROBUFSIZE - 3) len = MACROBUFSIZE - 3;
  std::memcpy(macrobuffer, text, len);
  macrobuffer[len] = 0;
  macrobuffer[len + 1] = static_cast<char>(nextchar);
  macrobuffer[len + 2] = 0;
  macroptr = 0;
  macrosize = static_cast<int>(len) + 3;
  nextchar = static_cast<signed char>(macrobuffer[0]);
  savedahead = 0;
}

// A name that is a reserved word gives its keyword token.
static int nametoken(const NameKey& name) {
  lexval = lookup(name);
  return lexval < RESERVEDNAMES ? KEYWORDBASE + lexval : TOK_NAME;
}

// Moves the state (i: the offset after the lookahead la, line, col) over
// the blanks and the one comment that follow in data, as reading them one
// character at a time would. False when no comment follows the blanks, or
// when the slow path is needed: a CR, the end of the data, a comment that
// the end of input cuts short; the state is then of no use.
static bool passcomment(const unsigned char* data, size_t len, size_t& i, int& la, int& line,
                        int& col) {
  while (la >= 0 && la <= 32) {
    col++;
    if (la == '\n') {
      line++;
      col = 0;
    }
    if (i == len || data[i] == '\r') return false;
    la = data[i++];
  }
  if (la != '/' || i == len) return false;
  const unsigned char* p = data + i;   // after the '/'
  const unsigned char* end = data + len;
  if (*p == '/') {
    // The comment, its line end, and a character after it.
    auto nl = static_cast<const unsigned char*>(std::memchr(p, '\n', static_cast<size_t>(end - p)));
    if (!nl || nl + 1 == end) return false;
    line++;
    col = 0;
    i = static_cast<size_t>(nl + 1 - data);
  } else if (*p == '*') {
    // Up to the first "*/", whose '*' may be the opening one.
    const unsigned char* star = p;
    while ((star = static_cast<const unsigned char*>(
                std::memchr(star, '*', static_cast<size_t>(end - star)))) &&
           (star + 1 == end || star[1] != '/'))
      star++;
    if (!star) return false;
    const unsigned char* after = star + 2;
    col++;   // the '/'
    advance(p, after, line, col);
    i = static_cast<size_t>(after - data);
  } else {
    return false;
  }
  return true;
}

// Passes over the blanks and the comments that follow the lookahead in b
// (only the first comment unless all), leaving everything as scan() would
// after reading them one character at a time: the lookahead after the last
// comment, its line and column, and the error position set there. Changes
// nothing and returns false when not even one comment could be passed.
static bool skipcomment(InputBuffer& b, bool all) {
  size_t i = b.pos;
  int la = nextchar, line = currline, col = currcol;
  size_t at = 0;   // where the bytes after the last comment passed begin
  int atline = 0, atcol = 0;
  bool passed = false;
  while (passcomment(b.data, b.len, i, la, line, col)) {
    at = i;
    atline = line;
    atcol = col;
    passed = true;
    if (!all || i == b.len || b.data[i] == '\r') break;   // the lookahead as fastchar() takes it
    la = b.data[i++];
  }
  if (!passed) return false;
  currline = atline;
  currcol = atcol;
  b.pos = at;
  nextchar = fastchar();
  SetErrorPos();
  return true;
}

// The second pass: steps over the run noted at this place, if any.
static void stepOverRun(InputBuffer& b) {
  const CommentRun* r = runAt(b);
  if (!r) return;
  currcol = r->lines ? r->col : currcol + r->col;
  currline += static_cast<int>(r->lines);
  b.pos = r->to;
  nextchar = b.data[r->to - 1];
  SetErrorPos();
  if (runcursor < runs.size()) __builtin_prefetch(b.data + runs[runcursor].to - 1);
}

// Passes over every blank and comment that follows the lookahead in b,
// noting or using runs in the source. The second pass takes one comment at
// a time, so that it can step over a run wherever one begins.
static void skipcomments(InputBuffer& b) {
  if (nextchar != '/') {   // most tokens follow a blank or two: look past them first
    if (nextchar > ' ') return;
    size_t i = b.pos;
    while (i < b.len && b.data[i] <= ' ' && b.data[i] != '\r') i++;
    if (i < b.len && b.data[i] != '/' && b.data[i] != '\r') return;
  }
  bool source = &b == &srcbuf && b.mapped && b.len <= UINT32_MAX;
  if (source && pass == 2) {
    do stepOverRun(b);
    while (skipcomment(b, false));
    return;
  }
  size_t from = b.pos;
  int la = nextchar, line = currline, col = currcol;
  while (skipcomment(b, true)) {
  }
  if (!source || pass != 1 || b.pos - from < MINRUN || from == 0 || la != b.data[from - 1] ||
      nextchar != b.data[b.pos - 1])
    return;
  if (!runs.empty() && runs.back().from >= from) return;   // noted already: read again
  int lines = currline - line;
  noteRun(b, CommentRun{static_cast<uint32_t>(from), static_cast<uint32_t>(b.pos),
                        static_cast<uint32_t>(lines), lines ? currcol : currcol - col});
}

// Skips a block comment whose '/' is consumed and '*' is the lookahead.
// Returns 0 when the end of input came first.
static int blockcomment() {
  while (nextchar != -1) {
    skipuntil('*');   // nothing before an asterisk can end the comment
    int c = next();
    if (c == '*' && nextchar == '/') break;
  }
  if (nextchar == -1) return 0;
  next();
  return 1;
}

// The offset in its file of c, the character just consumed, when it came
// from a file held whole; -1 otherwise (from a macro's text).
static long consumedAt(int c) {
  InputBuffer* b = direct();
  if (!b || !b->mapped) return -1;
  size_t lookahead = nextchar == -1 ? 0 : 1;
  if (nextchar == '\n' && b->pos >= 2 && b->data[b->pos - 2] == '\r') lookahead = 2;
  if (b->pos < lookahead + 1) return -1;
  size_t at = b->pos - lookahead - 1;
  return b->data[at] == c ? static_cast<long>(at) : -1;
}

// One scan; depth counts the macros it has expanded.
static int scan(int& depth) {
  for (;;) {
    SetErrorPos();
    InputBuffer* b = direct();
    int c = b ? starttoken(*b) : NOTQUICK;
    if (c == NOTQUICK) {
      if (b) skipcomments(*b);
      c = getnext();
    }
    tokline = currline;
    tokcol = currcol;
    if (digit(c)) return getnumber(c);
    if (letter(c)) {
      long at = nameindex.active ? consumedAt(c) : -1;
      NameKey name = namekey(ident, getname(c));
      int k = lookupK(name);
      if (k < 0 || k >= NSYM) {
        int t = nametoken(name);
        if (nameindex.active && t == TOK_NAME) noteName(name.text, name.len, at, 0);
        return t;
      }
      const constant& e = symtab[k];
      if (nameindex.active) noteName(name.text, name.len, at, e.type ? e.type : TOK_CONST);
      if (e.type == TOK_NAME) {   // an alias reads as the other name
        copytext(ident, sizeof ident, e.alias);
        return nametoken(namekey(ident));
      }
      if (e.type == TOK_MACRO) {
        expandmacro(e.alias ? e.alias : "");
        if (++depth >= MAXMACRODEPTH) {
          error("macro expansion too deep");
          macrosize = 0;
          return 0;
        }
        continue;
      }
      copytext(symbol, sizeof symbol, e.alias);
      lexval = e.value;
      if (e.type == TOK_STRING) {
        stringsize = static_cast<int>(std::strlen(symbol));
        strsize = stringsize + 1;
      }
      return e.type;
    }
    if (c == -1) return TOK_EOF;
    switch (c) {
      case '"':
        getstring('"');
        return TOK_STRING;
      case '\'': {
        int n = getstring('\'');
        lexval = static_cast<signed char>(symbol[0]);
        if (n != 1 && n != 2) error("only 1 or 2 character constants allowed");
        if (n == 2) lexval += static_cast<signed char>(symbol[1]) * 256;
        return TOK_CONST;
      }
      case '/':
        if (nextchar == '*') {
          if (!blockcomment()) {
            error("End of file encountered without finding closing '*/'");
            return TOK_EOF;
          }
          continue;
        }
        if (nextchar == '/') {
          trash();   // the comment, then its newline
          next();
          if (nextchar == -1) {
            error("Unexpected end of file encountered");
            return TOK_EOF;
          }
          continue;
        }
        return TOK_DIV;
      case ':':
        if (nextchar == '=') {
          next();
          return TOK_ASSIGN;
        }
        genpop = 1;
        return TOK_LABEL;
      case '=':
        if (nextchar == '=') {
          next();
          return TOK_EQ;
        }
        error("Unknown assignment operator");
        return TOK_EQ;
      case '<':
        if (nextchar == '<') {
          next();
          return TOK_LSH;
        }
        return promote('=', TOK_LE, TOK_LT);
      case '>':
        if (nextchar == '>') {
          next();
          return TOK_RSH;
        }
        return promote('=', TOK_GE, TOK_GT);
      case '!': return promote('=', TOK_NE, TOK_NOT);
      case '&': return promote('&', TOK_ANDAND, TOK_AND);
      case '|': return promote('|', TOK_OROR, TOK_OR);
      case '+': return promote('+', TOK_POSTINC, TOK_ADD);
      case '-': return promote('-', TOK_POSTDEC, TOK_SUB);
      case '*': return TOK_MUL;
      case '%': return TOK_MOD;
      case '^': return TOK_XOR;
      case '$': return TOK_DOLLAR;
      case '#': return TOK_HASH;
      case '(': case ')': case ',': case '.': case ';':
      case '[': case ']': case '{': case '}':
        return c;
      default:
        error("Symbol not understood");
        return 0;
    }
  }
}

// Scans the next token and returns it, setting lexval, symbol and ident.
// A token read from a macro's text is also left in token.
int getlex() {
  if (nameindex.active) nameindex.scans++;
  int depth = 0;
  int t = scan(depth);
  if (depth > 0) token = t;
  return t;
}

void resetLexer() {
  nextchar = 0;
  currline = 0;
  tokline = tokcol = 0;
  currcol = 0;
  fnc_fp = nullptr;
  inheriting = 0;
  std::memset(macrobuffer, 0, sizeof macrobuffer);
  macroptr = 0;
  macrosize = 0;
  savedahead = 0;
  symbol[0] = 0;
  ident[0] = 0;
  strsize = stringsize = 0;
  token = lexval = genpop = 0;
  releaseInput();
}

}  // namespace tavo
