// The built game on a virtual X display: its window appears and it ends cleanly.
#include <gtest/gtest.h>
#include <unistd.h>

#include <array>
#include <cstdio>
#include <filesystem>
#include <string>

namespace fs = std::filesystem;

namespace {

std::string RunCommand(const std::string& command, int& exitCode) {
  std::string output;
  FILE* pipe = ::popen(command.c_str(), "r");
  if (!pipe) return output;
  std::array<char, 512> buffer;
  while (size_t n = std::fread(buffer.data(), 1, buffer.size(), pipe)) output.append(buffer.data(), n);
  const int status = ::pclose(pipe);
  exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return output;
}

}  // namespace

TEST(GameWindow, OpensItsWindowOnAScreenAndEndsCleanly) {
  const fs::path game = SPRAYRUSH_GAME_DIR;
  if (!fs::exists(game / "sprayrush") || !fs::exists(game / "Data/Res/Res1.dxg"))
    GTEST_SKIP() << "the game or its data is not built";
  int code = 0;
  RunCommand("command -v xvfb-run xdotool >/dev/null", code);
  if (code != 0) GTEST_SKIP() << "xvfb-run and xdotool are needed (tools/setup.sh)";

  // A run folder of its own, so the saves do not land in the build.
  const fs::path dir = fs::temp_directory_path() / ("sprayrush-xvfb-" + std::to_string(::getpid()));
  fs::remove_all(dir);
  fs::create_directories(dir / "Data/Save");
  for (const char* sub : {"Res", "Music"})
    if (fs::exists(game / "Data" / sub)) fs::create_directory_symlink(game / "Data" / sub, dir / "Data" / sub);

  // On a real display the libraries below SDL (desktop bus, GL driver) keep allocations
  // until exit; the game's own leaks are checked by the tests on the dummy driver.
  const std::string script =
      "cd '" + dir.string() + "' && env -u SDL_VIDEODRIVER ASAN_OPTIONS=detect_leaks=0 '" +
      (game / "sprayrush").string() +
      "' & pid=$!; id=; for i in $(seq 100); do "
      "id=$(xdotool search --onlyvisible --name '^Sprayrush$' 2>/dev/null | head -n1); "
      "[ -n \"$id\" ] && break; sleep 0.1; done; "
      "[ -n \"$id\" ] && xdotool getwindowgeometry \"$id\"; sleep 1; "
      "kill -TERM $pid; wait $pid; echo \"exit=$?\"";
  const std::string output =
      RunCommand("xvfb-run -a -s '-screen 0 1024x768x24' sh -c \"" + [&] {
            std::string escaped;
            for (char c : script) {
              if (c == '"' || c == '$' || c == '\\' || c == '`') escaped += '\\';
              escaped += c;
            }
            return escaped;
          }() + "\" 2>&1",
          code);
  fs::remove_all(dir);
  EXPECT_NE(output.find("Geometry: 800x600"), std::string::npos) << output;
  EXPECT_NE(output.find("exit=0"), std::string::npos) << output;
}
