// expr.cpp: expressions. (Not built yet.)
#include "compiler/compiler.h"

namespace tavo {

int pushop;
int pusharg;
int parenCount;

int expr(int, int) { return 0; }
void pexpr() {}
int pushval(int) { return 0; }
int pushloop(int, int, const int*) { return 0; }
void pderef(int, int) {}

}  // namespace tavo
