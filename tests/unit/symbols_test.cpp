// The name pool and the symbol table: bucket values, the order and indices
// that lookups give, and what stays true when other code cuts the pool back
// or empties the table by assignment.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "testutil.h"

using namespace tavo;
using tavo::test::captureErrors;
using tavo::test::errors;

namespace {

// Adds a counted entry, as the definitions of constants do.
int add(const std::string& nm) {
  if (appendK(nm.c_str()) != 0) return -1;
  return symtop++;
}

// The name pool and symbol table searched the plain way, by walking: what
// the indexed lookups must agree with.
struct Model {
  std::vector<std::string> pool;
  std::vector<std::string> entries;   // entries[symtop] when appended uncounted

  int lookup(const std::string& s, int& wasfound) {
    for (size_t i = 0; i < pool.size(); i++)
      if (pool[i] == s) {
        wasfound = 1;
        return static_cast<int>(i);
      }
    wasfound = 0;
    pool.push_back(s);
    return static_cast<int>(pool.size()) - 1;
  }
  int lookupK(const std::string& s) const {
    if (symtop == 0) return -1;
    for (size_t i = 0; i < entries.size(); i++)
      if (entries[i] == s) return static_cast<int>(i);
    return NSYM;
  }
};

}  // namespace

TEST(Hash, BucketsOfKnownNames) {
  EXPECT_EQ(hash("abc", 0), 180);
  EXPECT_EQ(hash("A", 0), 457);
  EXPECT_EQ(hash("var", 0), 306);
  EXPECT_EQ(hash("main", 0), 259);
  EXPECT_EQ(hash("ab", 0), 171);
  EXPECT_EQ(hash("ba", 0), 171);
  EXPECT_EQ(hash("main", 4), 259);   // a given length is used as it is
  EXPECT_EQ(hash("mainx", 4), 259);
}

TEST(SymbolTable, EmptyAbsentAndSharedBuckets) {
  resetAll();
  EXPECT_EQ(lookupK("ab"), -1);   // empty table
  EXPECT_EQ(add("ab"), 0);
  EXPECT_EQ(add("ba"), 1);
  EXPECT_EQ(lookupK("ab"), 0);
  EXPECT_EQ(lookupK("ba"), 1);
  EXPECT_EQ(lookupK("aab"), NSYM);
  EXPECT_EQ(lookupK("Ab"), NSYM);   // case-sensitive
  // both in bucket 171, the older first
  EXPECT_EQ(qhash[171], 0);
  EXPECT_EQ(symtab[0].link, 1);
  EXPECT_EQ(symtab[1].link, -1);
}

TEST(SymbolTable, OldestOfTwoEntriesIsFound) {
  resetAll();
  add("x");
  add("K");
  add("y");
  add("K");   // a caller that skipped the redefinition test
  EXPECT_EQ(lookupK("K"), 1);
  EXPECT_EQ(symtab[1].link, 3);
}

TEST(SymbolTable, EntryIsFoundOnceLinkedBeforeItIsCounted) {
  resetAll();
  ASSERT_EQ(appendK("T"), 0);
  EXPECT_EQ(lookupK("T"), -1);   // the table still counts as empty
  symtop++;
  ASSERT_EQ(appendK("U"), 0);    // a table named in its own definition
  EXPECT_EQ(lookupK("U"), 1);
  EXPECT_EQ(symtab[1].type, 0);
  ASSERT_EQ(appendK("V"), 0);    // a second append at the same place
  EXPECT_EQ(lookupK("U"), NSYM);
  EXPECT_EQ(lookupK("V"), 1);
}

TEST(SymbolTable, FullTableRefusesAndOneBucketHoldsThousands) {
  resetAll();
  // every name has first and last character 'k' and length 7: one bucket
  char nm[16];
  for (int i = 0; i < NSYM; i++) {
    std::snprintf(nm, sizeof nm, "k%05dk", i);
    ASSERT_EQ(add(nm), i);
  }
  EXPECT_EQ(appendK("more"), -1);
  EXPECT_EQ(symtop, NSYM);
  int b = hash("k00000k", 0);
  EXPECT_EQ(qhash[b], 0);
  int walked = 0;
  for (int i = qhash[b]; i != -1; i = symtab[i].link, walked++) ASSERT_EQ(i, walked);
  EXPECT_EQ(walked, NSYM);
  for (int i = 0; i < NSYM; i += 97) {
    std::snprintf(nm, sizeof nm, "k%05dk", i);
    EXPECT_EQ(lookupK(nm), i);
  }
  EXPECT_EQ(lookupK("k99999k"), NSYM);
}

TEST(NamePool, IndicesFoundAndCutBacks) {
  resetAll();
  EXPECT_EQ(lookup("a"), 0);
  EXPECT_EQ(found, 0);
  EXPECT_EQ(lookup("b"), 1);
  EXPECT_EQ(lookup("c"), 2);
  EXPECT_EQ(lookup("b"), 1);
  EXPECT_EQ(found, 1);
  namecount = 1;   // cut back as the passes do
  EXPECT_EQ(lookup("c"), 1);
  EXPECT_EQ(found, 0);
  EXPECT_EQ(lookup("b"), 2);
  EXPECT_EQ(found, 0);
  EXPECT_STREQ(poolname(1), "c");
  EXPECT_STREQ(poolname(2), "b");
  namecount--;   // withdraw "b"
  EXPECT_EQ(lookup("c"), 1);
  EXPECT_EQ(found, 1);
  EXPECT_EQ(lookup("bb"), 2);   // reuses the place "b" had
  EXPECT_EQ(lookup("b"), 3);
  EXPECT_EQ(lookup("bb"), 2);
  EXPECT_EQ(found, 1);
  EXPECT_STREQ(poolname(4), "");
}

TEST(NamePool, ReservedWordsAreCaseSensitive) {
  test::startSource("");
  EXPECT_EQ(lookup("if"), 0);
  EXPECT_EQ(found, 1);
  EXPECT_EQ(lookup("CONST"), 24);
  EXPECT_EQ(lookup("constant"), 21);
  int n = namecount;
  EXPECT_EQ(lookup("If"), n);
  EXPECT_EQ(found, 0);
}

TEST(NamePool, FullAtExactly70000Characters) {
  resetAll();
  captureErrors();
  // 6999 names of 9 characters and their terminators: 69990 characters
  char nm[16];
  for (int i = 0; i < 6999; i++) {
    std::snprintf(nm, sizeof nm, "n%08d", i);
    ASSERT_EQ(lookup(nm), i);
  }
  EXPECT_EQ(lookup("toolongxyz"), 6999);   // 11 characters: no room
  EXPECT_EQ(ecount, 1);
  EXPECT_NE(errors().find("name pool is full (70000 characters)"), std::string::npos);
  EXPECT_EQ(namecount, 6999);
  ecount = 0;
  EXPECT_EQ(lookup("lastname9"), 6999);    // 10 characters: the pool is full
  EXPECT_EQ(found, 0);
  EXPECT_EQ(ecount, 0);
  EXPECT_EQ(lookup("n00000123"), 123);     // lookups of names in it still work
  EXPECT_EQ(found, 1);
  EXPECT_EQ(lookup("x"), 7000);
  EXPECT_EQ(ecount, 1);
  EXPECT_EQ(lookup("lastname9"), 6999);
  EXPECT_EQ(found, 1);
}

// Random runs of lookups, appends, cut-backs and the driver's resets by
// assignment, compared step by step with plain walks.
TEST(Indexes, AgreeWithPlainSearchThroughCutBacksAndResets) {
  resetAll();
  Model m;
  std::mt19937 rng(12345);
  auto pick = [&](int n) { return static_cast<int>(rng() % static_cast<unsigned>(n)); };
  int fresh = 0;
  for (int step = 0; step < 100000; step++) {
    int op = pick(100);
    std::string s;
    if (pick(4) == 0) {
      s = "f" + std::to_string(fresh++);   // a name not seen before
    } else {
      s = "n" + std::to_string(pick(300));
      if (pick(2)) s += "x";
    }
    if (op < 60) {
      int wasfound;
      int want = m.lookup(s, wasfound);
      ASSERT_EQ(lookup(s.c_str()), want) << "step " << step << " " << s;
      ASSERT_EQ(found, wasfound) << "step " << step;
    } else if (op < 70) {
      int n = pick(static_cast<int>(m.pool.size()) + 1);
      m.pool.resize(static_cast<size_t>(n));
      namecount = n;
    } else if (op < 85) {
      ASSERT_EQ(lookupK(s.c_str()), m.lookupK(s)) << "step " << step << " " << s;
    } else if (op < 98) {
      if (symtop == NSYM) continue;
      if (appendK(s.c_str()) != 0) FAIL();
      m.entries.push_back(s);
      symtop++;
    } else if (op == 98) {
      namecount = 0;   // the driver's starting values
      symtop = 0;
      for (int& b : qhash) b = -1;
      m.pool.clear();
      m.entries.clear();
    } else {
      resetAll();
      m.pool.clear();
      m.entries.clear();
    }
  }
}

// Names that live briefly leave stale slots in the indexes until these are
// reused or the index is made again; many rounds of them must change
// nothing that lookups return.
TEST(Indexes, ManyShortLivedNames) {
  resetAll();
  char nm[32];
  for (int round = 0; round < 120; round++) {
    namecount = 0;
    symtop = 0;
    for (int& b : qhash) b = -1;
    for (int k = 0; k < 1000; k++) {
      std::snprintf(nm, sizeof nm, "r%d_%d", round, k);
      ASSERT_EQ(lookup(nm), k);
      ASSERT_EQ(found, 0);
      ASSERT_EQ(add(nm), k);
    }
    for (int k = 0; k < 1000; k += 37) {
      std::snprintf(nm, sizeof nm, "r%d_%d", round, k);
      ASSERT_EQ(lookup(nm), k);
      ASSERT_EQ(found, 1);
      ASSERT_EQ(lookupK(nm), k);
      std::snprintf(nm, sizeof nm, "r%d_%d", round - 1, k);
      ASSERT_EQ(lookupK(nm), NSYM);
    }
  }
}

// Texts go on in chunk after chunk, one longer than a chunk included; every copy stays as it was until the store is
// emptied, and the store is used again from its start after that.
TEST(TextStore, CopiesOutliveNewChunksAndAReset) {
  for (int round = 0; round < 2; round++) {
    resetTextStore();
    std::vector<std::pair<const char*, std::string>> kept;
    std::mt19937 rng(round);
    size_t total = 0;
    while (total < (600u << 10)) {
      std::string s(rng() % 70, 'a');
      for (char& c : s) c = static_cast<char>('a' + rng() % 26);
      if (kept.size() == 3000) s = std::string(80000, 'L');   // longer than a chunk
      kept.emplace_back(keeptext(s.c_str()), s);
      total += s.size() + 1;
    }
    for (const auto& [copy, text] : kept) ASSERT_EQ(std::string(copy), text);
  }
  resetTextStore();
}
