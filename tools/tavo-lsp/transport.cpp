// transport.cpp: messages framed by a Content-Length header, as the Language
// Server Protocol sends them over standard input and output.
#include <charconv>

#include "lsp.h"

namespace tavolsp {

namespace {

// The largest message taken: a document of many megabytes fits easily.
constexpr size_t MAXBODY = size_t{1} << 28;

// One header line without its CR LF; false at the end of input.
bool headerLine(std::istream& in, std::string& line) {
  if (!std::getline(in, line)) return false;
  if (!line.empty() && line.back() == '\r') line.pop_back();
  return true;
}

bool startsWithNoCase(std::string_view s, std::string_view prefix) {
  if (s.size() < prefix.size()) return false;
  for (size_t i = 0; i < prefix.size(); i++)
    if (std::tolower(static_cast<unsigned char>(s[i])) != prefix[i]) return false;
  return true;
}

}  // namespace

ReadStatus readMessage(std::istream& in, std::string& body) {
  std::string line;
  long long length = -1;
  bool any = false;
  while (headerLine(in, line)) {
    if (line.empty()) {
      if (!any) continue;  // blank lines between messages
      if (length < 0 || static_cast<unsigned long long>(length) > MAXBODY)
        return ReadStatus::BAD_FRAME;
      body.assign(static_cast<size_t>(length), '\0');
      if (!in.read(body.data(), length)) return ReadStatus::END;
      return ReadStatus::MESSAGE;
    }
    any = true;
    if (startsWithNoCase(line, "content-length:")) {
      std::string_view v(line);
      v.remove_prefix(15);
      while (!v.empty() && v.front() == ' ') v.remove_prefix(1);
      long long n = -1;
      auto [end, ec] = std::from_chars(v.data(), v.data() + v.size(), n);
      length = ec == std::errc() && end == v.data() + v.size() ? n : -1;
    }
  }
  return ReadStatus::END;
}

void writeMessage(std::ostream& out, const json& message) {
  std::string body = message.dump(-1, ' ', false, json::error_handler_t::replace);
  out << "Content-Length: " << body.size() << "\r\n\r\n" << body;
  out.flush();
}

}  // namespace tavolsp
