// memfiles.cpp: a compilation's directory held in memory.
//
// When memfiles is set, openInput and openOutput find their files in it
// instead of the current directory: the inputs are byte strings by path,
// the outputs byte strings that the streams write into. The compiler reads
// and writes through the same stdio calls either way, so a compilation from
// memory takes exactly the steps of one in a directory. An output is
// emptied when it is opened, and an input path that names an output reads
// the bytes written to it so far, as a file in the directory would read.
//
// Streams over memory need the C library's custom streams (glibc); on other
// systems memoryFilesSupported() is false and nothing here is used.
#include <map>
#include <string>
#include <vector>

#include "base/tavomain.h"

namespace tavo {

MemoryFiles* memfiles;

#if defined(__GLIBC__)

namespace {

// One open stream over memory: an input reads bytes it does not own (an
// input of the table, or its own copy of an output); an output writes into
// its string in the table.
struct MemStream {
  const std::string* in = nullptr;
  std::string copy;  // an output read back as an input
  std::string* out = nullptr;
  size_t pos = 0;
  const std::string& bytes() const { return out ? *out : *in; }
};

std::map<std::FILE*, MemStream*> openStreams;

ssize_t memread(void* cookie, char* buf, size_t size) {
  auto* m = static_cast<MemStream*>(cookie);
  const std::string& s = m->bytes();
  size_t n = m->pos < s.size() ? std::min(size, s.size() - m->pos) : 0;
  std::memcpy(buf, s.data() + m->pos, n);
  m->pos += n;
  return static_cast<ssize_t>(n);
}

ssize_t memwrite(void* cookie, const char* buf, size_t size) {
  auto* m = static_cast<MemStream*>(cookie);
  if (!m->out) return 0;
  std::string& s = *m->out;
  if (m->pos > s.size()) s.resize(m->pos);
  s.replace(m->pos, std::min(size, s.size() - m->pos), buf, size);
  m->pos += size;
  return static_cast<ssize_t>(size);
}

int memseek(void* cookie, off64_t* offset, int whence) {
  auto* m = static_cast<MemStream*>(cookie);
  off64_t base = whence == SEEK_SET   ? 0
                 : whence == SEEK_CUR ? static_cast<off64_t>(m->pos)
                                      : static_cast<off64_t>(m->bytes().size());
  if (base + *offset < 0) return -1;
  m->pos = static_cast<size_t>(base + *offset);
  *offset = static_cast<off64_t>(m->pos);
  return 0;
}

int memclose(void* cookie) {
  auto* m = static_cast<MemStream*>(cookie);
  for (auto it = openStreams.begin(); it != openStreams.end(); ++it)
    if (it->second == m) {
      openStreams.erase(it);
      break;
    }
  delete m;
  return 0;
}

std::FILE* openStream(MemStream* m, const char* mode) {
  cookie_io_functions_t io{memread, memwrite, memseek, memclose};
  std::FILE* fp = fopencookie(m, mode, io);
  if (!fp) {
    delete m;
    return nullptr;
  }
  openStreams[fp] = m;
  return fp;
}

// True when path (normalised) is a folder of the table: the top, or the
// beginning of a path of an input or an output.
bool isFolder(const std::string& path) {
  if (path.empty()) return true;
  if (!memfiles) return false;
  std::string prefix = path + "/";
  auto has = [&](const std::map<std::string, std::string>& files) {
    auto it = files.lower_bound(prefix);
    return it != files.end() && it->first.compare(0, prefix.size(), prefix) == 0;
  };
  return has(memfiles->inputs) || has(memfiles->outputs);
}

}  // namespace

// The path of a file of the table that path names, relative to the top and
// without "." or ".." parts; false when it names no file there: a folder, a
// path above the top, or one that goes through something that is no folder.
bool memoryPath(const char* path, std::string& out) {
  if (*path == '/') return false;
  std::vector<std::string> parts;
  auto joined = [&] {
    std::string s;
    for (const std::string& part : parts) s += (s.empty() ? "" : "/") + part;
    return s;
  };
  std::string part;
  const char* p = path;
  for (;;) {
    const char* slash = std::strchr(p, '/');
    part.assign(p, slash ? static_cast<size_t>(slash - p) : std::strlen(p));
    if (!isFolder(joined())) return false;  // only a folder has names in it
    if (part == "..") {
      if (parts.empty()) return false;
      parts.pop_back();
    } else if (!part.empty() && part != ".") {
      parts.push_back(part);
    }
    if (!slash) break;
    p = slash + 1;
  }
  if (part.empty() || part == "." || part == ".." || parts.empty()) return false;
  out = joined();
  return true;
}

bool memoryFilesSupported() { return true; }

std::FILE* memoryInput(const char* path) {
  std::string key;
  if (!memoryPath(path, key) || isFolder(key)) return nullptr;
  auto* m = new MemStream;
  if (auto o = memfiles->outputs.find(key); o != memfiles->outputs.end()) {
    m->copy = o->second;  // as it stands now
    m->in = &m->copy;
  } else if (auto i = memfiles->inputs.find(key); i != memfiles->inputs.end()) {
    m->in = &i->second;
  } else {
    delete m;
    return nullptr;
  }
  return openStream(m, "rb");
}

std::FILE* memoryOutput(const char* path, const char* mode) {
  std::string key;
  if (!memoryPath(path, key) || isFolder(key)) return nullptr;
  auto* m = new MemStream;
  m->out = &memfiles->outputs[key];
  m->out->clear();
  return openStream(m, mode);
}

const std::string* memoryBytes(std::FILE* fp) {
  auto it = openStreams.find(fp);
  return it == openStreams.end() || it->second->out ? nullptr : it->second->in;
}

#else

bool memoryFilesSupported() { return false; }
bool memoryPath(const char*, std::string&) { return false; }
std::FILE* memoryInput(const char*) { return nullptr; }
std::FILE* memoryOutput(const char*, const char*) { return nullptr; }
const std::string* memoryBytes(std::FILE*) { return nullptr; }

#endif

}  // namespace tavo
