#include "tools/sprdata/FileUtil.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <fstream>
#include <sys/stat.h>
#include <unistd.h>

#include "tools/sprdata/Manifest.h"

void WriteFileAtomically(const std::string& path, std::span<const uint8_t> bytes) {
  std::string temp = path + ".XXXXXX";
  const int fd = mkstemp(temp.data());
  if (fd < 0) throw EDataError(path + ": cannot write (" + std::strerror(errno) + ")");
  size_t done = 0;
  bool ok = true;
  while (ok && done < bytes.size()) {
    const ssize_t n = write(fd, bytes.data() + done, bytes.size() - done);
    if (n <= 0) ok = false;
    else done += size_t(n);
  }
  const int savedErrno = errno;
  ok = ok && fsync(fd) == 0;
  ok = close(fd) == 0 && ok;
  ok = ok && chmod(temp.c_str(), 0644) == 0;
  if (!ok || std::rename(temp.c_str(), path.c_str()) != 0) {
    const int e = ok ? errno : savedErrno;
    std::remove(temp.c_str());
    throw EDataError(path + ": cannot write (" + std::strerror(e) + ")");
  }
}

std::vector<uint8_t> ReadFileBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) throw EDataError(path + ": cannot open");
  return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

namespace {
std::string Escape(const std::string& path) {
  std::string out;
  for (char c : path) {
    if (c == ' ' || c == '#' || c == '\\') out += '\\';
    if (c == '$') out += '$';
    out += c;
  }
  return out;
}
}  // namespace

void WriteDepFile(const std::string& path, const std::string& target,
                  const std::vector<std::string>& dependencies) {
  std::string text = Escape(target) + ":";
  for (const auto& d : dependencies) text += " \\\n  " + Escape(d);
  text += "\n";
  WriteFileAtomically(path, std::span(reinterpret_cast<const uint8_t*>(text.data()), text.size()));
}

void MakeDirectories(const std::string& path) {
  for (size_t i = 1; i <= path.size(); ++i) {
    if (i == path.size() || path[i] == '/') {
      const std::string part = path.substr(0, i);
      if (mkdir(part.c_str(), 0755) != 0 && errno != EEXIST)
        throw EDataError(part + ": cannot create folder (" + std::strerror(errno) + ")");
    }
  }
}
