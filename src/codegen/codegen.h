// codegen.h: the emitter through which all code enters the image, and the
// patch table for names in word tables.
#pragma once

#include "base/tavomain.h"

namespace tavo {

// ---------------------------------------------------------------------------
// emit.cpp: the emitter. code and origin are declared in tavomain.h.

extern int lastop;      // opcode byte of the last instruction emitted
extern int force16;     // the next emitop takes the two-byte operand form
extern int codefull;    // set when a byte was refused because the image is full
// 1 while the code at origin can be run: a jump that always jumps ends it
// (and the statements return and endsub); patching a jump that can be run
// to origin, or a label there, starts it again. Set by whoever starts a
// function.
extern int reachable;

void emitdata(int opc);
void emitword(int w);
void emit(int opc);
int emitop(int op, unsigned operand);
int placejump(int jumptype, int address);
// A constant about to become an operand, read at line, col: the lint when
// its low 16 bits, all an operand keeps, do not say the same number.
void checkoperand(int value, int line, int col);
void patchjump(int a, int c);
int loadBytes2Codestream();   // byte items up to the last comma-separated one
void resetEmitter();

// ---------------------------------------------------------------------------
// patches.cpp: names in word tables, resolved after the second pass;
// full: "too many names in word tables (max 1000)"
extern char* patchname[PATCHTABLESIZE];   // owned copy of the name
extern int patchaddr[PATCHTABLESIZE];     // index of the placeholder in code
extern int patchtype[PATCHTABLESIZE];     // TOK_NAME: a 16-bit word by name
extern int patchptr;                      // entries in use

void xpatchAddress(const char* pname, int ident, int type);
void resetPatches();

}  // namespace tavo
