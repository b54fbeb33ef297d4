// output.h: the image and its HEX form, the listing, the reports and the
// syntax file.
#pragma once

#include <cstdio>
#include <string>

#include "base/tavomain.h"

namespace tavo {

// ---------------------------------------------------------------------------
// image.cpp
void dump(int size);
void hex8record(std::FILE* fp, int reclen, int loc, const unsigned char* data, int typ);

// ---------------------------------------------------------------------------
// listing.cpp
void listheading(std::FILE* fp, int size);
void dumpcode(std::FILE* fp, int from, int to);
int listinstr(int a, std::string& bytes, std::string& text);

// ---------------------------------------------------------------------------
// reports.cpp
void CreateSyntaxFile();
void writeSummary();     // the closing sections of "o.aux"

}  // namespace tavo
