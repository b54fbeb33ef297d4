// symbols.cpp: the name pool and the symbol table.
//
// The name pool holds every identifier once, as consecutive NUL-terminated
// strings; a name is known everywhere by its index. It is only ever cut back
// as a whole, by lowering namecount. The symbol table holds the names that
// directives define, hashed into NHASH buckets whose chains keep entries in
// the order they were added, so the oldest entry of a name is the one found.
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

// The bucket of a name: the mean of its first and last character and its
// length, (7c + 2l) & 511. Names alike in these three share a chain.
int hash(const char* s, unsigned l) {
  if (l == 0) l = static_cast<unsigned>(std::strlen(s));
  unsigned c = (static_cast<unsigned char>(s[0]) + static_cast<unsigned char>(s[l - 1])) >> 1;
  return static_cast<int>((c * HP1 + l * HP2) & (NHASH - 1));
}

// Adds an entry named s at symtop, at the end of its chain. The caller fills
// alias, type and value and then counts it. Returns -1 when the table is full.
int appendK(const char* s) {
  if (symtop == NSYM) return -1;
  constant& k = symtab[symtop];
  size_t len = std::strlen(s);
  k.name = static_cast<char*>(std::malloc(len + 1));
  std::memcpy(k.name, s, len + 1);
  k.alias = nullptr;
  k.type = 0;
  k.value = 0;
  k.link = -1;
  int b = hash(s, static_cast<unsigned>(len));
  if (qhash[b] == -1) {
    qhash[b] = symtop;
  } else {
    int i = qhash[b];
    while (symtab[i].link != -1) i = symtab[i].link;
    symtab[i].link = symtop;
  }
  return 0;
}

// Index of the first entry named s; NSYM when there is none, -1 when the
// table is empty. Callers treat both as "not defined".
int lookupK(const char* s) {
  if (symtop == 0) return -1;
  for (int i = qhash[hash(s, 0)]; i != -1; i = symtab[i].link)
    if (std::strcmp(symtab[i].name, s) == 0) return i;
  return NSYM;
}

int eqstr(const char* p, const char* q) {
  while (*p)
    if (*p++ != *q++) return 0;
  return *q == 0;
}

// Pool index of name, appending it when it is new; found tells which.
int lookup(const char* name) {
  found = 0;
  for (int i = 0; i < namecount; i++) {
    if (eqstr(names + nameoff[i], name)) {
      found = 1;
      return i;
    }
  }
  int start = nameoff[namecount];
  int len = static_cast<int>(std::strlen(name));
  if (start + len + 1 > NAMESIZE || namecount >= NAMESIZE / 2) {
    error("name pool is full (70000 characters)");
    return namecount;   // an index no name has: an undefined name
  }
  std::memcpy(names + start, name, len + 1);
  nameoff[namecount + 1] = start + len + 1;
  return namecount++;
}

const char* poolname(int index) {
  if (index < 0 || index >= namecount) return "";
  return names + nameoff[index];
}

void resetSymbols() {
  for (int i = 0; i < symtop; i++) {
    std::free(symtab[i].name);
    std::free(symtab[i].alias);
  }
  std::memset(symtab, 0, sizeof symtab);
  symtop = 0;
  for (int& b : qhash) b = -1;
  namecount = 0;
  nameoff[0] = 0;
  found = 0;
}

}  // namespace tavo
