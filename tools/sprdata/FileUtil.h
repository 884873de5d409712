#pragma once
#include <cstdint>
#include <span>
#include <string>
#include <vector>

// Writes beside the target, then renames over it: a reader sees the old file or the
// whole new one, never half of one. Throws EDataError.
void WriteFileAtomically(const std::string& path, std::span<const uint8_t> bytes);
std::vector<uint8_t> ReadFileBytes(const std::string& path);
// A make-style dependency file: "target: dep dep ...".
void WriteDepFile(const std::string& path, const std::string& target,
                  const std::vector<std::string>& dependencies);
void MakeDirectories(const std::string& path);
