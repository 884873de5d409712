#include "tools/sprdata/Picture.h"

#include <algorithm>
#include <cmath>
#include <array>
#include <map>
#include <unordered_map>
#include <vector>

#include "media/DXDraws/Surface.h"
#include "tools/sprdata/Manifest.h"

namespace {

uint32_t Rgb(uint32_t r, uint32_t g, uint32_t b) { return r << 16 | g << 8 | b; }
uint32_t R(uint32_t c) { return (c >> 16) & 0xFF; }
uint32_t G(uint32_t c) { return (c >> 8) & 0xFF; }
uint32_t B(uint32_t c) { return c & 0xFF; }

uint32_t Expand5(uint32_t v) { return (v * 255 + 15) / 31; }
// Nearest 5-bit level, expanded back to 8 bits the way 5-5-5 pixels read back.
uint32_t To555(uint32_t c) {
  auto q = [](uint32_t v) { return Expand5((v * 31 + 127) / 255); };
  return Rgb(q(R(c)), q(G(c)), q(B(c)));
}

uint16_t Screen(uint32_t rgb) { return ColorToSurface(SwapRB(rgb)); }

// Median cut: at most `limit` colours that represent the picture's colours by weight.
std::vector<uint32_t> MedianCut(const std::unordered_map<uint32_t, uint32_t>& counts, size_t limit) {
  struct TEntry { uint32_t Color, Count; };
  std::vector<TEntry> colors;
  for (auto [c, n] : counts) colors.push_back({c, n});
  std::sort(colors.begin(), colors.end(), [](auto& a, auto& b) { return a.Color < b.Color; });
  if (colors.size() <= limit) {
    std::vector<uint32_t> out;
    for (auto& e : colors) out.push_back(e.Color);
    return out;
  }
  struct TBox { size_t Begin, End; };
  auto channel = [](uint32_t c, int ch) { return (c >> (16 - 8 * ch)) & 0xFF; };
  auto widest = [&](const TBox& box, int& which) {
    int best = -1;
    for (int ch = 0; ch < 3; ++ch) {
      uint32_t lo = 255, hi = 0;
      for (size_t i = box.Begin; i < box.End; ++i) {
        lo = std::min(lo, channel(colors[i].Color, ch));
        hi = std::max(hi, channel(colors[i].Color, ch));
      }
      if (int(hi - lo) > best) { best = int(hi - lo); which = ch; }
    }
    return best;
  };
  std::vector<TBox> boxes{{0, colors.size()}};
  while (boxes.size() < limit) {
    // Split the box with the widest spread, weighted by how much of the picture it covers.
    size_t pick = boxes.size();
    double pickScore = 0;
    int pickChannel = 0;
    for (size_t i = 0; i < boxes.size(); ++i) {
      if (boxes[i].End - boxes[i].Begin < 2) continue;
      int ch = 0;
      const int spread = widest(boxes[i], ch);
      uint64_t weight = 0;
      for (size_t k = boxes[i].Begin; k < boxes[i].End; ++k) weight += colors[k].Count;
      const double score = double(spread) * std::sqrt(double(weight));
      if (spread > 0 && score > pickScore) { pickScore = score; pick = i; pickChannel = ch; }
    }
    if (pick == boxes.size()) break;
    TBox box = boxes[pick];
    std::sort(colors.begin() + box.Begin, colors.begin() + box.End,
              [&](auto& a, auto& b) { return channel(a.Color, pickChannel) < channel(b.Color, pickChannel); });
    uint64_t total = 0, run = 0;
    for (size_t k = box.Begin; k < box.End; ++k) total += colors[k].Count;
    size_t cut = box.Begin + 1;
    for (size_t k = box.Begin; k < box.End - 1; ++k) {
      run += colors[k].Count;
      cut = k + 1;
      if (run * 2 >= total) break;
    }
    boxes[pick] = {box.Begin, cut};
    boxes.push_back({cut, box.End});
  }
  std::vector<uint32_t> palette;
  for (auto& box : boxes) {
    uint64_t r = 0, g = 0, b = 0, n = 0;
    for (size_t k = box.Begin; k < box.End; ++k) {
      r += uint64_t(R(colors[k].Color)) * colors[k].Count;
      g += uint64_t(G(colors[k].Color)) * colors[k].Count;
      b += uint64_t(B(colors[k].Color)) * colors[k].Count;
      n += colors[k].Count;
    }
    palette.push_back(Rgb(uint32_t((r + n / 2) / n), uint32_t((g + n / 2) / n), uint32_t((b + n / 2) / n)));
  }
  return palette;
}

uint32_t Nearest(const std::vector<uint32_t>& palette, uint32_t c) {
  uint32_t best = palette[0];
  int bestDistance = 1 << 30;
  for (uint32_t p : palette) {
    const int dr = int(R(p)) - int(R(c)), dg = int(G(p)) - int(G(c)), db = int(B(p)) - int(B(c));
    const int d = 3 * dr * dr + 4 * dg * dg + 2 * db * db;
    if (d < bestDistance) { bestDistance = d; best = p; }
  }
  return best;
}

// Moves a colour off the key by the smallest step the depth stores (green first: the
// eye forgives it most and 5-6-5 has the finest green).
uint32_t NudgeOffKey(uint32_t c, uint16_t key565, int bits) {
  const int unit = bits == 16 ? 8 : 4;
  for (int step = 1; step <= 4; ++step) {
    for (int ch : {1, 0, 2}) {
      for (int sign : {1, -1}) {
        const int shift = 16 - 8 * ch;
        int v = int((c >> shift) & 0xFF) + sign * step * unit;
        if (v < 0 || v > 255) continue;
        uint32_t n = (c & ~(0xFFu << shift)) | uint32_t(v) << shift;
        if (bits == 16) n = To555(n);
        if (Screen(n) != key565) return n;
      }
    }
  }
  return c;
}

}  // namespace

TPackedPicture FlattenPicture(const TRgbaImage& image, std::optional<uint32_t> keyRgb, int bits) {
  const size_t count = size_t(image.Width) * image.Height;
  std::vector<uint32_t> rgb(count);
  std::vector<bool> keyed(count, false);
  for (size_t i = 0; i < count; ++i) {
    const uint8_t* p = &image.Rgba[i * 4];
    if (keyRgb) {
      keyed[i] = p[3] < 128;
      rgb[i] = keyed[i] ? *keyRgb : Rgb(p[0], p[1], p[2]);
    } else {
      auto over = [&](uint8_t v) { return (uint32_t(v) * p[3] + 127) / 255; };
      rgb[i] = Rgb(over(p[0]), over(p[1]), over(p[2]));
    }
  }

  // Reduce to the colours the depth stores.
  std::optional<uint32_t> storedKey = keyRgb;
  if (bits == 16) {
    for (size_t i = 0; i < count; ++i)
      if (!keyed[i]) rgb[i] = To555(rgb[i]);
    // The key keeps the 5 high bits the writer keeps.
    if (keyRgb) storedKey = Rgb(Expand5(R(*keyRgb) >> 3), Expand5(G(*keyRgb) >> 3), Expand5(B(*keyRgb) >> 3));
  } else if (bits == 8) {
    std::unordered_map<uint32_t, uint32_t> counts;
    for (size_t i = 0; i < count; ++i)
      if (!keyed[i]) ++counts[rgb[i]];
    const auto palette = counts.empty() ? std::vector<uint32_t>{} : MedianCut(counts, keyRgb ? 255 : 256);
    std::unordered_map<uint32_t, uint32_t> mapped;
    for (size_t i = 0; i < count; ++i) {
      if (keyed[i]) continue;
      auto it = mapped.find(rgb[i]);
      if (it == mapped.end()) it = mapped.emplace(rgb[i], Nearest(palette, rgb[i])).first;
      rgb[i] = it->second;
    }
  }
  if (keyRgb) {
    const uint16_t key565 = Screen(*storedKey);
    std::map<uint32_t, uint32_t> nudged;
    for (size_t i = 0; i < count; ++i) {
      if (keyed[i]) {
        rgb[i] = *storedKey;
      } else if (Screen(rgb[i]) == key565) {
        auto it = nudged.find(rgb[i]);
        if (it == nudged.end()) it = nudged.emplace(rgb[i], NudgeOffKey(rgb[i], key565, bits)).first;
        rgb[i] = it->second;
      }
    }
  }

  TPackedPicture out;
  out.Bits = bits;
  out.Dib = TDIB(image.Width, image.Height);
  for (int y = 0; y < image.Height; ++y)
    for (int x = 0; x < image.Width; ++x) out.Dib.SetPixel(x, y, SwapRB(rgb[size_t(y) * image.Width + x]));
  // Keep exactly what the game will read, and prove the key still separates the pixels.
  TDIB stored;
  stored.LoadFromPictureData(out.Dib.SavePictureData(bits));
  out.Dib = std::move(stored);
  if (keyRgb) {
    TDIB keyDib(1, 1), storedKeyDib;
    keyDib.SetPixel(0, 0, SwapRB(*storedKey));
    storedKeyDib.LoadFromPictureData(keyDib.SavePictureData(bits));
    out.TransparentColor = storedKeyDib.Pixel(0, 0);
    const uint16_t key565 = ColorToSurface(*out.TransparentColor);
    for (int y = 0; y < image.Height; ++y)
      for (int x = 0; x < image.Width; ++x)
        if ((ColorToSurface(out.Dib.Pixel(x, y)) == key565) != keyed[size_t(y) * image.Width + x])
          throw EDataError("pixel (" + std::to_string(x) + ", " + std::to_string(y) +
                           ") does not keep its transparency at " + std::to_string(bits) + " bits");
  }
  return out;
}

TRgbaImage PictureToRgba(const TDIB& dib, bool transparent, uint32_t transparentColor) {
  TRgbaImage image(dib.Width(), dib.Height());
  const uint16_t key565 = ColorToSurface(transparentColor);
  for (int y = 0; y < dib.Height(); ++y)
    for (int x = 0; x < dib.Width(); ++x) {
      const uint32_t c = dib.Pixel(x, y);
      uint8_t* p = image.At(x, y);
      p[0] = uint8_t(c), p[1] = uint8_t(c >> 8), p[2] = uint8_t(c >> 16);
      p[3] = transparent && ColorToSurface(c) == key565 ? 0 : 255;
    }
  return image;
}
