// platform.cpp: function files. (Not built yet.)
#include "directives/directives.h"

namespace tavo {

char newfuncs[NEWFUNCSIZE];
int newcount;
int toknum;

void PreloadPersonalityFiles() {}
void LoadFunctionFile(const char*, const char*) {}
void InheritFunction() {}

void resetPlatform() {
  newfuncs[0] = 0;
  newcount = 0;
  toknum = 0;
}

}  // namespace tavo
