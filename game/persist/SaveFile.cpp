#include "game/persist/SaveFile.h"

#include <filesystem>

#include "game/language/Russian.h"
#include "game/persist/SaveReport.h"
#include "media/Platform/Files.h"
#include "media/Platform/Paths.h"

namespace fs = std::filesystem;

namespace {

[[noreturn]] void Fail(const std::string& gamePath, TSaveStep step, int error = 0) {
  throw ESaveError(gamePath, step, std::error_code(error, std::generic_category()));
}

}  // namespace

ESaveError::ESaveError(std::string gamePath, TSaveStep step, std::error_code code)
    : std::runtime_error(SaveFailureLine(gamePath, step, code, RussianTexts)),
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

  if (const std::error_code error = Platform::ReplaceFileContents(target, bytes))
    throw ESaveError(gamePath, TSaveStep::Write, error);
}
