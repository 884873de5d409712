#include "tools/sprdata/Image.h"

#include <png.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <regex>
#include <sstream>

#include "tools/sprdata/Manifest.h"
#include "tools/sprdata/TextUtil.h"

extern char** environ;

TRgbaImage LoadPng(const std::string& path) {
  png_image png{};
  png.version = PNG_IMAGE_VERSION;
  if (!png_image_begin_read_from_file(&png, path.c_str()))
    throw EDataError(path + ": not a readable PNG (" + png.message + ")");
  png.format = PNG_FORMAT_RGBA;
  if (png.width == 0 || png.height == 0 || png.width > 16384 || png.height > 16384) {
    png_image_free(&png);
    throw EDataError(path + ": PNG size out of range");
  }
  TRgbaImage image(static_cast<int>(png.width), static_cast<int>(png.height));
  if (!png_image_finish_read(&png, nullptr, image.Rgba.data(), 0, nullptr)) {
    std::string message = png.message;
    png_image_free(&png);
    throw EDataError(path + ": damaged PNG (" + message + ")");
  }
  return image;
}

void SavePng(const TRgbaImage& image, const std::string& path) {
  png_image png{};
  png.version = PNG_IMAGE_VERSION;
  png.width = static_cast<png_uint_32>(image.Width);
  png.height = static_cast<png_uint_32>(image.Height);
  png.format = PNG_FORMAT_RGBA;
  if (!png_image_write_to_file(&png, path.c_str(), 0, image.Rgba.data(), 0, nullptr))
    throw EDataError(path + ": cannot write PNG (" + png.message + ")");
}

namespace {

std::string ReadText(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) throw EDataError(path + ": cannot open");
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

// The root element's width or height: a whole number of pixels ("120" or "120px").
int SvgLength(const std::string& path, const std::string& root, const char* attribute) {
  const std::regex re(std::string("\\s") + attribute + "\\s*=\\s*[\"']([^\"']*)[\"']");
  std::smatch m;
  if (!std::regex_search(root, m, re))
    throw EDataError(path + ": the svg element needs a " + attribute + " in whole pixels");
  std::string value = m[1];
  if (value.size() > 2 && value.ends_with("px")) value.resize(value.size() - 2);
  char* end = nullptr;
  const long v = std::strtol(value.c_str(), &end, 10);
  if (value.empty() || *end != '\0' || v <= 0 || v > 16384)
    throw EDataError(path + ": svg " + attribute + " '" + std::string(m[1]) +
                     "' is not a whole number of pixels");
  return static_cast<int>(v);
}

}  // namespace

TRgbaImage RasteriseSvg(const std::string& path) {
  const std::string text = ReadText(path);
  const auto open = text.find("<svg");
  const auto rootEnd = open == std::string::npos ? open : text.find('>', open);
  if (rootEnd == std::string::npos) throw EDataError(path + ": no svg element");
  const std::string root = text.substr(open, rootEnd - open);
  const int width = SvgLength(path, root, "width");
  const int height = SvgLength(path, root, "height");

  char pngName[] = "/tmp/sprdata-XXXXXX.png";
  char errName[] = "/tmp/sprdata-XXXXXX.err";
  const int pngFd = mkstemps(pngName, 4);
  const int errFd = mkstemps(errName, 4);
  if (pngFd < 0 || errFd < 0) throw EDataError("cannot create a temporary file");
  close(pngFd);

  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, errFd, 2);
  std::string a0 = "rsvg-convert", a1 = "-f", a2 = "png", a3 = "-o", a4 = pngName, a5 = path;
  char* argv[] = {a0.data(), a1.data(), a2.data(), a3.data(), a4.data(), a5.data(), nullptr};
  pid_t pid = 0;
  const int spawned = posix_spawnp(&pid, "rsvg-convert", &actions, nullptr, argv, environ);
  posix_spawn_file_actions_destroy(&actions);
  close(errFd);
  int status = 0;
  if (spawned == 0) waitpid(pid, &status, 0);
  std::string errors = ReadText(errName);
  std::remove(errName);
  if (spawned != 0 || !WIFEXITED(status) || WEXITSTATUS(status) != 0) {
    std::remove(pngName);
    if (spawned != 0) throw EDataError(path + ": cannot run rsvg-convert (librsvg2-bin)");
    while (!errors.empty() && (errors.back() == '\n' || errors.back() == '\r')) errors.pop_back();
    throw EDataError(path + ": damaged SVG: " + errors);
  }
  TRgbaImage image;
  try {
    image = LoadPng(pngName);
  } catch (...) {
    std::remove(pngName);
    throw;
  }
  std::remove(pngName);
  if (image.Width != width || image.Height != height)
    throw EDataError(path + ": rasterised to " + std::to_string(image.Width) + "x" +
                     std::to_string(image.Height) + " instead of " + std::to_string(width) + "x" +
                     std::to_string(height));
  return image;
}

TRgbaImage LoadSource(const std::string& path) {
  const std::string lower = LowerCase(path);
  if (lower.ends_with(".svg")) return RasteriseSvg(path);
  if (lower.ends_with(".png")) return LoadPng(path);
  throw EDataError(path + ": a source must be an .svg or a .png file");
}
