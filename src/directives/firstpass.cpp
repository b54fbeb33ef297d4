// firstpass.cpp: the directive pass. (Not built yet: it does nothing.)
#include "directives/directives.h"

namespace tavo {

int main_stackSize;
int dataStart;
int dataEnd;

int preprocess() { return ecount; }

void resetFirstPass() {
  main_stackSize = 0;
  dataStart = dataEnd = 0;
}

}  // namespace tavo
