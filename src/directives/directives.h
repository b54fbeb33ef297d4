// directives.h: the first pass over the directives, constants and data
// tables, platform function files and the function-details table.
#pragma once

#include "base/tavomain.h"

namespace tavo {

// ---------------------------------------------------------------------------
// firstpass.cpp: the directive pass.
extern int main_stackSize;   // 200 unless #STACK sets it
extern int dataStart;        // address of the first data table, 0 for none
extern int dataEnd;          // origin at the end of the first pass

int preprocess();
void resetFirstPass();

// ---------------------------------------------------------------------------
// constants.cpp: #constant, #CONST and #DATA definitions.
void addConstant();
void addData();
void addConstBlock();
void addDataBlock();

// ---------------------------------------------------------------------------
// platform.cpp: function files; "o.fun" lists those loaded first.
// inherited names; full: "too many platform functions"
extern char newfuncs[NEWFUNCSIZE];   // each name preceded by one space
extern int newcount;                 // names in newfuncs
extern int toknum;                   // number of the next inherited function

void PreloadPersonalityFiles();
void LoadFunctionFile(const char* fpath, const char* fname);
void InheritFunction();
void resetPlatform();

// ---------------------------------------------------------------------------
// fundetails.cpp: one entry per callable function, platform functions first;
// full: "too many functions (max 3000)"
extern char* FunctionName[NFUN];         // owned copy of the name
extern int FunctionNumber[NFUN];         // negative: platform; else address
extern int FunctionParameterCount[NFUN];
extern int FunctionReturns[NFUN];        // values returned: 0 or 1
extern int FunctionCount;

// Appends an entry; returns its index, or -1 after reporting a full table.
int InstallFunctionDetails(const char* s, int id, int narg, int returns);
int FindFunctionDetails(int id);
void resetFunctionDetails();

}  // namespace tavo
