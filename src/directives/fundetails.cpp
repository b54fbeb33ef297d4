// fundetails.cpp: the function-details table.
//
// One entry per callable function: the nine built-ins, then the inherited
// platform functions, then the program's own in source order. Calls are
// checked against it, and the closing report lists it.
#include <cstdlib>
#include <cstring>

#include "directives/directives.h"

namespace tavo {

char* FunctionName[NFUN];
int FunctionNumber[NFUN];
int FunctionParameterCount[NFUN];
int FunctionReturns[NFUN];
int FunctionCount;

int InstallFunctionDetails(const char* s, int id, int narg, int returns) {
  if (FunctionCount >= NFUN) {
    error("too many functions (max 3000)");
    return -1;
  }
  int i = FunctionCount++;
  FunctionName[i] = keeptext(s);
  FunctionNumber[i] = id;
  FunctionParameterCount[i] = narg;
  FunctionReturns[i] = returns;
  return i;
}

// Index of the first entry numbered id, or 0 when there is none. 0 is also
// the answer for serin, the first entry.
int FindFunctionDetails(int id) {
  for (int i = 0; i < FunctionCount; i++)
    if (FunctionNumber[i] == id) return i;
  return 0;
}

void resetFunctionDetails() {
  for (char*& s : FunctionName) s = nullptr;
  for (int i = 0; i < NFUN; i++)
    FunctionNumber[i] = FunctionParameterCount[i] = FunctionReturns[i] = 0;
  FunctionCount = 0;
}

}  // namespace tavo
