#include "game/persist/SaveReport.h"

#include <algorithm>

#include "media/Platform/Paths.h"
#include "media/Platform/Text.h"

namespace {

std::string Reason(TSaveStep step, std::error_code code, const TTexts& texts) {
  using std::errc;
  switch (step) {
    case TSaveStep::NoName:
      return std::string(texts.NoFileName);
    case TSaveStep::FolderInWay:
      return std::string(texts.FolderInFilePlace);
    case TSaveStep::MakeFolder:
      if (code == errc::not_a_directory || code == errc::file_exists)
        return std::string(texts.FileInFolderPlace);
      break;
    case TSaveStep::Write:
      break;
  }
  if (code == errc::permission_denied || code == errc::operation_not_permitted)
    return std::string(texts.NoWriteRight);
  if (code == errc::read_only_file_system) return std::string(texts.ReadOnlyDisk);
  if (code == errc::no_space_on_device || code == errc::file_too_large)
    return std::string(texts.DiskFull);
  if (code == errc::io_error) return std::string(texts.DiskError);
  if (step == TSaveStep::MakeFolder) return std::string(texts.NoFolder);
  return std::string(texts.WriteError) + std::to_string(code.value());
}

}  // namespace

std::string SaveFailureLine(const std::string& gamePath, TSaveStep step, std::error_code code,
                            const TTexts& texts) {
  // Game texts are Windows-1251, and so is the path in them.
  return Platform::Utf8ToCp1251(Platform::PathToUtf8(Platform::NativePath(gamePath))) + ": " +
         Reason(step, code, texts);
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

std::string TSaveFailures::Message(const TTexts& texts) const {
  if (Failures.empty()) return {};
  std::string text(Failures.size() == 1 ? std::string_view(texts.SaveFailedOne)
                                         : std::string_view(texts.SaveFailedMany));
  text += '\n';
  for (const ESaveError& f : Failures) text += SaveFailureLine(f.GamePath(), f.Step(), f.Code(), texts) + ".\n";
  text += '\n';
  text += texts.OldDataKept;
  return text;
}
