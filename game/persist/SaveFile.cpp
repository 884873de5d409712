#include "game/persist/SaveFile.h"

#include <cerrno>
#include <fcntl.h>
#include <filesystem>
#include <sys/stat.h>
#include <unistd.h>

#include "game/persist/SaveReport.h"
#include "media/Platform/Paths.h"

namespace fs = std::filesystem;

namespace {

[[noreturn]] void Fail(const std::string& gamePath, TSaveStep step, int error = 0) {
  throw ESaveError(gamePath, step, std::error_code(error, std::generic_category()));
}

bool WriteAll(int fd, const std::string& bytes) {
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

ESaveError::ESaveError(std::string gamePath, TSaveStep step, std::error_code code)
    : std::runtime_error(SaveFailureLine(gamePath, step, code)),
      FGamePath(std::move(gamePath)),
      FStep(step),
      FCode(code) {}

void WriteFileAtomically(const std::string& gamePath, const std::string& bytes) {
  if (gamePath.empty()) Fail(gamePath, TSaveStep::NoName);
  const fs::path target(Platform::NativePath(gamePath));
  const fs::path folder = target.parent_path();
  std::error_code ec;
  if (!folder.empty()) {
    fs::create_directories(folder, ec);
    if (ec) throw ESaveError(gamePath, TSaveStep::MakeFolder, ec);
  }
  if (fs::is_directory(target, ec)) Fail(gamePath, TSaveStep::FolderInWay);

  // A player who made the file read-only for others keeps it that way.
  mode_t mode = 0644;
  struct stat old {};
  if (::stat(target.c_str(), &old) == 0) mode = old.st_mode & 07777;

  std::string temp = target.string() + ".XXXXXX";
  const int fd = ::mkstemp(temp.data());
  if (fd < 0) Fail(gamePath, TSaveStep::Write, errno);

  int error = 0;
  if (!WriteAll(fd, bytes) || ::fsync(fd) != 0 || ::fchmod(fd, mode) != 0) error = errno;
  if (::close(fd) != 0 && error == 0) error = errno;
  if (error == 0 && ::rename(temp.c_str(), target.c_str()) != 0) error = errno;
  if (error != 0) {
    ::unlink(temp.c_str());
    Fail(gamePath, TSaveStep::Write, error);
  }
  SyncFolder(folder);
}
