#pragma once
// Scratch folders and small files for the data tool's tests.
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include <gtest/gtest.h>

class TScratchDir {
 public:
  TScratchDir() {
    std::string pattern = (std::filesystem::temp_directory_path() / "sprdata-test-XXXXXX").string();
    if (!mkdtemp(pattern.data())) throw std::runtime_error("mkdtemp failed");
    Path = pattern;
  }
  ~TScratchDir() { std::filesystem::remove_all(Path); }
  std::string operator/(const std::string& name) const { return Path + "/" + name; }
  std::string Write(const std::string& name, const std::string& text) const {
    std::ofstream(*this / name, std::ios::binary) << text;
    return *this / name;
  }
  std::string Path;
};

inline std::string ReadAll(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// Runs the sprdata program; returns its exit status, its error output in `errors`.
inline int RunSprdata(const std::string& args, std::string* errors = nullptr) {
  const std::string errFile = std::filesystem::temp_directory_path() / ("sprdata-err-" + std::to_string(::getpid()));
  const int status = std::system(("'" + std::string(SPRDATA_EXE) + "' " + args + " >/dev/null 2>" + errFile).c_str());
  if (errors) *errors = ReadAll(errFile);
  std::filesystem::remove(errFile);
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}
