#pragma once
// Reader and writer of the resource-wrapped component streams that the picture and
// sound libraries are stored in. Values keep their raw bytes: strings are Windows-1251.
#include <cstdint>
#include <optional>
#include <span>
#include <stdexcept>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "media/Platform/Files.h"

// Raised with "Invalid stream format" for a bad wrapper or a malformed stream.
class EStreamError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

enum class TValueType : uint8_t {
  vaNull = 0,
  vaList = 1,
  vaInt8 = 2,
  vaInt16 = 3,
  vaInt32 = 4,
  vaString = 6,
  vaIdent = 7,
  vaFalse = 8,
  vaTrue = 9,
  vaBinary = 10,
  vaLString = 12,
  vaNil = 13,
  vaCollection = 14,
};

struct TStreamItem;

struct TStreamValue {
  TValueType Type = TValueType::vaNil;
  int32_t Int = 0;                 // vaInt8/16/32; 0/1 for vaFalse/vaTrue
  std::string Text;                // vaString, vaLString, vaIdent
  std::vector<uint8_t> Data;       // vaBinary, unless read in place
  std::span<const uint8_t> InPlace;  // vaBinary read in place: a part of the file image
  std::vector<TStreamValue> List;  // vaList
  std::vector<TStreamItem> Items;  // vaCollection

  bool IsInteger() const;
  bool IsString() const;
  bool IsBoolean() const;
  // The bytes of a vaBinary value, wherever they are kept.
  std::span<const uint8_t> Binary() const { return InPlace.empty() ? std::span<const uint8_t>(Data) : InPlace; }
};

struct TStreamProperty {
  std::string Name;  // may be dotted: "Picture.Data"
  TStreamValue Value;
};

struct TStreamItem {
  std::optional<int32_t> Order;
  std::vector<TStreamProperty> Properties;
  // The value of the named property (exact name), or null when absent.
  const TStreamValue* Find(std::string_view name) const;
};

struct TStreamComponent {
  std::string ClassName;
  std::string ObjectName;
  std::vector<TStreamProperty> Properties;
  const TStreamValue* Find(std::string_view name) const;
  TStreamValue* Find(std::string_view name) {
    return const_cast<TStreamValue*>(std::as_const(*this).Find(name));
  }
};

// Parses a whole file image: resource header, then the component stream.
// Throws EStreamError; never reads past the span.
TStreamComponent ReadComponentResource(std::span<const uint8_t> bytes);
// The same, with binary values left in the file image (InPlace) rather than copied, for
// a reader done with them before the image goes: a library's pictures are most of it.
TStreamComponent ReadComponentResourceInPlace(std::span<const uint8_t> bytes);

// Writes the file image that ReadComponentResource reads back.
std::vector<uint8_t> WriteComponentResource(const TStreamComponent& component,
                                            std::string_view resourceName);

// Colour identifiers a colour property may be written as (clBlack, clRed, ...),
// as 0x00BBGGRR; nullopt for an unknown name. Case is ignored. System colours come
// back as 0x80000000 + index, clNone as 0x1FFFFFFF, clDefault as 0x20000000.
std::optional<int32_t> IdentToColor(std::string_view ident);
// A colour value to plain 0x00BBGGRR: system colours take the classic desktop scheme,
// the high byte of any other value is dropped.
uint32_t ColorToRGB(int32_t color);

// Reads a whole file given as a game path; throws EFOpenError
// ("Cannot open file \"%s\". %s") when it cannot be opened or read.
class EFOpenError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};
std::vector<uint8_t> ReadWholeFile(const std::string& gamePath);
// The same as a view, mapped where the system allows (Platform::TFileBytes), for a file
// read once: the libraries.
Platform::TFileBytes MapWholeFile(const std::string& gamePath);
