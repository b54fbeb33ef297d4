// constants.cpp: #constant, #CONST and #DATA. (Not built yet.)
#include "directives/directives.h"

namespace tavo {

void addConstant() {}
void addData() {}
void addConstBlock() {}
void addDataBlock() {}

}  // namespace tavo
