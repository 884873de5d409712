#pragma once
// Plain pixel images of the data tool and their PNG files.
#include <cstdint>
#include <string>
#include <vector>

// Straight (not premultiplied) RGBA, 4 bytes a pixel, rows top-down.
struct TRgbaImage {
  int Width = 0, Height = 0;
  std::vector<uint8_t> Rgba;

  TRgbaImage() = default;
  TRgbaImage(int width, int height) : Width(width), Height(height), Rgba(size_t(width) * height * 4) {}
  uint8_t* At(int x, int y) { return &Rgba[(size_t(y) * Width + x) * 4]; }
  const uint8_t* At(int x, int y) const { return &Rgba[(size_t(y) * Width + x) * 4]; }
};

// Throw EDataError naming the file.
TRgbaImage LoadPng(const std::string& path);
void SavePng(const TRgbaImage& image, const std::string& path);

// Rasterises an SVG at its own size (its width and height must be whole pixels) with
// rsvg-convert; throws EDataError naming the file and what rsvg-convert said.
TRgbaImage RasteriseSvg(const std::string& path);
// An SVG or PNG source by its extension.
TRgbaImage LoadSource(const std::string& path);
