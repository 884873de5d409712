#include "media/Platform/Fonts.h"
#include "media/Platform/Text.h"

#include "media/Platform/Paths.h"

#include <SDL2/SDL.h>
#include <SDL2/SDL_ttf.h>
// Windows and the browser have no fontconfig: the game's Fonts folder is all there is.
#if !defined(_WIN32) && !defined(__EMSCRIPTEN__)
#define SPRAYRUSH_FONTCONFIG 1
#include <fontconfig/fontconfig.h>
#endif

#include <algorithm>
#include <cctype>
#include <cmath>
#include <map>
#include <stdexcept>

namespace Platform {

namespace {

std::string Lower(std::string_view s) {
  std::string r(s);
  for (char& c : r) c = char(std::tolower(static_cast<unsigned char>(c)));
  return r;
}

struct TFontFile {
  std::string Path;
  int Index = 0;
  // A stand-in drawn at Scale of the size and squeezed to ScaleX of its width, so that
  // its digits take the room the game's layout gives the face it replaces.
  double Scale = 1, ScaleX = 1;
  // A display face whose letters are a seven-segment guess: a word reads far better in
  // the fallback, where the Russian ones have always been drawn.
  bool DigitsOnly = false;
};

// The open stand-ins for the faces the game names, shipped in the game's Fonts folder
// so that every platform draws with the same files.
struct TShippedFace {
  std::string_view Name;  // lower case
  std::string_view Regular, Bold;
};
constexpr TShippedFace ShippedFaces[] = {
    {"arial", "LiberationSans-Regular.ttf", "LiberationSans-Bold.ttf"},
    {"liberation sans", "LiberationSans-Regular.ttf", "LiberationSans-Bold.ttf"},
    {"times new roman", "LiberationSerif-Regular.ttf", "LiberationSerif-Bold.ttf"},
    {"arial black", "Roboto-Black.ttf", "Roboto-Black.ttf"},
    {"ds crystal", "DSEG7Classic-Regular.ttf", "DSEG7Classic-Bold.ttf"},
};

// In the game's Fonts folder, else in the one beside the program.
std::string ShippedFile(const std::string& name, bool bold) {
  for (const TShippedFace& face : ShippedFaces)
    if (face.Name == name) {
      const std::string file(bold ? face.Bold : face.Regular);
      for (const auto& path : {NativePath("Fonts\\" + file), ProgramFolder() / "Fonts" / PathFromUtf8(file)}) {
        std::error_code ec;
        if (std::filesystem::is_regular_file(path, ec)) return PathToUtf8(path);  // SDL opens UTF-8 names
      }
    }
  return {};
}

#ifdef SPRAYRUSH_FONTCONFIG
// Where the game runs without its Fonts folder (a test's folder), fontconfig finds the
// same stand-ins among the system's fonts: its own aliases map Arial and Times New Roman
// to their metric twins, the other two are named here.
std::string SystemFontFile(const std::string& name, std::string_view faceName, bool bold, int& index) {
  std::string family(faceName);
  int weight = bold ? FC_WEIGHT_BOLD : FC_WEIGHT_REGULAR;
  if (name == "arial black") {
    family = "Roboto";
    weight = FC_WEIGHT_BLACK;
  } else if (name == "ds crystal") {
    family = "DSEG7 Classic";
  }
  FcPattern* pattern = FcPatternCreate();
  FcPatternAddString(pattern, FC_FAMILY, reinterpret_cast<const FcChar8*>(family.c_str()));
  FcPatternAddInteger(pattern, FC_WEIGHT, weight);
  FcPatternAddInteger(pattern, FC_SLANT, FC_SLANT_ROMAN);
  FcPatternAddBool(pattern, FC_SCALABLE, FcTrue);
  FcConfigSubstitute(nullptr, pattern, FcMatchPattern);
  FcDefaultSubstitute(pattern);
  FcResult result = FcResultNoMatch;
  FcPattern* match = FcFontMatch(nullptr, pattern, &result);
  FcPatternDestroy(pattern);
  std::string file;
  if (match) {
    FcChar8* path = nullptr;
    if (FcPatternGetString(match, FC_FILE, 0, &path) == FcResultMatch && path)
      file = reinterpret_cast<const char*>(path);
    FcPatternGetInteger(match, FC_INDEX, 0, &index);
    FcPatternDestroy(match);
  }
  return file;
}
#endif

TFontFile Resolve(std::string_view faceName, bool bold) {
  const std::string name = Lower(faceName);
  TFontFile file;
  file.Path = ShippedFile(name, bold);
#ifdef SPRAYRUSH_FONTCONFIG
  if (file.Path.empty()) file.Path = SystemFontFile(name, faceName, bold, file.Index);
#endif
  if (name == "ds crystal") {
    // The seven-segment stand-in's digits are a full em high and 0.8 em wide; the face
    // the HUD was laid out for has digits about 0.7 em high and 0.4 em wide.
    file.Scale = 0.7;
    file.ScaleX = 0.4 / (0.8 * 0.7);
    file.DigitsOnly = true;
  }
  return file;
}

}  // namespace

int PointsToPixels(int points) {
  // Rounded like the desktop's own conversion at 96 dpi.
  return std::max(1, (std::abs(points) * 96 + 36) / 72);
}

class TFontCache {
 public:
  TFontCache() {
    FOwnsTtf = TTF_WasInit() == 0;
    if (FOwnsTtf && TTF_Init() != 0)
      throw std::runtime_error(std::string("Fonts cannot be initialized: ") + TTF_GetError());
  }
  ~TFontCache() {
    FFaces.clear();
    for (auto& [key, font] : FOpen) TTF_CloseFont(font);
    if (FOwnsTtf) TTF_Quit();
#ifdef SPRAYRUSH_FONTCONFIG
    FcFini();  // fontconfig's configuration and caches, loaded by the first lookup
#endif
  }

  TFontFace& Find(std::string_view faceName, int points, bool bold) {
    const int pixels = PointsToPixels(points);
    std::string key = Lower(faceName) + '\n' + std::to_string(pixels) + (bold ? "b" : "");
    auto it = FFaces.find(key);
    if (it != FFaces.end()) return *it->second;

    std::unique_ptr<TFontFace> face(new TFontFace());
    const TFontFile file = Resolve(faceName, bold);
    const TFontFile fallbackFile = Resolve("Liberation Sans", bold);
    TTF_Font* primary = Open(file, std::max(1, int(std::lround(pixels * file.Scale))));
    TTF_Font* fallback = Open(fallbackFile, pixels);
    face->FFile = file.Path;
    face->FScaleX = file.ScaleX;
    face->FDigitsOnly = file.DigitsOnly;
    if (!primary) {
      primary = fallback;
      face->FFile = fallbackFile.Path;
      face->FScaleX = 1;
      face->FDigitsOnly = false;
    }
    if (!primary)
      throw std::runtime_error("Font '" + std::string(faceName) + "' cannot be opened");
    face->FPrimary = primary;
    face->FFallback = fallback == primary ? nullptr : fallback;
    face->FFallbackFile = fallbackFile.Path;
    // A shrunk stand-in sits in a line of the full size, on the fallback's baseline.
    TTF_Font* line = face->FFallback && file.Scale != 1 ? fallback : primary;
    face->FAscent = TTF_FontAscent(line);
    face->FHeight = TTF_FontHeight(line);
    return *FFaces.emplace(std::move(key), std::move(face)).first->second;
  }

 private:
  TTF_Font* Open(const TFontFile& file, int pixels) {
    if (file.Path.empty()) return nullptr;
    std::string key = file.Path + '\n' + std::to_string(file.Index) + '\n' + std::to_string(pixels);
    auto it = FOpen.find(key);
    if (it != FOpen.end()) return it->second;
    // Point size at 72 dpi is the pixel size: the em is exactly `pixels` high.
    TTF_Font* font = TTF_OpenFontIndex(file.Path.c_str(), pixels, file.Index);
    if (font) TTF_SetFontKerning(font, 0);  // the desktop draws without pair kerning
    FOpen.emplace(std::move(key), font);
    return font;
  }

  bool FOwnsTtf = false;
  std::map<std::string, TTF_Font*> FOpen;
  std::map<std::string, std::unique_ptr<TFontFace>> FFaces;
};

TFontFace::~TFontFace() = default;

bool TFontFace::PrimaryHas(char32_t cp) const {
  const bool letter = (cp >= 'A' && cp <= 'Z') || (cp >= 'a' && cp <= 'z');
  return !(FDigitsOnly && letter) && TTF_GlyphIsProvided32(static_cast<TTF_Font*>(FPrimary), Uint32(cp));
}

namespace {

// Renders one glyph of font and crops it to its ink; rows are counted from the
// font's own ascent line, which the caller shifts onto the primary face's.
void RenderGlyph(TTF_Font* font, char32_t cp, TGlyph& glyph) {
  int minx = 0, maxx = 0, miny = 0, maxy = 0, advance = 0;
  if (TTF_GlyphMetrics32(font, Uint32(cp), &minx, &maxx, &miny, &maxy, &advance) != 0) return;
  glyph.Advance = advance;
  SDL_Surface* rendered = TTF_RenderGlyph32_Blended(font, Uint32(cp), SDL_Color{255, 255, 255, 255});
  if (!rendered) return;
  SDL_Surface* s = SDL_ConvertSurfaceFormat(rendered, SDL_PIXELFORMAT_ARGB8888, 0);
  SDL_FreeSurface(rendered);
  if (!s) return;
  SDL_LockSurface(s);
  int x0 = s->w, x1 = -1, y0 = s->h, y1 = -1;
  auto alpha = [s](int x, int y) {
    return uint8_t(reinterpret_cast<const uint32_t*>(static_cast<const uint8_t*>(s->pixels) +
                                                     y * s->pitch)[x] >> 24);
  };
  for (int y = 0; y < s->h; ++y)
    for (int x = 0; x < s->w; ++x)
      if (alpha(x, y)) {
        x0 = std::min(x0, x), x1 = std::max(x1, x);
        y0 = std::min(y0, y), y1 = std::max(y1, y);
      }
  if (x1 >= 0) {
    // A glyph reaching left of the pen is rendered shifted right by that much.
    const int originX = std::max(0, -minx);
    glyph.Left = x0 - originX;
    glyph.Top = y0;
    glyph.Width = x1 - x0 + 1;
    glyph.Height = y1 - y0 + 1;
    glyph.Coverage.resize(size_t(glyph.Width) * glyph.Height);
    for (int y = 0; y < glyph.Height; ++y)
      for (int x = 0; x < glyph.Width; ++x)
        glyph.Coverage[size_t(y) * glyph.Width + x] = alpha(x0 + x, y0 + y);
  }
  SDL_UnlockSurface(s);
  SDL_FreeSurface(s);
}

// Narrows a glyph by scale (< 1): each new column averages the columns it covers.
void SqueezeX(TGlyph& glyph, double scale) {
  glyph.Advance = int(std::lround(glyph.Advance * scale));
  if (glyph.Width == 0) return;
  const double left = glyph.Left * scale, right = (glyph.Left + glyph.Width) * scale;
  const int newLeft = int(std::floor(left)), newWidth = std::max(1, int(std::ceil(right)) - newLeft);
  std::vector<uint8_t> coverage(size_t(newWidth) * glyph.Height);
  for (int y = 0; y < glyph.Height; ++y)
    for (int x = 0; x < newWidth; ++x) {
      // The new column spans [x0, x1) in old glyph columns.
      const double x0 = (newLeft + x) / scale - glyph.Left, x1 = (newLeft + x + 1) / scale - glyph.Left;
      double sum = 0;
      for (int c = std::max(0, int(std::floor(x0))); c < std::min(glyph.Width, int(std::ceil(x1))); ++c) {
        const double part = std::min<double>(c + 1, x1) - std::max<double>(c, x0);
        if (part > 0) sum += part * glyph.Coverage[size_t(y) * glyph.Width + c];
      }
      coverage[size_t(y) * newWidth + x] = uint8_t(std::min(255L, std::lround(sum * scale)));
    }
  glyph.Left = newLeft;
  glyph.Width = newWidth;
  glyph.Coverage = std::move(coverage);
}

}  // namespace

const TGlyph& TFontFace::Glyph(uint8_t c) {
  std::unique_ptr<TGlyph>& slot = FGlyphs[c];
  if (slot) return *slot;
  slot = std::make_unique<TGlyph>();
  const char32_t cp = Cp1251ToUnicode(c);
  if (cp < 0x20 || cp == 0xFFFD) return *slot;  // control characters and the unassigned byte take no room
  auto primary = static_cast<TTF_Font*>(FPrimary);
  auto fallback = static_cast<TTF_Font*>(FFallback);
  // A glyph that neither face has is left out rather than drawn as a box.
  if (PrimaryHas(cp)) {
    RenderGlyph(primary, cp, *slot);
    slot->Top += FAscent - TTF_FontAscent(primary);
    if (FScaleX != 1) SqueezeX(*slot, FScaleX);
  } else if (fallback && TTF_GlyphIsProvided32(fallback, Uint32(cp))) {
    RenderGlyph(fallback, cp, *slot);
    slot->Top += FAscent - TTF_FontAscent(fallback);
  }
  return *slot;
}

TFontFace& TFontFace::FaceFor(std::string_view text) {
  if (!FFallback) return *this;
  bool whole = true;
  for (char ch : text) {
    const auto c = static_cast<uint8_t>(ch);
    if (FProvided[c] == 0) {
      const char32_t cp = Cp1251ToUnicode(c);
      const bool takesNoRoom = cp < 0x20 || cp == 0xFFFD;
      FProvided[c] = takesNoRoom || PrimaryHas(cp) ? 1 : -1;
    }
    if (FProvided[c] < 0) {
      whole = false;
      break;
    }
  }
  if (whole) return *this;
  if (!FWholeFallback) {
    // The fallback on this face's line: same ascent and height, so texts keep their place.
    FWholeFallback.reset(new TFontFace());
    FWholeFallback->FPrimary = FFallback;
    FWholeFallback->FAscent = FAscent;
    FWholeFallback->FHeight = FHeight;
    FWholeFallback->FFile = FFallbackFile;
  }
  return *FWholeFallback;
}

int TFontFace::TextWidth(std::string_view text) {
  int width = 0;
  for (char c : text) width += Glyph(static_cast<uint8_t>(c)).Advance;
  return width;
}

TFontFace& FindFont(std::string_view faceName, int points, bool bold) {
  static TFontCache cache;
  return cache.Find(faceName, points, bold);
}

}  // namespace Platform
