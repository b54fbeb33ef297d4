// labels.cpp: labels, goto, gosub and lookups. (Not built yet.)
#include "codegen/codegen.h"
#include "compiler/compiler.h"
#include "front/front.h"

namespace tavo {

char* labelids[NLABELS];
int labeladdr[NLABELS];
int labelLine[NLABELS];
int nlabel;
char* jumpids[NLABELS];
int jumpaddr[NLABELS];
int jumpLine[NLABELS];
int njump;

void declLocalLabel(int) {}
int findLocalLabel(const char*) { return -1; }
void declLocalJump(int) {}
void resolveLocalJumps() {}
void destroyLocalJumps() {}
void destroyLocalLabels() {}
void Gosub() {}
void lookup8() {}
void lookup16() {}
// Byte items, numbers or strings separated by commas, appended to the image;
// returns the number of bytes. A number above 255 keeps its low byte, with a
// warning that is no error.
int loadBytes2Codestream() {
  int count = 0;
  do {
    if (token == TOK_STRING) {
      for (int i = 0; i < stringsize; i++, count++) emit(symbol[i]);
    } else if (token == TOK_CONST) {
      if (lexval > 255 && err_fp)
        std::fprintf(err_fp, "Warning, constant is truncated to 8 bit, value was %d\n", lexval);
      emit(lexval);
      count++;
    } else {
      error("Data must be a resolved constant, number or string");
      return count;
    }
    token = getlex();
  } while (match(','));
  return count;
}

}  // namespace tavo
