// xmcompose: turns a tune written as text into an XM module and checks it plays
// for at least the given time before it repeats.
//   xmcompose <score.txt> <out.xm> [minimum seconds]
#include <xmp.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <sstream>

#include "tools/xmcompose/Score.h"

namespace {

int PlayingTimeMs(const std::vector<uint8_t>& bytes) {
  xmp_context ctx = xmp_create_context();
  int duration = -1;
  if (xmp_load_module_from_memory(ctx, bytes.data(), long(bytes.size())) == 0) {
    xmp_module_info info;
    xmp_get_module_info(ctx, &info);
    duration = info.seq_data[0].duration;
    xmp_release_module(ctx);
  }
  xmp_free_context(ctx);
  return duration;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 3 || argc > 4) {
    std::cerr << "usage: xmcompose <score.txt> <out.xm> [minimum seconds]\n";
    return 2;
  }
  try {
    std::ifstream in(argv[1], std::ios::binary);
    if (!in) throw std::runtime_error(std::string("cannot read ") + argv[1]);
    std::stringstream text;
    text << in.rdbuf();
    xm::TModule module = xm::ReadScore(text.str(), argv[1]);
    std::vector<uint8_t> bytes = xm::WriteModule(module);

    int ms = PlayingTimeMs(bytes);
    if (ms < 0) throw std::runtime_error("the written module does not load");
    if (argc == 4 && ms < std::stoi(argv[3]) * 1000)
      throw std::runtime_error(std::string(argv[1]) + ": plays " + std::to_string(ms / 1000) +
                               " s before it repeats, less than " + argv[3] + " s");

    // Never leave a half-written module where the game looks for it.
    std::string temp = std::string(argv[2]) + ".tmp";
    {
      std::ofstream out(temp, std::ios::binary | std::ios::trunc);
      out.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
      if (!out) throw std::runtime_error("cannot write " + temp);
    }
    std::filesystem::rename(temp, argv[2]);
    std::cout << argv[2] << ": " << module.Orders.size() << " orders, " << module.Patterns.size()
              << " patterns, " << module.Instruments.size() << " instruments, " << ms / 1000.0
              << " s, " << bytes.size() << " bytes\n";
    return 0;
  } catch (const std::exception& e) {
    std::cerr << "xmcompose: " << e.what() << "\n";
    return 1;
  }
}
