// auxlog.cpp: the running log "o.aux".
//
// The log is the largest output of a compilation (a line for every global,
// function, argument and label, and the closing summary), so its lines are
// formatted here straight into one buffer that goes to aux_fp a buffer at a
// time, rather than through the C library's printf for each line. Only the
// conversions the log uses are known: %s, %d and %c, with an optional '-'
// and a field width, and %%.
#include <cstdarg>
#include <cstring>

#include "driver/tavomain.h"

namespace tavo {

namespace {

char auxbuf[1 << 14];
size_t auxlen;

void put(const char* s, size_t n) {
  if (auxlen + n > sizeof auxbuf) {
    auxflush();
    if (n > sizeof auxbuf) {
      std::fwrite(s, 1, n, aux_fp);
      return;
    }
  }
  std::memcpy(auxbuf + auxlen, s, n);
  auxlen += n;
}

void pad(size_t n) {
  static const char spaces[] = "                                ";
  for (; n > sizeof spaces - 1; n -= sizeof spaces - 1) put(spaces, sizeof spaces - 1);
  put(spaces, n);
}

// Text in a field of `width` characters, right-aligned unless `left`.
void field(const char* s, size_t n, size_t width, bool left) {
  if (!left && n < width) pad(width - n);
  put(s, n);
  if (left && n < width) pad(width - n);
}

// The decimal digits of v, written backwards from end; returns the first.
char* decimal(int v, char* end) {
  unsigned u = v < 0 ? 0u - static_cast<unsigned>(v) : static_cast<unsigned>(v);
  char* p = end;
  do *--p = static_cast<char>('0' + u % 10);
  while ((u /= 10) != 0);
  if (v < 0) *--p = '-';
  return p;
}

}  // namespace

void auxprintf(const char* fmt, ...) {
  if (!aux_fp) return;
  va_list ap;
  va_start(ap, fmt);
  for (const char* p = fmt; *p;) {
    const char* q = std::strchr(p, '%');
    if (!q) {
      put(p, std::strlen(p));
      break;
    }
    put(p, static_cast<size_t>(q - p));
    p = q + 1;
    bool left = *p == '-';
    if (left) p++;
    size_t width = 0;
    for (; *p >= '0' && *p <= '9'; p++) width = width * 10 + static_cast<size_t>(*p - '0');
    char num[16];
    switch (*p) {
      case 's': {
        const char* s = va_arg(ap, const char*);
        field(s, std::strlen(s), width, left);
        break;
      }
      case 'd': {
        char* end = num + sizeof num;
        char* first = decimal(va_arg(ap, int), end);
        field(first, static_cast<size_t>(end - first), width, left);
        break;
      }
      case 'c':
        num[0] = static_cast<char>(va_arg(ap, int));
        field(num, 1, width, left);
        break;
      case '%': put("%", 1); break;
      default: continue;   // not a conversion of the log's: left out
    }
    p++;
  }
  va_end(ap);
}

void auxflush() {
  if (aux_fp && auxlen) std::fwrite(auxbuf, 1, auxlen, aux_fp);
  auxlen = 0;
}

}  // namespace tavo
