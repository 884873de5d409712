#pragma once
// File-system services that differ between the hosts.
#include <filesystem>
#include <string>
#include <string_view>

namespace Platform {

// Replaces the file's contents whole or not at all: a temporary file beside it is written,
// flushed to the disk and renamed over it, keeping the old file's permissions. The folder
// must exist. Returns the system's reason on failure (the temporary file is gone then),
// an empty string on success.
std::string ReplaceFileContents(const std::filesystem::path& target, std::string_view bytes);

// A new, empty folder of its own in the system's temporary folder; its name starts with
// prefix. Throws std::runtime_error when none can be made.
std::filesystem::path MakeTempFolder(std::string_view prefix);

}  // namespace Platform
