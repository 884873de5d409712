#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "media/Platform/Shell.h"

namespace fs = std::filesystem;

class ShellTargets : public ::testing::Test {
 protected:
  void SetUp() override {
    Dir = fs::temp_directory_path() / ("sprayrush-shell-" + std::to_string(::getpid()));
    fs::create_directories(Dir);
  }
  void TearDown() override { fs::remove_all(Dir); }
  fs::path Write(const std::string& name, const std::string& text) {
    fs::path p = Dir / name;
    std::ofstream(p, std::ios::binary) << text;
    return p;
  }
  fs::path Dir;
};

TEST_F(ShellTargets, AddressesPassUnchanged) {
  EXPECT_EQ(Platform::ShellTargetUrl("http://example.org/cgi/version.pl?prg=Sprayrush&show&type=0"),
            "http://example.org/cgi/version.pl?prg=Sprayrush&show&type=0");
}

TEST_F(ShellTargets, MissingFilesOpenNothing) {
  EXPECT_EQ(Platform::ShellTargetUrl((Dir / "moregames.url").string()), "");
  EXPECT_EQ(Platform::ShellTargetUrl(""), "");
  EXPECT_FALSE(Platform::ShellOpen((Dir / "play.url").string()));
}

TEST_F(ShellTargets, ShortcutFilesOpenTheAddressInside) {
  auto good = Write("play.url", "[Other]\r\nURL=http://wrong.example/\r\n[InternetShortcut]\r\nURL=https://example.org/play\r\n");
  EXPECT_EQ(Platform::ShellTargetUrl(good.string()), "https://example.org/play");
  auto bare = Write("bare.URL", "URL=https://example.org/\n");
  EXPECT_EQ(Platform::ShellTargetUrl(bare.string()), "");
  auto script = Write("evil.url", "[InternetShortcut]\nURL=--help\n");
  EXPECT_EQ(Platform::ShellTargetUrl(script.string()), "");
}

TEST_F(ShellTargets, OtherFilesOpenAsEscapedFileAddresses) {
  auto exe = Write("w game.exe", "MZ");
  // A Windows path starts with its drive: file:///C:/...
  const std::string folder = Dir.generic_string();
  EXPECT_EQ(Platform::ShellTargetUrl(exe.string()),
            "file://" + std::string(folder.front() == '/' ? "" : "/") + folder + "/w%20game.exe");
}
