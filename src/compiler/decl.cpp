// decl.cpp: the top level of the second pass. (Not built yet.)
#include "compiler/compiler.h"

namespace tavo {

int globids[NGLOB];
int globoffs[NGLOB];
int globscalar[NGLOB];
int nglob;
int curgloboffs;
int funids[NFUN];
int funoffs[NFUN];
int funargcnt[NFUN];
int nfun;
int argids[NARG];
int narg;
int infunc;

int parse() { return 0; }

void resetCompiler() {
  nglob = nfun = narg = infunc = curgloboffs = 0;
}

}  // namespace tavo
