// auxlog.cpp: the running log "o.aux".
//
// The log is the largest output of a compilation (a line for every global,
// function, argument and label, and the closing summary). Its lines are put
// together from pieces (auxline) straight into one buffer that goes to
// aux_fp when it is full, when auxflush() is called and before the file
// closes: no format is parsed, and the texts known at compile time are
// copied with their lengths known.
#include <algorithm>
#include <cerrno>
#include <cstring>

#include "base/tavomain.h"

namespace tavo {

char auxbuf[AUXBUFSIZE];
size_t auxlen;

void auxspill(const char* s, size_t n) {
  auxflush();
  if (n > AUXBUFSIZE) {
    if (std::fwrite(s, 1, n, aux_fp) != n) notefailure(aux_filename, true, errno);
    return;
  }
  std::memcpy(auxbuf, s, n);
  auxlen = n;
}

void auxpiece(int v) {
  char digits[12];
  char* end = digits + sizeof digits;
  char* p = end;
  unsigned u = v < 0 ? 0u - static_cast<unsigned>(v) : static_cast<unsigned>(v);
  do *--p = static_cast<char>('0' + u % 10);
  while ((u /= 10) != 0);
  if (v < 0) *--p = '-';
  auxpiece(std::string_view(p, static_cast<size_t>(end - p)));
}

void auxpiece(const Field& f) {
  static const char spaces[] = "                    ";
  size_t n = std::max(f.text.size(), f.width);
  if (n <= AUXBUFSIZE - auxlen) {   // most fields: the text and its spaces in place
    std::memcpy(auxbuf + auxlen, f.text.data(), f.text.size());
    std::memset(auxbuf + auxlen + f.text.size(), ' ', n - f.text.size());
    auxlen += n;
    return;
  }
  auxpiece(f.text);
  for (size_t n = f.text.size(); n < f.width; n += sizeof spaces - 1)
    auxpiece(std::string_view(spaces, std::min(f.width - n, sizeof spaces - 1)));
}

void auxflush() {
  // The stream keeps no buffer of its own, so a failed write is noted here,
  // with its reason, rather than when the file closes.
  if (aux_fp && auxlen && std::fwrite(auxbuf, 1, auxlen, aux_fp) != auxlen)
    notefailure(aux_filename, true, errno);
  auxlen = 0;
}

}  // namespace tavo
