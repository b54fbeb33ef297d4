// symbols.cpp: the name pool and the symbol table.
//
// The name pool holds every identifier once, as consecutive NUL-terminated
// strings; a name is known everywhere by its index. It is only ever cut back
// as a whole, by lowering namecount. The symbol table holds the names that
// directives define, hashed into NHASH buckets whose chains keep entries in
// the order they were added, so the oldest entry of a name is the one found.
//
// Both stores are searched through an index beside them: an open-addressing
// table from a name's full hash to its pool index or to its first symbol
// entry. Other code cuts the pool back and empties the symbol table by plain
// assignment (namecount = n, symtop = 0), so the indexes are never told; a
// slot is trusted only when the position it holds is still in use and the
// text stored there is the name asked for. Slots that fail this are reused.
#include <bit>
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "front/front.h"

namespace tavo {

constant symtab[NSYM];
int qhash[NHASH];
int symtop;

char names[NAMESIZE];
int namecount;
int found;

// nameoff[i] is where name i starts in names; nameoff[namecount] is the end
// of the pool, still right after namecount has been lowered.
static int nameoff[NAMESIZE / 2 + 1];

// ---------------------------------------------------------------------------
// The name index: an open-addressing table of (full hash, position) slots.

namespace {

// Most slots: powers of two whose three quarters exceed the most names a
// store can hold (35000 pool names of one character, NSYM entries), by far
// for the symbol table. An index starts small and doubles as names come, so
// a small program touches little memory.
constexpr int POOLSLOTS = 1 << 16;
constexpr int SYMSLOTS = 1 << 15;
constexpr int FIRSTSLOTS = 1 << 10;

// A zeroed slot is empty, so the indexes need no setting up before the first
// compilation. Four bytes a slot keep the indexes small: fewer pages and
// cache lines for the same names.
struct Slot {
  uint16_t tag;    // top half of the full hash of the name the slot was made for
  uint16_t pos1;   // pool index or symbol entry, plus one; 0: never used
};
static_assert(NAMESIZE / 2 + 1 <= 0xFFFF && NSYM + 1 <= 0xFFFF);

uint16_t tagof(uint32_t key) { return static_cast<uint16_t>(key >> 16); }

struct NameIndex {
  Slot* slots;
  int maxsize;
  int mask;       // slots in use now, minus one
  int used;       // slots filled since the index was last cleared
};

Slot poolslots[POOLSLOTS];
Slot symslots[SYMSLOTS];
NameIndex poolindex{poolslots, POOLSLOTS, FIRSTSLOTS - 1, 0};
NameIndex symindex{symslots, SYMSLOTS, FIRSTSLOTS - 1, 0};

// A hash of the name's len bytes, taken eight at a time (names run to 69
// characters). Each word is mixed by a multiplication of its own, so that
// only a rotation and an exclusive or wait for the word before.
uint32_t fullhash(const char* s, size_t len) {
  constexpr uint64_t K = 0xFF51AFD7ED558CCDu;
  uint64_t h = len * 0x9E3779B97F4A7C15u;
  size_t n = len;
  for (; n >= 8; s += 8, n -= 8) {
    uint64_t w;
    std::memcpy(&w, s, 8);
    h = std::rotl(h, 29) ^ (w * K);
  }
  uint64_t w = 0;
  if (len >= 8) {   // the last eight bytes, some of them hashed already
    std::memcpy(&w, s + n - 8, 8);
  } else if (n >= 4) {
    uint32_t a, b;
    std::memcpy(&a, s, 4);
    std::memcpy(&b, s + n - 4, 4);
    w = a | static_cast<uint64_t>(b) << 32;
  } else {
    for (size_t i = 0; i < n; i++) w = w << 8 | static_cast<unsigned char>(s[i]);
  }
  h = (std::rotl(h, 29) ^ w) * K;
  h ^= h >> 32;
  h *= 0xC4CEB9FE1A85EC53u;
  return static_cast<uint32_t>(h ^ (h >> 29));
}

// Empties the index, at the size that holds `live` names at most a quarter
// full (or the largest).
void clearIndex(NameIndex& x, int live) {
  if (x.used) std::memset(x.slots, 0, sizeof(Slot) * static_cast<size_t>(x.mask + 1));
  x.used = 0;
  int size = FIRSTSLOTS;
  while (live > size / 4 && size < x.maxsize) size *= 2;
  x.mask = size - 1;
}

// Whether pool index i is in use and holds the name.
bool poolHolds(int i, const NameKey& name) {
  return i < namecount && static_cast<size_t>(nameoff[i + 1] - nameoff[i] - 1) == name.len &&
         std::memcmp(names + nameoff[i], name.text, name.len) == 0;
}

// Whether symbol entry i can be reached by lookupK: a counted entry, or the
// entry at symtop after appendK has linked it and before it is counted.
int appendedAt = -1;   // the entry the last appendK wrote
int symhigh;           // entries below this may have been written
bool symLive(int i) {
  return i < symtop || (i == symtop && appendedAt == symtop);
}
bool symHolds(int i, const NameKey& name) {
  return symLive(i) && symtab[i].name && std::strcmp(symtab[i].name, name.text) == 0;
}

// The slot that holds the name in the index, or -1. holds(pos, name) tells
// whether a slot's position still holds it.
template <typename Holds>
int probe(const NameIndex& x, const NameKey& name, Holds holds) {
  const uint16_t tag = tagof(name.hash);
  for (uint32_t i = name.hash;; i++) {
    const Slot& sl = x.slots[i & x.mask];
    if (sl.pos1 == 0) return -1;
    if (sl.tag == tag && holds(sl.pos1 - 1, name)) return static_cast<int>(i & x.mask);
  }
}

// The first slot a new entry for key may take: one whose position is no
// longer in use (live), or the empty slot that ends its probe.
template <typename Live>
int freeSlot(const NameIndex& x, uint32_t key, Live live) {
  for (uint32_t i = key;; i++) {
    const Slot& sl = x.slots[i & x.mask];
    if (sl.pos1 == 0 || !live(sl.pos1 - 1)) return static_cast<int>(i & x.mask);
  }
}

bool poolLive(int i) { return i < namecount; }

int probePool(const NameKey& name) { return probe(poolindex, name, poolHolds); }

int probeSym(const NameKey& name) { return probe(symindex, name, symHolds); }

void place(NameIndex& x, int slot, uint32_t key, int pos) {
  if (x.slots[slot].pos1 == 0) x.used++;
  x.slots[slot] = Slot{tagof(key), static_cast<uint16_t>(pos + 1)};
}

// Past half full the index is made again from the positions in use, which
// drops every stale slot, at a size they fill a quarter of at most: probes
// then seldom pass more than a slot or two. At the largest size the slots
// may fill three quarters; names in use never fill it that far.
bool crowded(const NameIndex& x) {
  int size = x.mask + 1;
  return x.used >= (size < x.maxsize ? size / 2 : size / 4 * 3);
}

void rebuildPool() {
  clearIndex(poolindex, namecount);
  for (int i = 0; i < namecount; i++) {
    size_t len = static_cast<size_t>(nameoff[i + 1] - nameoff[i] - 1);
    NameKey name = namekey(names + nameoff[i], len);
    if (probePool(name) == -1)
      place(poolindex, freeSlot(poolindex, name.hash, poolLive), name.hash, i);
  }
}

void rebuildSym() {
  clearIndex(symindex, symtop + 1);
  for (int i = 0; i <= symtop && i < NSYM; i++) {
    if (!symLive(i) || !symtab[i].name) continue;
    NameKey name = namekey(symtab[i].name);
    if (probeSym(name) == -1) place(symindex, freeSlot(symindex, name.hash, symLive), name.hash, i);
  }
}

// The last entry of each bucket's chain, valid while the bucket is not empty:
// appendK is the only code that fills a bucket, and it sets both. It also
// notes the bucket of every entry it writes.
int qtail[NHASH];
int16_t entrybucket[NSYM];

// The last entry of bucket b's chain. The tail recorded by appendK is
// checked; when it does not fit (an entry rewritten by a second appendK at
// the same position) the chain is walked as far as it can be.
int chainEnd(int b) {
  int t = qtail[b];
  if (t >= 0 && t < NSYM && symtab[t].link == -1 && symtab[t].name && entrybucket[t] == b)
    return t;
  t = qhash[b];
  for (int steps = 0; symtab[t].link != -1 && steps < NSYM; steps++) t = symtab[t].link;
  return t;
}

}  // namespace

// ---------------------------------------------------------------------------
// The symbol table.

// The bucket of a name: the mean of its first and last character and its
// length, (7c + 2l) & 511. Names alike in these three share a chain.
int hash(const char* s, unsigned l) {
  if (l == 0) l = static_cast<unsigned>(std::strlen(s));
  unsigned c = (static_cast<unsigned char>(s[0]) + static_cast<unsigned char>(s[l - 1])) >> 1;
  return static_cast<int>((c * HP1 + l * HP2) & (NHASH - 1));
}

// Adds an entry named s at symtop, at the end of its chain. The caller fills
// alias, type and value and then counts it. Returns -1 when the table is full.
int appendK(const NameKey& name) {
  if (symtop == NSYM) return -1;
  constant& k = symtab[symtop];
  k.name = keeptext(name.text, name.len);
  k.alias = nullptr;
  k.type = 0;
  k.value = 0;
  k.link = -1;
  int b = hash(name.text, static_cast<unsigned>(name.len));
  entrybucket[symtop] = static_cast<int16_t>(b);
  if (qhash[b] == -1) {
    qhash[b] = symtop;
  } else {
    int last = chainEnd(b);
    if (last != symtop) symtab[last].link = symtop;   // never a link to itself
  }
  qtail[b] = symtop;
  appendedAt = symtop;
  if (symtop >= symhigh) symhigh = symtop + 1;
  if (crowded(symindex)) rebuildSym();
  if (probeSym(name) == -1) place(symindex, freeSlot(symindex, name.hash, symLive), name.hash, symtop);
  return 0;
}

int appendK(const char* s) { return appendK(namekey(s)); }

// Index of the first entry named s; NSYM when there is none, -1 when the
// table is empty. Callers treat both as "not defined".
int lookupK(const NameKey& name) {
  if (symtop == 0) return -1;
  int slot = probeSym(name);
  return slot == -1 ? NSYM : symslots[slot].pos1 - 1;
}

int lookupK(const char* s) { return lookupK(namekey(s)); }

NameKey namekey(const char* s, size_t len) { return NameKey{s, len, fullhash(s, len)}; }

NameKey namekey(const char* s) { return namekey(s, std::strlen(s)); }

int eqstr(const char* p, const char* q) {
  while (*p)
    if (*p++ != *q++) return 0;
  return *q == 0;
}

// ---------------------------------------------------------------------------
// The name pool.

// Pool index of name, appending it when it is new; found tells which.
int lookup(const NameKey& key_) {
  found = 0;
  const char* name = key_.text;
  size_t len = key_.len;
  uint32_t key = key_.hash;
  int slot = probePool(key_);
  if (slot != -1) {
    found = 1;
    return poolslots[slot].pos1 - 1;
  }
  int start = nameoff[namecount];
  if (start + static_cast<long>(len) + 1 > NAMESIZE || namecount >= NAMESIZE / 2) {
    error("name pool is full (70000 characters)");
    return namecount;   // an index no name has: an undefined name
  }
  int freeslot = freeSlot(poolindex, key, poolLive);   // before the new name counts
  std::memcpy(names + start, name, len + 1);
  nameoff[namecount + 1] = start + static_cast<int>(len) + 1;
  int index = namecount++;
  if (crowded(poolindex)) {
    rebuildPool();   // takes in the new name too
  } else {
    place(poolindex, freeslot, key, index);
  }
  return index;
}

int lookup(const char* name) { return lookup(namekey(name)); }

int poolchars() { return nameoff[namecount]; }

const char* poolname(int index) {
  if (index < 0 || index >= namecount) return "";
  return names + nameoff[index];
}

void resetSymbols() {
  std::memset(symtab, 0, sizeof(constant) * static_cast<size_t>(symhigh));
  symhigh = 0;
  symtop = 0;
  for (int& b : qhash) b = -1;
  for (int& t : qtail) t = -1;
  namecount = 0;
  nameoff[0] = 0;
  found = 0;
  appendedAt = -1;
  clearIndex(poolindex, 0);
  clearIndex(symindex, 0);
}

}  // namespace tavo
