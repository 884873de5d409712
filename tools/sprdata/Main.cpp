// sprdata: the data tool. Packs picture and sound libraries from their sources, lists
// and extracts them, replaces one picture in a built library, previews pictures as they
// will be packed, and checks the built data against the game's catalogue.
#include <cstdio>
#include <cstring>
#include <exception>
#include <string>
#include <vector>

#include "tools/sprdata/Commands.h"

namespace {

const char* const Usage =
    "usage:\n"
    "  sprdata pack-pictures <manifest> <library.dxg> [--depfile <file>]\n"
    "  sprdata pack-sounds <manifest> <library.dxw> [--depfile <file>]\n"
    "  sprdata preview <manifest> <folder> [<Name>...]\n"
    "  sprdata synth <description> <sound.wav> [--looped]\n"
    "  sprdata list <library>\n"
    "  sprdata extract <library> <folder> [--patterns]\n"
    "  sprdata replace <library.dxg> <Name> <source.svg|png> [pattern=WxH] [skip=WxH] [key=#RRGGBB|none] [bits=N]\n"
    "  sprdata check <catalogue> <Res1.dxg> <Res3.dxg> <Sounds.dxw> [<Languages.dxg> [<language folder>...]]\n"
    "                [--warn-only] [--stamp <file>]\n";

}  // namespace

int main(int argc, char** argv) {
  std::vector<std::string> args(argv + 1, argv + argc);
  if (args.empty() || args[0] == "-h" || args[0] == "--help") {
    std::fputs(Usage, args.empty() ? stderr : stdout);
    return args.empty() ? 2 : 0;
  }
  try {
    const int status = RunCommand(args);
    if (status == 2) std::fputs(Usage, stderr);
    return status;
  } catch (const std::exception& e) {
    std::fprintf(stderr, "sprdata: %s\n", e.what());
    return 1;
  }
}
