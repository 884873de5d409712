#pragma once
// Each test runs in a fresh working folder, so the game paths "Data\Save\..." land there.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <set>
#include <string>

#include "media/Platform/Paths.h"

namespace fs = std::filesystem;

class SaveFolder : public ::testing::Test {
 protected:
  void SetUp() override {
    Home = fs::current_path();
    Dir = fs::temp_directory_path() / ("sprayrush-persist-" + std::to_string(::getpid()));
    fs::remove_all(Dir);
    fs::create_directories(Dir);
    fs::current_path(Dir);
  }
  void TearDown() override {
    fs::current_path(Home);
    std::error_code ec;
    fs::permissions(Dir / "Data" / "Save", fs::perms::owner_all, fs::perm_options::add, ec);
    fs::remove_all(Dir, ec);
  }

  static void Write(const std::string& gamePath, const std::string& bytes) {
    const fs::path p(Platform::NativePath(gamePath));
    if (p.has_parent_path()) fs::create_directories(p.parent_path());
    std::ofstream(p, std::ios::binary) << bytes;
  }
  static std::string Read(const std::string& gamePath) {
    std::ifstream in(Platform::NativePath(gamePath), std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  }
  static std::set<std::string> Listing(const std::string& gameFolder) {
    std::set<std::string> names;
    for (const auto& e : fs::directory_iterator(Platform::NativePath(gameFolder)))
      names.insert(e.path().filename().string());
    return names;
  }

  fs::path Home, Dir;
};

inline const std::string Vanya = "\xC2\xE0\xED\xFF";  // "Ваня" in Windows-1251
