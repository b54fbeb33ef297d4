// text.cpp: a document's lines, and columns counted in bytes or in UTF-16
// code units (the protocol's default unit).
#include "lsp.h"

namespace tavolsp {

Text::Text(std::string bytes) : bytes_(std::move(bytes)) {
  starts_.push_back(0);
  for (size_t i = 0; i < bytes_.size(); i++)
    if (bytes_[i] == '\n') starts_.push_back(i + 1);
}

std::string_view Text::line(int i) const {
  if (i < 0 || i >= lines()) return {};
  size_t from = starts_[i];
  size_t to = i + 1 < lines() ? starts_[i + 1] - 1 : bytes_.size();
  if (to > from && bytes_[to - 1] == '\r') to--;
  return std::string_view(bytes_).substr(from, to - from);
}

size_t Text::offset(int line, int byte) const {
  if (line < 0) return 0;
  if (line >= lines()) return bytes_.size();
  return starts_[line] + std::min(static_cast<size_t>(std::max(byte, 0)), this->line(line).size());
}

namespace {

// Bytes of the UTF-8 sequence that starts with c (1 for a stray byte).
int seqlen(unsigned char c) {
  if (c >= 0xF0 && c < 0xF8) return 4;
  if (c >= 0xE0) return c < 0xF0 ? 3 : 1;
  if (c >= 0xC0) return 2;
  return 1;
}

}  // namespace

int Text::toByte(int line, int col, bool utf16) const {
  std::string_view s = this->line(line);
  if (col < 0) return 0;
  if (!utf16) return std::min(col, static_cast<int>(s.size()));
  size_t i = 0;
  for (int units = 0; i < s.size() && units < col;) {
    int n = std::min<int>(seqlen(static_cast<unsigned char>(s[i])), static_cast<int>(s.size() - i));
    units += n == 4 ? 2 : 1;
    i += n;
  }
  return static_cast<int>(i);
}

int Text::fromByte(int line, int byte, bool utf16) const {
  std::string_view s = this->line(line);
  size_t end = std::min(static_cast<size_t>(std::max(byte, 0)), s.size());
  if (!utf16) return static_cast<int>(end);
  int units = 0;
  for (size_t i = 0; i < end;) {
    int n = std::min<int>(seqlen(static_cast<unsigned char>(s[i])), static_cast<int>(s.size() - i));
    units += n == 4 ? 2 : 1;
    i += n;
  }
  return units;
}

}  // namespace tavolsp
