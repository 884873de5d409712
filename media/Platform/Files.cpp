#include "media/Platform/Files.h"

#include <algorithm>
#include <cerrno>
#include <fstream>
#include <random>
#include <stdexcept>
#include <utility>

#ifdef _WIN32
#include <windows.h>
#else
#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

#include "media/Platform/MainLoop.h"
#include "media/Platform/Paths.h"

namespace fs = std::filesystem;

namespace Platform {

#ifdef _WIN32

namespace {

// The game words a failure by its kind, which is the same on both hosts; the
// system's own text would be in whatever language the system speaks.
std::error_code GenericCode(DWORD error) {
  int code = EIO;
  switch (error) {
    case ERROR_ACCESS_DENIED:
    case ERROR_SHARING_VIOLATION:
    case ERROR_LOCK_VIOLATION: code = EACCES; break;
    case ERROR_WRITE_PROTECT: code = EROFS; break;
    case ERROR_DISK_FULL:
    case ERROR_HANDLE_DISK_FULL: code = ENOSPC; break;
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND: code = ENOENT; break;
    case ERROR_FILENAME_EXCED_RANGE: code = ENAMETOOLONG; break;
    default: break;
  }
  return std::error_code(code, std::generic_category());
}

// A name of its own beside the target; CREATE_NEW refuses one that is taken.
HANDLE CreateBeside(const fs::path& target, fs::path& temp) {
  std::random_device seed;
  std::mt19937 random(seed());
  for (int attempt = 0; attempt < 100; ++attempt) {
    temp = target;
    temp += L"." + std::to_wstring(random() % 1000000) + L".tmp";
    HANDLE file = CreateFileW(temp.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file != INVALID_HANDLE_VALUE || GetLastError() != ERROR_FILE_EXISTS) return file;
  }
  return INVALID_HANDLE_VALUE;
}

}  // namespace

std::error_code ReplaceFileContents(const fs::path& target, std::string_view bytes) {
  fs::path temp;
  HANDLE file = CreateBeside(target, temp);
  if (file == INVALID_HANDLE_VALUE) return GenericCode(GetLastError());
  DWORD error = 0;
  size_t done = 0;
  while (error == 0 && done < bytes.size()) {
    DWORD written = 0;
    const DWORD piece = DWORD(std::min<size_t>(bytes.size() - done, 1 << 20));
    if (!WriteFile(file, bytes.data() + done, piece, &written, nullptr) || written == 0)
      error = GetLastError() ? GetLastError() : ERROR_WRITE_FAULT;
    done += written;
  }
  if (error == 0 && !FlushFileBuffers(file)) error = GetLastError();
  if (!CloseHandle(file) && error == 0) error = GetLastError();
  // A player who made the file read-only keeps it that way: the mark is lifted only
  // for the replacement, as the owner of a read-only file may on Linux.
  const DWORD old = GetFileAttributesW(target.c_str());
  const bool readOnly = old != INVALID_FILE_ATTRIBUTES && (old & FILE_ATTRIBUTE_READONLY);
  const DWORD writable = old & ~DWORD(FILE_ATTRIBUTE_READONLY);
  if (error == 0 && readOnly) SetFileAttributesW(target.c_str(), writable ? writable : FILE_ATTRIBUTE_NORMAL);
  if (error == 0 && !MoveFileExW(temp.c_str(), target.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
    error = GetLastError();
  if (readOnly) SetFileAttributesW(target.c_str(), old);
  if (error != 0) {
    DeleteFileW(temp.c_str());
    return GenericCode(error);
  }
  return {};
}

fs::path MakeTempFolder(std::string_view prefix) {
  std::random_device seed;
  std::mt19937 random(seed());
  const fs::path base = fs::temp_directory_path();
  for (int attempt = 0; attempt < 100; ++attempt) {
    fs::path dir = base / PathFromUtf8(std::string(prefix) + std::to_string(random() % 100000000));
    if (CreateDirectoryW(dir.c_str(), nullptr)) return dir;
    if (GetLastError() != ERROR_ALREADY_EXISTS) break;
  }
  throw std::runtime_error("cannot make a temporary folder");
}

#else

namespace {

bool WriteAll(int fd, std::string_view bytes) {
  size_t done = 0;
  while (done < bytes.size()) {
    const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      if (n == 0) errno = EIO;
      return false;
    }
    done += size_t(n);
  }
  return true;
}

// Makes the rename itself survive a power cut; the new file is complete either way.
void SyncFolder(const fs::path& folder) {
  const int fd = ::open(folder.empty() ? "." : folder.c_str(), O_RDONLY | O_DIRECTORY);
  if (fd < 0) return;
  ::fsync(fd);
  ::close(fd);
}

}  // namespace

std::error_code ReplaceFileContents(const fs::path& target, std::string_view bytes) {
  // A player who made the file read-only for others keeps it that way.
  mode_t mode = 0644;
  struct stat old {};
  if (::stat(target.c_str(), &old) == 0) mode = old.st_mode & 07777;

  std::string temp = target.string() + ".XXXXXX";
  const int fd = ::mkstemp(temp.data());
  if (fd < 0) return std::error_code(errno, std::generic_category());

  int error = 0;
  if (!WriteAll(fd, bytes) || ::fsync(fd) != 0 || ::fchmod(fd, mode) != 0) error = errno;
  if (::close(fd) != 0 && error == 0) error = errno;
  if (error == 0 && ::rename(temp.c_str(), target.c_str()) != 0) error = errno;
  if (error != 0) {
    ::unlink(temp.c_str());
    return std::error_code(error, std::generic_category());
  }
  SyncFolder(target.parent_path());
  PlayerFilesChanged();
  return {};
}

fs::path MakeTempFolder(std::string_view prefix) {
  std::string name = (fs::temp_directory_path() / prefix).string() + "XXXXXX";
  if (!::mkdtemp(name.data())) throw std::runtime_error("cannot make a temporary folder");
  return name;
}

#endif

TFileBytes::~TFileBytes() { Release(); }

TFileBytes::TFileBytes(TFileBytes&& other) noexcept { *this = std::move(other); }

TFileBytes& TFileBytes::operator=(TFileBytes&& other) noexcept {
  if (this == &other) return *this;
  Release();
  FRead = std::move(other.FRead);
  FMapped = std::exchange(other.FMapped, false);
  FSize = std::exchange(other.FSize, 0);
  FData = FMapped ? std::exchange(other.FData, nullptr) : FRead.data();
  other.FData = nullptr;
  return *this;
}

void TFileBytes::Release() {
#ifndef _WIN32
  if (FMapped) ::munmap(const_cast<uint8_t*>(FData), FSize);
#endif
  FMapped = false;
  FData = nullptr;
  FSize = 0;
  std::vector<uint8_t>().swap(FRead);
}

bool TFileBytes::Open(const fs::path& path, std::error_code& error, bool& opened) {
  Release();
  opened = false;
#ifndef _WIN32
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) {
    error = std::error_code(errno, std::generic_category());
    return false;
  }
  opened = true;
  struct stat info {};
  if (::fstat(fd, &info) == 0 && S_ISREG(info.st_mode) && info.st_size > 0) {
    void* mapped = ::mmap(nullptr, size_t(info.st_size), PROT_READ, MAP_PRIVATE, fd, 0);
    if (mapped != MAP_FAILED) {
      ::close(fd);
      FData = static_cast<const uint8_t*>(mapped);
      FSize = size_t(info.st_size);
      FMapped = true;
      return true;
    }
  }
  ::close(fd);
#endif
  // One read of the known size: growing a vector byte by byte would peak at twice it.
  std::ifstream in(path, std::ios::binary);
  if (!in) {
    error = std::error_code(errno, std::generic_category());
    return false;
  }
  opened = true;
  in.seekg(0, std::ios::end);
  const std::streamoff size = in.tellg();
  in.seekg(0, std::ios::beg);
  if (size > 0) {
    FRead.resize(size_t(size));
    in.read(reinterpret_cast<char*>(FRead.data()), size);
    FRead.resize(size_t(in.gcount()));
  }
  if (in.bad()) {
    error = std::error_code(EIO, std::generic_category());
    return false;
  }
  FData = FRead.data();
  FSize = FRead.size();
  return true;
}

}  // namespace Platform
