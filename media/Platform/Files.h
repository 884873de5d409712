#pragma once
// File-system services that differ between the hosts.
#include <filesystem>
#include <string>
#include <string_view>
#include <system_error>

namespace Platform {

// Replaces the file's contents whole or not at all: a temporary file beside it is written,
// flushed to the disk and renamed over it, keeping the old file's permissions. The folder
// must exist. Returns the failure's kind as an errno code of the generic category (the
// temporary file is gone then), no error on success.
std::error_code ReplaceFileContents(const std::filesystem::path& target, std::string_view bytes);

// A new, empty folder of its own in the system's temporary folder; its name starts with
// prefix. Throws std::runtime_error when none can be made.
std::filesystem::path MakeTempFolder(std::string_view prefix);

}  // namespace Platform
