// image.cpp: "o.bin", the image byte for byte, and "o.hex", the same bytes
// as Intel HEX records of 16 bytes, closed by the end-of-file record.
#include <cerrno>

#include "output/output.h"

namespace tavo {

// One record: ":", count, address (high byte first), type, data, checksum.
// The checksum makes the sum of all the record's bytes 0 modulo 256.
void hex8record(std::FILE* fp, int reclen, int loc, const unsigned char* data, int typ) {
  std::fprintf(fp, ":%02X%02X%02X%02X", reclen & 0xFF, (loc >> 8) & 0xFF, loc & 0xFF, typ & 0xFF);
  int sum = reclen + ((loc >> 8) & 0xFF) + (loc & 0xFF) + (typ & 0xFF);
  for (int i = 0; i < reclen; i++) {
    std::fprintf(fp, "%02X", data[i]);
    sum += data[i];
  }
  std::fprintf(fp, "%02X\n", (0 - sum) & 0xFF);
}

// Writes the listing, the HEX file and the image of the first size bytes of
// code; each only when its stream is open.
void dump(int size) {
  if (size < 0) size = 0;
  if (size > MAXCODE) size = MAXCODE;
  if (list_fp) {
    listheading(list_fp, size);
    dumpcode(list_fp, 0, size);
  }
  if (hex_fp) {
    for (int codeptr = 0; codeptr < size;) {
      int n = size - codeptr < 16 ? size - codeptr : 16;
      hex8record(hex_fp, n, codeptr, code + codeptr, 0);
      codeptr += n;
    }
    std::fprintf(hex_fp, ":00000001FF\n");
  }
  // The image is larger than the stream's buffer and goes out at once, so
  // a failure is noted here, where its reason is known.
  if (bin_fp && size > 0 && std::fwrite(code, 1, static_cast<size_t>(size), bin_fp) != static_cast<size_t>(size))
    notefailure(bin_filename, true, errno);
}

}  // namespace tavo
