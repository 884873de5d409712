#include "media/Platform/Shell.h"

#include <SDL.h>

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <fstream>

#include "media/Platform/Paths.h"

#ifdef _WIN32
#include <windows.h>
#include <shellapi.h>
#endif

namespace Platform {

namespace {

bool IsAddress(const std::string& target) {
  auto colon = target.find("://");
  return colon != std::string::npos && colon > 1 &&
         std::all_of(target.begin(), target.begin() + colon,
                     [](unsigned char c) { return std::isalpha(c) || c == '+' || c == '-' || c == '.'; });
}

bool EndsWithNoCase(const std::string& text, const std::string& suffix) {
  if (text.size() < suffix.size()) return false;
  return std::equal(suffix.rbegin(), suffix.rend(), text.rbegin(),
                    [](char a, char b) { return std::tolower(uint8_t(a)) == std::tolower(uint8_t(b)); });
}

std::string FileAddress(const std::filesystem::path& path) {
  const std::u8string generic = path.generic_u8string();
  const std::string name(generic.begin(), generic.end());
  // A Windows path starts with its drive letter: file:///C:/...
  std::string out = name.empty() || name.front() == '/' ? "file://" : "file:///";
  static const char Hex[] = "0123456789ABCDEF";
  for (unsigned char c : name) {
    if (std::isalnum(c) || c == '/' || c == '-' || c == '_' || c == '.' || c == '~' || c == ':') {
      out += char(c);
    } else {
      out += '%';
      out += Hex[c >> 4];
      out += Hex[c & 15];
    }
  }
  return out;
}

// "[InternetShortcut]" ... "URL=<address>"
std::string ShortcutAddress(const std::filesystem::path& path) {
  std::ifstream in(path);
  std::string line;
  bool inSection = false;
  while (std::getline(in, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (!line.empty() && line.front() == '[') {
      inSection = line.size() == 18 && EndsWithNoCase(line, "[InternetShortcut]");
      continue;
    }
    if (inSection && line.size() > 4 && EndsWithNoCase(line.substr(0, 4), "URL=")) {
      std::string url = line.substr(4);
      return IsAddress(url) ? url : std::string();
    }
  }
  return {};
}

}  // namespace

std::string ShellTargetUrl(const std::string& target) {
  if (target.empty()) return {};
  if (IsAddress(target)) return target;
  std::error_code ec;
  const std::filesystem::path path(NativePath(target));
  if (!std::filesystem::is_regular_file(path, ec)) return {};
  if (EndsWithNoCase(target, ".url")) return ShortcutAddress(path);
  auto absolute = std::filesystem::absolute(path, ec);
  if (ec) return {};
  return FileAddress(absolute.lexically_normal());
}

bool ShellOpen(const std::string& target) {
#ifdef _WIN32
  // The shell opens files itself (a shortcut, a program), by their wide names.
  if (target.empty()) return false;
  std::filesystem::path what = PathFromUtf8(target);
  if (!IsAddress(target)) {
    what = NativePath(target);
    std::error_code ec;
    if (!std::filesystem::is_regular_file(what, ec)) return false;
  }
  const auto result = ShellExecuteW(nullptr, L"open", what.c_str(), nullptr, nullptr, SW_SHOWNORMAL);
  return reinterpret_cast<INT_PTR>(result) > 32;
#else
  const std::string url = ShellTargetUrl(target);
  return !url.empty() && SDL_OpenURL(url.c_str()) == 0;
#endif
}

}  // namespace Platform
