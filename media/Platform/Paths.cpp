#include "media/Platform/Paths.h"

#include <cctype>
#include <mutex>
#include <optional>

#ifdef _WIN32
#include <windows.h>
#include <shlobj.h>
#endif

namespace fs = std::filesystem;

namespace Platform {

namespace {

// "Data\Save" and "Data\Replays", and anything below them, in any case, either slash.
bool StartsWithFolder(std::string_view path, std::string_view folder) {
  if (path.size() < folder.size()) return false;
  for (size_t i = 0; i < folder.size(); ++i) {
    const char a = path[i] == '/' ? '\\' : path[i];
    if (std::tolower(static_cast<unsigned char>(a)) != std::tolower(static_cast<unsigned char>(folder[i])))
      return false;
  }
  return path.size() == folder.size() || path[folder.size()] == '\\' || path[folder.size()] == '/';
}

#ifdef _WIN32
fs::path RoamingAppData() {
  PWSTR folder = nullptr;
  fs::path path;
  if (SUCCEEDED(SHGetKnownFolderPath(FOLDERID_RoamingAppData, 0, nullptr, &folder))) path = folder;
  CoTaskMemFree(folder);
  if (path.empty())
    if (const wchar_t* env = _wgetenv(L"APPDATA")) path = env;
  return path;
}

TGameFolders FoundFolders() {
  const fs::path program = ProgramFolder();
  std::error_code ec;
  if (fs::exists(program / PathFromUtf8(InstalledMarker), ec)) {
    const fs::path appData = RoamingAppData();
    if (!appData.empty()) return {program, appData / L"Sprayrush"};
  }
  return {program, program};
}
#else
TGameFolders FoundFolders() { return {}; }
#endif

std::mutex Lock;
std::optional<TGameFolders> Folders;

}  // namespace

bool IsPlayerPath(std::string_view gamePath) {
  return StartsWithFolder(gamePath, "Data\\Save") || StartsWithFolder(gamePath, "Data\\Replays");
}

fs::path NativePath(std::string_view gamePath) {
  std::string text(gamePath);
  for (char& c : text)
    if (c == '\\') c = '/';
  const fs::path relative = PathFromUtf8(text).make_preferred();
  const TGameFolders folders = GameFolders();
  const fs::path& base = IsPlayerPath(gamePath) ? folders.Player : folders.Data;
  return base.empty() ? relative : base / relative;
}

TGameFolders GameFolders() {
  std::lock_guard lock(Lock);
  if (!Folders) Folders = FoundFolders();
  return *Folders;
}

void SetGameFolders(TGameFolders folders) {
  std::lock_guard lock(Lock);
  Folders = std::move(folders);
}

void ResetGameFolders() {
  std::lock_guard lock(Lock);
  Folders.reset();
}

fs::path ProgramFolder() {
#ifdef _WIN32
  std::wstring name(MAX_PATH, L'\0');
  for (;;) {
    const DWORD n = GetModuleFileNameW(nullptr, name.data(), DWORD(name.size()));
    if (n == 0) return fs::current_path();
    if (n < name.size()) {
      name.resize(n);
      break;
    }
    name.resize(name.size() * 2);
  }
  return fs::path(name).parent_path();
#else
  std::error_code ec;
  const fs::path self = fs::read_symlink("/proc/self/exe", ec);
  return ec ? fs::current_path() : self.parent_path();
#endif
}

fs::path PathFromUtf8(std::string_view utf8) {
  return fs::path(std::u8string(utf8.begin(), utf8.end()));
}

std::string PathToUtf8(const fs::path& path) {
  const std::u8string text = path.u8string();
  return std::string(text.begin(), text.end());
}

}  // namespace Platform
