// print.cpp: the print statement. (Not built yet.)
#include "compiler/compiler.h"

namespace tavo {

void VM_Print() {}

}  // namespace tavo
