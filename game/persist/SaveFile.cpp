#include "game/persist/SaveFile.h"

#include <filesystem>

#include "media/Platform/Files.h"
#include "media/Platform/Paths.h"

namespace fs = std::filesystem;

namespace {

[[noreturn]] void Fail(const std::string& gamePath, const std::string& reason) {
  throw ESaveError("Cannot save \"" + gamePath + "\": " + reason);
}

}  // namespace

void WriteFileAtomically(const std::string& gamePath, const std::string& bytes) {
  if (gamePath.empty()) Fail(gamePath, "no file name");
  const fs::path target(Platform::NativePath(gamePath));
  const fs::path folder = target.parent_path();
  std::error_code ec;
  if (!folder.empty()) {
    fs::create_directories(folder, ec);
    if (ec) Fail(gamePath, "cannot create its folder (" + ec.message() + ")");
  }
  if (fs::is_directory(target, ec)) Fail(gamePath, "a folder of that name is in the way");

  const std::string reason = Platform::ReplaceFileContents(target, bytes);
  if (!reason.empty()) Fail(gamePath, reason);
}
