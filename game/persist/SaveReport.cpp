#include "game/persist/SaveReport.h"

#include <algorithm>

#include "game/race/Texts.h"
#include "media/Platform/Paths.h"
#include "media/Platform/Text.h"

namespace {

std::string Reason(TSaveStep step, std::error_code code) {
  using std::errc;
  switch (step) {
    case TSaveStep::NoName:
      return std::string(Texts::NoFileName);
    case TSaveStep::FolderInWay:
      return std::string(Texts::FolderInFilePlace);
    case TSaveStep::MakeFolder:
      if (code == errc::not_a_directory || code == errc::file_exists)
        return std::string(Texts::FileInFolderPlace);
      break;
    case TSaveStep::Write:
      break;
  }
  if (code == errc::permission_denied || code == errc::operation_not_permitted)
    return std::string(Texts::NoWriteRight);
  if (code == errc::read_only_file_system) return std::string(Texts::ReadOnlyDisk);
  if (code == errc::no_space_on_device || code == errc::file_too_large)
    return std::string(Texts::DiskFull);
  if (code == errc::io_error) return std::string(Texts::DiskError);
  if (step == TSaveStep::MakeFolder) return std::string(Texts::NoFolder);
  return std::string(Texts::WriteError) + std::to_string(code.value());
}

}  // namespace

std::string SaveFailureLine(const std::string& gamePath, TSaveStep step, std::error_code code) {
  // Game texts are Windows-1251, and so is the path in them.
  return Platform::Utf8ToCp1251(Platform::PathToUtf8(Platform::NativePath(gamePath))) + ": " +
         Reason(step, code);
}

void TSaveFailures::Run(const std::string& gamePath, const std::function<void()>& save) {
  auto earlier = std::find_if(Failures.begin(), Failures.end(),
                              [&](const ESaveError& e) { return e.GamePath() == gamePath; });
  try {
    save();
    if (earlier != Failures.end()) Failures.erase(earlier);
  } catch (const ESaveError& error) {
    if (earlier != Failures.end())
      *earlier = error;
    else
      Failures.push_back(error);
  }
}

std::string TSaveFailures::Message() const {
  if (Failures.empty()) return {};
  std::string text(Failures.size() == 1 ? std::string_view(Texts::SaveFailedOne)
                                         : std::string_view(Texts::SaveFailedMany));
  text += '\n';
  for (const ESaveError& failure : Failures) text += std::string(failure.what()) + ".\n";
  text += '\n';
  text += Texts::OldDataKept;
  return text;
}
