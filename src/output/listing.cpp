// listing.cpp: the P-code listing. (Not built yet.)
#include "output/output.h"

namespace tavo {

void listheading(std::FILE*, int) {}
void dumpcode(std::FILE*, int, int) {}

}  // namespace tavo
