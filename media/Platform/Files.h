#pragma once
// File-system services that differ between the hosts.
#include <cstdint>
#include <filesystem>
#include <span>
#include <string>
#include <string_view>
#include <system_error>
#include <vector>

namespace Platform {

// Replaces the file's contents whole or not at all: a temporary file beside it is written,
// flushed to the disk and renamed over it, keeping the old file's permissions. The folder
// must exist. Returns the failure's kind as an errno code of the generic category (the
// temporary file is gone then), no error on success.
std::error_code ReplaceFileContents(const std::filesystem::path& target, std::string_view bytes);

// A new, empty folder of its own in the system's temporary folder; its name starts with
// prefix. Throws std::runtime_error when none can be made.
std::filesystem::path MakeTempFolder(std::string_view prefix);

// A file's bytes, read once: mapped into memory where the system allows (nothing copied,
// its pages come in many at a time: a start-up reads 15 MB of libraries), else read whole.
class TFileBytes {
 public:
  TFileBytes() = default;
  ~TFileBytes();
  TFileBytes(TFileBytes&& other) noexcept;
  TFileBytes& operator=(TFileBytes&& other) noexcept;

  // False, with the reason as an errno code of the generic category, when the file cannot
  // be opened ("open") or read (any other step).
  bool Open(const std::filesystem::path& path, std::error_code& error, bool& opened);
  std::span<const uint8_t> Bytes() const { return {FData, FSize}; }

 private:
  void Release();
  const uint8_t* FData = nullptr;
  size_t FSize = 0;
  bool FMapped = false;
  std::vector<uint8_t> FRead;
};

}  // namespace Platform
