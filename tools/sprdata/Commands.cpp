#include "tools/sprdata/Commands.h"

#include <cstdio>
#include <filesystem>
#include <functional>
#include <map>
#include <set>

#include "media/DXClass/ComponentStream.h"
#include "media/DXDraws/PictureCollection.h"
#include "tools/sprdata/Catalogue.h"
#include "tools/sprdata/FileUtil.h"
#include "tools/sprdata/PictureLibrary.h"
#include "tools/sprdata/SoundLibrary.h"
#include "tools/sprdata/Synth.h"
#include "tools/sprdata/TextUtil.h"

namespace {

using TArgs = std::vector<std::string>;

// Splits "--name value" options off the positional arguments; false on an unknown option.
bool TakeOptions(TArgs& args, const std::set<std::string>& flags, const std::set<std::string>& valued,
                 std::map<std::string, std::string>& options) {
  TArgs rest;
  for (size_t i = 0; i < args.size(); ++i) {
    if (!args[i].starts_with("--")) {
      rest.push_back(args[i]);
    } else if (flags.count(args[i])) {
      options[args[i]] = "yes";
    } else if (valued.count(args[i]) && i + 1 < args.size()) {
      options[args[i]] = args[i + 1];
      ++i;
    } else {
      std::fprintf(stderr, "sprdata: unknown option %s\n", args[i].c_str());
      return false;
    }
  }
  args = rest;
  return true;
}

void Write(const std::string& path, const std::vector<uint8_t>& bytes) { WriteFileAtomically(path, bytes); }

int PackPictures(TArgs args) {
  std::map<std::string, std::string> options;
  if (!TakeOptions(args, {}, {"--depfile"}, options) || args.size() != 2) return 2;
  std::vector<std::string> errors;
  const auto sources = ReadPictureManifest(args[0], &errors);
  for (const auto& e : errors) std::fprintf(stderr, "sprdata: %s\n", e.c_str());
  std::vector<TLibraryPicture> pictures;
  int failures = int(errors.size());
  for (const auto& source : sources) {
    try {
      pictures.push_back(PackPicture(source));
    } catch (const EDataError& e) {
      std::fprintf(stderr, "sprdata: %s\n", e.what());
      ++failures;
    }
  }
  if (failures) {
    std::fprintf(stderr, "sprdata: %s not written: %d picture(s) failed\n", args[1].c_str(), failures);
    return 1;
  }
  Write(args[1], WritePictureLibrary(pictures));
  if (options.count("--depfile")) {
    std::vector<std::string> deps{args[0]};
    for (const auto& s : sources) deps.push_back(s.Source);
    WriteDepFile(options["--depfile"], args[1], deps);
  }
  std::printf("%s: %zu pictures\n", args[1].c_str(), pictures.size());
  return 0;
}

int PackSoundLibrary(TArgs args) {
  std::map<std::string, std::string> options;
  if (!TakeOptions(args, {}, {"--depfile"}, options) || args.size() != 2) return 2;
  const auto sources = ReadSoundManifest(args[0]);
  const auto entries = PackSounds(sources);
  Write(args[1], WriteWaveLibrary(entries));
  if (options.count("--depfile")) {
    std::vector<std::string> deps{args[0]};
    for (const auto& s : sources) deps.push_back(s.Description);
    WriteDepFile(options["--depfile"], args[1], deps);
  }
  std::printf("%s: %zu sounds\n", args[1].c_str(), entries.size());
  return 0;
}

int Preview(TArgs args) {
  if (args.size() < 2) return 2;
  const std::set<std::string> only(args.begin() + 2, args.end());
  MakeDirectories(args[1]);
  std::vector<std::string> errors;
  const auto sources = ReadPictureManifest(args[0], &errors);
  for (const auto& e : errors) std::fprintf(stderr, "sprdata: %s\n", e.c_str());
  int failures = int(errors.size());
  for (const auto& source : sources) {
    if (!only.empty() && !only.count(source.Name)) continue;
    try {
      const TLibraryPicture picture = PackPicture(source);
      SavePng(PictureToRgba(picture.Dib, picture.Transparent, picture.TransparentColor), args[1] + "/" + source.Name + ".png");
      std::printf("%-16s %4dx%-4d pattern %dx%d x %d\n", source.Name.c_str(), picture.Dib.Width(), picture.Dib.Height(),
                  picture.Width(), picture.Height(), picture.PatternCount());
    } catch (const EDataError& e) {
      std::fprintf(stderr, "sprdata: %s\n", e.what());
      ++failures;
    }
  }
  return failures ? 1 : 0;
}

int Synth(TArgs args) {
  std::map<std::string, std::string> options;
  if (!TakeOptions(args, {"--looped"}, {}, options) || args.size() != 2) return 2;
  Write(args[1], WriteRiffWave(MakeSound(args[0], options.count("--looped") > 0)));
  return 0;
}

std::string LibraryClass(const std::string& path) { return ReadComponentResource(ReadFileBytes(path)).ClassName; }

std::string KeyText(const TLibraryPicture& p) { return p.Transparent ? HexColor(SwapRB(p.TransparentColor)) : "none"; }

double Seconds(const TWave& wave) {
  const auto& f = wave.Format;
  return f.BlockAlign && f.SamplesPerSec ? double(wave.Data.size() / f.BlockAlign) / f.SamplesPerSec : 0;
}

int List(TArgs args) {
  if (args.size() != 1) return 2;
  if (LibraryClass(args[0]) == "TWaveCollectionComponent") {
    std::printf("%-16s %-22s %8s %-6s %s\n", "name", "format", "length", "looped", "max");
    for (const auto& e : ReadSoundLibrary(args[0])) {
      char format[40];
      std::snprintf(format, sizeof format, "%u Hz %u-bit %s", e.Wave.Format.SamplesPerSec, e.Wave.Format.BitsPerSample,
                    e.Wave.Format.Channels == 1 ? "mono" : "stereo");
      std::printf("%-16s %-22s %7.3fs %-6s %d\n", e.Name.c_str(), format, Seconds(e.Wave), e.Looped ? "yes" : "no",
                  e.MaxPlayingCount);
    }
    return 0;
  }
  std::printf("%-16s %-9s %-9s %5s %-7s %4s %s\n", "name", "size", "pattern", "count", "skip", "bits", "key");
  for (const auto& p : ReadPictureLibrary(args[0])) {
    const std::string size = std::to_string(p.Dib.Width()) + "x" + std::to_string(p.Dib.Height());
    const std::string pattern = std::to_string(p.Width()) + "x" + std::to_string(p.Height());
    const std::string skip = std::to_string(p.SkipWidth) + "x" + std::to_string(p.SkipHeight);
    std::printf("%-16s %-9s %-9s %5d %-7s %4d %s\n", p.Name.c_str(), size.c_str(), pattern.c_str(), p.PatternCount(),
                skip.c_str(), p.Bits, KeyText(p).c_str());
  }
  return 0;
}

int Extract(TArgs args) {
  std::map<std::string, std::string> options;
  if (!TakeOptions(args, {"--patterns"}, {}, options) || args.size() != 2) return 2;
  MakeDirectories(args[1]);
  if (LibraryClass(args[0]) == "TWaveCollectionComponent") {
    for (const auto& e : ReadSoundLibrary(args[0])) Write(args[1] + "/" + e.Name + ".wav", WriteRiffWave(e.Wave));
    return 0;
  }
  for (const auto& p : ReadPictureLibrary(args[0])) {
    SavePng(PictureToRgba(p.Dib, p.Transparent, p.TransparentColor), args[1] + "/" + p.Name + ".png");
    if (options.count("--patterns") && p.PatternCount() > 1)
      for (int i = 0; i < p.PatternCount(); ++i)
        SavePng(PictureToRgba(p.Pattern(i), p.Transparent, p.TransparentColor),
                args[1] + "/" + p.Name + "." + std::to_string(i) + ".png");
  }
  return 0;
}

int Replace(TArgs args) {
  if (args.size() < 3) return 2;
  const std::string& path = args[0];
  const auto bytes = ReadFileBytes(path);
  // What the game reads now: the new picture starts from the old one's layout.
  const auto current = ReadPictureLibrary(path);
  TStreamComponent component = ReadComponentResource(bytes);
  TStreamValue* list = nullptr;
  for (auto& p : component.Properties)
    if (p.Name == "List" && p.Value.Type == TValueType::vaCollection) list = &p.Value;
  int index = -1;
  for (int i = int(current.size()) - 1; i >= 0 && index < 0; --i)
    if (LowerCase(current[size_t(i)].Name) == LowerCase(args[1])) index = i;
  if (!list || index < 0) throw EDataError(path + ": no picture '" + args[1] + "'");
  const TLibraryPicture& old = current[size_t(index)];

  TPictureSource source;
  source.Name = old.Name;
  source.Source = args[2];
  source.PatternWidth = old.PatternWidth, source.PatternHeight = old.PatternHeight;
  source.SkipWidth = old.SkipWidth, source.SkipHeight = old.SkipHeight;
  source.Key = old.Transparent ? std::optional<uint32_t>(SwapRB(old.TransparentColor)) : std::nullopt;
  source.Bits = old.Bits == 8 || old.Bits == 16 || old.Bits == 32 ? old.Bits : 24;
  source.File = "command line";
  TSourceLine line{"command line", 0, args};
  for (size_t i = 3; i < args.size(); ++i) ApplyPictureField(line, args[i], source);
  const TLibraryPicture picture = PackPicture(source);

  // Keep the item's other properties and every other item exactly as they were.
  TStreamItem& item = list->Items[size_t(index)];
  std::vector<TStreamProperty> props = PictureItemProperties(picture);
  for (const auto& p : item.Properties) {
    bool replaced = false;
    for (const auto& n : props) replaced = replaced || n.Name == p.Name;
    if (!replaced) props.push_back(p);
  }
  item.Properties = std::move(props);
  const auto out = WriteComponentResource(component, "TPictureCollectionComponent");
  TPictureCollection check;
  check.LoadFromBytes(out);
  Write(path, out);
  std::printf("%s: replaced '%s' (%dx%d, pattern %dx%d x %d)\n", path.c_str(), picture.Name.c_str(), picture.Dib.Width(),
              picture.Dib.Height(), picture.Width(), picture.Height(), check.Find(picture.Name).PatternCount());
  return 0;
}

int Check(TArgs args) {
  std::map<std::string, std::string> options;
  if (!TakeOptions(args, {"--warn-only"}, {"--stamp"}, options) || args.size() < 4) return 2;
  TBuiltData data;
  std::vector<std::string> problems;
  auto load = [&](const std::string& path, auto read, auto& into) {
    try {
      into = read(path);
    } catch (const std::exception& e) {
      problems.push_back(path + ": " + e.what());
    }
  };
  load(args[1], ReadPictureLibrary, data.Res1);
  load(args[2], ReadPictureLibrary, data.Res3);
  load(args[3], ReadSoundLibrary, data.Sounds);
  if (args.size() > 4) load(args[4], ReadPictureLibrary, data.Languages);
  for (size_t i = 5; i < args.size(); ++i) {
    TLanguagePictures& language = data.LanguageFolders.emplace_back();
    language.Folder = std::filesystem::path(args[i]).filename().string();
    load(args[i] + "/Res1.dxg", ReadPictureLibrary, language.Res1);
    load(args[i] + "/Res3.dxg", ReadPictureLibrary, language.Res3);
  }
  for (auto& p : CheckCatalogue(args[0], data)) problems.push_back(std::move(p));
  const bool warnOnly = options.count("--warn-only") > 0;
  for (const auto& p : problems) std::fprintf(stderr, "sprdata: %s%s\n", warnOnly ? "warning: " : "", p.c_str());
  if (!problems.empty() && !warnOnly) {
    std::fprintf(stderr, "sprdata: the game data is incomplete: %zu problem(s)\n", problems.size());
    return 1;
  }
  if (!problems.empty())
    std::fprintf(stderr, "sprdata: warning: %zu catalogue problem(s); the strict data build would stop here\n",
                 problems.size());
  if (options.count("--stamp")) Write(options["--stamp"], {});
  return 0;
}

}  // namespace

int RunCommand(const std::vector<std::string>& args) {
  static const std::map<std::string, std::function<int(TArgs)>> Commands = {
      {"pack-pictures", PackPictures}, {"pack-sounds", PackSoundLibrary}, {"preview", Preview}, {"synth", Synth},
      {"list", List}, {"extract", Extract}, {"replace", Replace}, {"check", Check}};
  if (args.empty()) return 2;
  const auto it = Commands.find(args[0]);
  if (it == Commands.end()) {
    std::fprintf(stderr, "sprdata: unknown command '%s'\n", args[0].c_str());
    return 2;
  }
  return it->second(TArgs(args.begin() + 1, args.end()));
}
