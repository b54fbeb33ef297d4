// state.cpp: the state of the compilation as a whole.
//
// The pass, the ranges of the name pool, the open files and their names:
// what the driver sets up and every part of the compiler reads. The driver
// (driver.cpp) gives them their values; they live here, at the bottom, so
// that the parts below the driver need nothing from above them.
#include "base/tavomain.h"

namespace tavo {

int pass;
int RESERVEDNAMES;
int INHERENTNAMES;
int LASTNAME;
int SYSTEMCALLS;
int hasMain;
int codesize;
int main_argcount;
int main_hasret;
int controlfile;
std::FILE* src_fp;
std::FILE* err_fp;
std::FILE* list_fp;
std::FILE* hex_fp;
std::FILE* sym_fp;
std::FILE* aux_fp;
std::FILE* map_fp;
std::FILE* bin_fp;
char in_filename[FILENAMESIZE];
char list_filename[FILENAMESIZE];
char hex_filename[FILENAMESIZE];
char sym_filename[FILENAMESIZE];
char err_filename[FILENAMESIZE];
char aux_filename[FILENAMESIZE];
char map_filename[FILENAMESIZE];
char bin_filename[FILENAMESIZE];
char cntrl_filename[FILENAMESIZE];
char fun_filename[FILENAMESIZE];
char currentFunctionName[FUNCNAMESIZE];
int thisline;
int narg;

}  // namespace tavo
