#include "media/Platform/Files.h"

#include <algorithm>
#include <random>
#include <stdexcept>

#ifdef _WIN32
#include <windows.h>
#else
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

#include "media/Platform/Paths.h"
#include "media/Platform/Text.h"

namespace fs = std::filesystem;

namespace Platform {

#ifdef _WIN32

namespace {

std::string SystemMessage(DWORD error) {
  wchar_t* text = nullptr;
  const DWORD n = FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM |
                                     FORMAT_MESSAGE_IGNORE_INSERTS,
                                 nullptr, error, 0, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
  std::wstring message(text ? text : L"", n);
  LocalFree(text);
  while (!message.empty() && (message.back() == L'\n' || message.back() == L'\r' || message.back() == L'.'))
    message.pop_back();
  // Game texts are Windows-1251, whatever the system speaks.
  std::string reason = Utf8ToCp1251(PathToUtf8(fs::path(message)));
  return reason.empty() ? "error " + std::to_string(error) : reason;
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

std::string ReplaceFileContents(const fs::path& target, std::string_view bytes) {
  fs::path temp;
  HANDLE file = CreateBeside(target, temp);
  if (file == INVALID_HANDLE_VALUE) return SystemMessage(GetLastError());
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
    return SystemMessage(error);
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

std::string ReplaceFileContents(const fs::path& target, std::string_view bytes) {
  // A player who made the file read-only for others keeps it that way.
  mode_t mode = 0644;
  struct stat old {};
  if (::stat(target.c_str(), &old) == 0) mode = old.st_mode & 07777;

  std::string temp = target.string() + ".XXXXXX";
  const int fd = ::mkstemp(temp.data());
  if (fd < 0) return std::strerror(errno);

  int error = 0;
  if (!WriteAll(fd, bytes) || ::fsync(fd) != 0 || ::fchmod(fd, mode) != 0) error = errno;
  if (::close(fd) != 0 && error == 0) error = errno;
  if (error == 0 && ::rename(temp.c_str(), target.c_str()) != 0) error = errno;
  if (error != 0) {
    ::unlink(temp.c_str());
    return std::strerror(error);
  }
  SyncFolder(target.parent_path());
  return {};
}

fs::path MakeTempFolder(std::string_view prefix) {
  std::string name = (fs::temp_directory_path() / prefix).string() + "XXXXXX";
  if (!::mkdtemp(name.data())) throw std::runtime_error("cannot make a temporary folder");
  return name;
}

#endif

}  // namespace Platform
