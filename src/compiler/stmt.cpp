// stmt.cpp: statements and blocks. (Not built yet.)
#include "compiler/compiler.h"

namespace tavo {

int inif, inwhile, indo;
int nestindex;
int hasreturn, retvoid;
int localids[NLOCAL];
int nlocal;

void decloc() {}
void block() {}
int stmt() { return 0; }

}  // namespace tavo
