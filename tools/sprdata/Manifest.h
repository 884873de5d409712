#pragma once
// The text sources of the data build: picture manifests, the sound manifest and the
// catalogue share one line format: words separated by blanks, "#" at the start of a word
// begins a comment, blank lines are ignored.
#include <cstdint>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

// Every error of the data tool; source errors read "file:line: what is wrong".
class EDataError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

struct TSourceLine {
  std::string File;
  int Line = 0;
  std::vector<std::string> Words;

  [[noreturn]] void Fail(std::string_view what) const;
  // Splits word "key=value"; false when the word has no "=".
  static bool SplitField(const std::string& word, std::string& key, std::string& value);
};

// Throws EDataError when the file cannot be read.
std::vector<TSourceLine> ReadSourceLines(const std::string& path);

// Field values; each throws through line.Fail with the field named.
int32_t ParseInt(const TSourceLine& line, std::string_view field, const std::string& value,
                 int32_t min, int32_t max);
double ParseNumber(const TSourceLine& line, std::string_view field, const std::string& value);
bool ParseYesNo(const TSourceLine& line, std::string_view field, const std::string& value);
void ParseSize(const TSourceLine& line, std::string_view field, const std::string& value,
               int32_t& width, int32_t& height);

struct TPictureSource {
  std::string Name;
  std::string Source;  // path as resolved against the manifest's folder
  int32_t PatternWidth = 0, PatternHeight = 0;
  int32_t SkipWidth = 0, SkipHeight = 0;
  std::optional<uint32_t> Key = 0xFF00FFu;  // 0xRRGGBB; none = opaque
  int Bits = 24;
  std::string File;
  int Line = 0;
};

// Parses and checks a picture manifest (fields, duplicates, that every source exists).
// Throws at the first bad line, or, given `errors`, collects every bad line there and
// returns the good ones.
std::vector<TPictureSource> ReadPictureManifest(const std::string& path,
                                                std::vector<std::string>* errors = nullptr);
// One entry from its words after the name and source (used by "replace" too).
void ApplyPictureField(const TSourceLine& line, const std::string& word, TPictureSource& entry);

struct TSoundSource {
  std::string Name;
  std::string Description;  // path of the synthesiser description
  bool Looped = false;
  int32_t MaxPlayingCount = 0;
  std::string File;
  int Line = 0;
};

std::vector<TSoundSource> ReadSoundManifest(const std::string& path);

// Folder part of a path ("" for a bare name) and joining relative paths to it.
std::string DirName(const std::string& path);
std::string JoinPath(const std::string& dir, const std::string& relative);
