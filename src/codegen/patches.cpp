// patches.cpp: names in word tables. (Not built yet.)
#include "codegen/codegen.h"

namespace tavo {

char* patchname[PATCHTABLESIZE];
int patchaddr[PATCHTABLESIZE];
int patchtype[PATCHTABLESIZE];
int patchptr;

void xpatchAddress(const char*, int, int) {}
void xapply_patches() {}
void resetPatches() { patchptr = 0; }

}  // namespace tavo
