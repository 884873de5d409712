#include "media/DXClass/ComponentStream.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstring>
#include <fstream>
#include <iterator>

#include "media/Platform/Paths.h"
#include "media/Platform/Text.h"

bool TStreamValue::IsInteger() const {
  return Type == TValueType::vaInt8 || Type == TValueType::vaInt16 || Type == TValueType::vaInt32;
}

bool TStreamValue::IsString() const {
  return Type == TValueType::vaString || Type == TValueType::vaLString;
}

bool TStreamValue::IsBoolean() const {
  return Type == TValueType::vaFalse || Type == TValueType::vaTrue;
}

static const TStreamValue* FindProperty(const std::vector<TStreamProperty>& props,
                                        std::string_view name) {
  // The last one wins, as a reader that assigns properties in file order would leave it.
  for (auto it = props.rbegin(); it != props.rend(); ++it)
    if (it->Name == name) return &it->Value;
  return nullptr;
}

const TStreamValue* TStreamItem::Find(std::string_view name) const {
  return FindProperty(Properties, name);
}

const TStreamValue* TStreamComponent::Find(std::string_view name) const {
  return FindProperty(Properties, name);
}

namespace {

// Nesting deeper than this is no library we write; it only guards the stack.
constexpr int MaxDepth = 32;

class TStreamReader {
 public:
  TStreamReader(std::span<const uint8_t> bytes, bool inPlace) : FBytes(bytes), FInPlace(inPlace) {}

  TStreamComponent ReadResource() {
    if (FBytes.size() < 2 || FBytes[0] != 0xFF || FBytes[1] != 0x0A) Fail();
    FPos = 3;  // the third byte (high byte of the type ordinal) goes unchecked
    if (FPos > FBytes.size()) Fail();
    while (Byte() != 0) {
    }
    Take(2 + 4);  // flags word and data size
    return ReadComponent();
  }

 private:
  std::span<const uint8_t> FBytes;
  bool FInPlace;
  size_t FPos = 0;
  int FDepth = 0;

  [[noreturn]] static void Fail() { throw EStreamError("Invalid stream format"); }

  size_t Left() const { return FBytes.size() - FPos; }

  uint8_t Byte() {
    if (FPos >= FBytes.size()) Fail();
    return FBytes[FPos++];
  }

  uint8_t Peek() const {
    if (FPos >= FBytes.size()) Fail();
    return FBytes[FPos];
  }

  const uint8_t* Take(size_t n) {
    if (n > Left()) Fail();
    const uint8_t* p = FBytes.data() + FPos;
    FPos += n;
    return p;
  }

  uint32_t Unsigned(size_t n) {
    const uint8_t* p = Take(n);
    uint32_t v = 0;
    for (size_t i = n; i-- > 0;) v = (v << 8) | p[i];
    return v;
  }

  std::string Chars(size_t n) {
    const uint8_t* p = Take(n);
    return std::string(reinterpret_cast<const char*>(p), n);
  }

  std::string ShortString() { return Chars(Byte()); }

  TStreamComponent ReadComponent() {
    if (Chars(4) != "TPF0") Fail();
    TStreamComponent c;
    if ((Peek() & 0xF0) == 0xF0) {
      uint8_t flags = Byte() & 0x0F;
      if (flags & 0x02) {
        TStreamValue pos = ReadValue();
        if (!pos.IsInteger()) Fail();
      }
    }
    c.ClassName = ShortString();
    c.ObjectName = ShortString();
    c.Properties = ReadProperties();
    if (Byte() != 0) Fail();  // a library component has no children
    return c;
  }

  std::vector<TStreamProperty> ReadProperties() {
    std::vector<TStreamProperty> props;
    for (;;) {
      std::string name = ShortString();
      if (name.empty()) return props;
      props.push_back({std::move(name), ReadValue()});
    }
  }

  TStreamValue ReadValue() {
    if (++FDepth > MaxDepth) Fail();
    TStreamValue v;
    v.Type = static_cast<TValueType>(Byte());
    switch (v.Type) {
      case TValueType::vaList:
        while (Peek() != 0) v.List.push_back(ReadValue());
        ++FPos;
        break;
      case TValueType::vaInt8:
        v.Int = static_cast<int8_t>(Byte());
        break;
      case TValueType::vaInt16:
        v.Int = static_cast<int16_t>(Unsigned(2));
        break;
      case TValueType::vaInt32:
        v.Int = static_cast<int32_t>(Unsigned(4));
        break;
      case TValueType::vaString:
      case TValueType::vaIdent:
        v.Text = ShortString();
        break;
      case TValueType::vaFalse:
        v.Int = 0;
        break;
      case TValueType::vaTrue:
        v.Int = 1;
        break;
      case TValueType::vaBinary: {
        const uint32_t n = Unsigned(4);
        const uint8_t* p = Take(n);
        if (FInPlace)
          v.InPlace = {p, n};
        else
          v.Data.assign(p, p + n);
        break;
      }
      case TValueType::vaLString:
        v.Text = Chars(Unsigned(4));
        break;
      case TValueType::vaNil:
        break;
      case TValueType::vaCollection:
        ReadCollection(v.Items);
        break;
      default:
        Fail();
    }
    --FDepth;
    return v;
  }

  void ReadCollection(std::vector<TStreamItem>& items) {
    while (Peek() != 0) {
      TStreamItem item;
      uint8_t tag = Peek();
      if (tag == 2 || tag == 3 || tag == 4) item.Order = ReadValue().Int;
      if (Byte() != static_cast<uint8_t>(TValueType::vaList)) Fail();
      item.Properties = ReadProperties();
      items.push_back(std::move(item));
    }
    ++FPos;
  }
};

class TStreamWriter {
 public:
  std::vector<uint8_t> Out;

  void Byte(uint8_t b) { Out.push_back(b); }
  void Unsigned(uint32_t v, int n) {
    for (int i = 0; i < n; ++i) Out.push_back(static_cast<uint8_t>(v >> (8 * i)));
  }
  void Chars(std::string_view s) { Out.insert(Out.end(), s.begin(), s.end()); }
  void ShortString(std::string_view s) {
    if (s.size() > 255) throw EStreamError("Name too long for a component stream: " + std::string(s));
    Byte(static_cast<uint8_t>(s.size()));
    Chars(s);
  }

  // Writes the tag asked for unless the number does not fit it, so a test can pick
  // each tag while a careless caller never gets a silently truncated value.
  void Integer(TValueType asked, int32_t v) {
    TValueType t = asked;
    if (t == TValueType::vaInt8 && (v < -128 || v > 127)) t = TValueType::vaInt16;
    if (t == TValueType::vaInt16 && (v < -32768 || v > 32767)) t = TValueType::vaInt32;
    Byte(static_cast<uint8_t>(t));
    Unsigned(static_cast<uint32_t>(v),
             t == TValueType::vaInt8 ? 1 : t == TValueType::vaInt16 ? 2 : 4);
  }

  void Properties(const std::vector<TStreamProperty>& props) {
    for (const TStreamProperty& p : props) {
      if (p.Name.empty()) throw EStreamError("Empty property name");
      ShortString(p.Name);
      Value(p.Value);
    }
    Byte(0);
  }

  void Value(const TStreamValue& v) {
    switch (v.Type) {
      case TValueType::vaList:
        Byte(1);
        for (const TStreamValue& e : v.List) Value(e);
        Byte(0);
        break;
      case TValueType::vaInt8:
      case TValueType::vaInt16:
      case TValueType::vaInt32:
        Integer(v.Type, v.Int);
        break;
      case TValueType::vaString:
        if (v.Text.size() > 255) {
          Byte(static_cast<uint8_t>(TValueType::vaLString));
          Unsigned(static_cast<uint32_t>(v.Text.size()), 4);
        } else {
          Byte(static_cast<uint8_t>(TValueType::vaString));
          Byte(static_cast<uint8_t>(v.Text.size()));
        }
        Chars(v.Text);
        break;
      case TValueType::vaIdent:
        Byte(static_cast<uint8_t>(v.Type));
        ShortString(v.Text);
        break;
      case TValueType::vaFalse:
      case TValueType::vaTrue:
      case TValueType::vaNil:
        Byte(static_cast<uint8_t>(v.Type));
        break;
      case TValueType::vaBinary:
        Byte(static_cast<uint8_t>(v.Type));
        Unsigned(static_cast<uint32_t>(v.Binary().size()), 4);
        Out.insert(Out.end(), v.Binary().begin(), v.Binary().end());
        break;
      case TValueType::vaLString:
        Byte(static_cast<uint8_t>(v.Type));
        Unsigned(static_cast<uint32_t>(v.Text.size()), 4);
        Chars(v.Text);
        break;
      case TValueType::vaCollection:
        Byte(static_cast<uint8_t>(v.Type));
        for (const TStreamItem& item : v.Items) {
          if (item.Order) Integer(TValueType::vaInt8, *item.Order);
          Byte(1);
          Properties(item.Properties);
        }
        Byte(0);
        break;
      default:
        throw EStreamError("Value type cannot be written");
    }
  }
};

}  // namespace

TStreamComponent ReadComponentResource(std::span<const uint8_t> bytes) {
  return TStreamReader(bytes, false).ReadResource();
}

TStreamComponent ReadComponentResourceInPlace(std::span<const uint8_t> bytes) {
  return TStreamReader(bytes, true).ReadResource();
}

std::vector<uint8_t> WriteComponentResource(const TStreamComponent& component,
                                            std::string_view resourceName) {
  TStreamWriter body;
  body.Out = {'T', 'P', 'F', '0'};
  body.ShortString(component.ClassName);
  body.ShortString(component.ObjectName);
  body.Properties(component.Properties);
  body.Byte(0);  // no children

  TStreamWriter file;
  file.Byte(0xFF);
  file.Unsigned(10, 2);  // resource type: the ordinal 10
  for (char ch : resourceName) {
    if (ch == '\0') throw EStreamError("Resource name with a zero byte");
    // Resource names are kept upper case.
    file.Byte(static_cast<uint8_t>(ch >= 'a' && ch <= 'z' ? ch - 'a' + 'A' : ch));
  }
  file.Byte(0);
  file.Unsigned(0x1030, 2);  // moveable, pure, discardable
  file.Unsigned(static_cast<uint32_t>(body.Out.size()), 4);
  file.Out.insert(file.Out.end(), body.Out.begin(), body.Out.end());
  return std::move(file.Out);
}

namespace {

struct TColorIdent {
  const char* Name;
  int32_t Value;
};

constexpr int32_t SysColor(int index) { return static_cast<int32_t>(0x80000000u | unsigned(index)); }

constexpr std::array<TColorIdent, 54> ColorIdents{{
    {"clBlack", 0x000000},     {"clMaroon", 0x000080},    {"clGreen", 0x008000},
    {"clOlive", 0x008080},     {"clNavy", 0x800000},      {"clPurple", 0x800080},
    {"clTeal", 0x808000},      {"clGray", 0x808080},      {"clSilver", 0xC0C0C0},
    {"clRed", 0x0000FF},       {"clLime", 0x00FF00},      {"clYellow", 0x00FFFF},
    {"clBlue", 0xFF0000},      {"clFuchsia", 0xFF00FF},   {"clAqua", 0xFFFF00},
    {"clWhite", 0xFFFFFF},     {"clLtGray", 0xC0C0C0},    {"clDkGray", 0x808080},
    {"clMoneyGreen", 0xC0DCC0}, {"clSkyBlue", 0xF0CAA6},  {"clCream", 0xF0FBFF},
    {"clMedGray", 0xA4A0A0},   {"clNone", 0x1FFFFFFF},    {"clDefault", 0x20000000},
    {"clScrollBar", SysColor(0)},          {"clBackground", SysColor(1)},
    {"clActiveCaption", SysColor(2)},      {"clInactiveCaption", SysColor(3)},
    {"clMenu", SysColor(4)},               {"clWindow", SysColor(5)},
    {"clWindowFrame", SysColor(6)},        {"clMenuText", SysColor(7)},
    {"clWindowText", SysColor(8)},         {"clCaptionText", SysColor(9)},
    {"clActiveBorder", SysColor(10)},      {"clInactiveBorder", SysColor(11)},
    {"clAppWorkSpace", SysColor(12)},      {"clHighlight", SysColor(13)},
    {"clHighlightText", SysColor(14)},     {"clBtnFace", SysColor(15)},
    {"clBtnShadow", SysColor(16)},         {"clGrayText", SysColor(17)},
    {"clBtnText", SysColor(18)},           {"clInactiveCaptionText", SysColor(19)},
    {"clBtnHighlight", SysColor(20)},      {"cl3DDkShadow", SysColor(21)},
    {"cl3DLight", SysColor(22)},           {"clInfoText", SysColor(23)},
    {"clInfoBk", SysColor(24)},            {"clHotLight", SysColor(26)},
    {"clGradientActiveCaption", SysColor(27)}, {"clGradientInactiveCaption", SysColor(28)},
    {"clMenuHighlight", SysColor(29)},     {"clMenuBar", SysColor(30)},
}};

// The classic desktop scheme, standing in for the user's system colours.
constexpr std::array<uint32_t, 31> SysColorValues{
    0xC8D0D4, 0x808000, 0x6A240A, 0x808080, 0xC8D0D4, 0xFFFFFF, 0x000000, 0x000000,
    0x000000, 0xFFFFFF, 0xC8D0D4, 0xC8D0D4, 0x808080, 0x6A240A, 0xFFFFFF, 0xC8D0D4,
    0x808080, 0x808080, 0x000000, 0xC8D0D4, 0xFFFFFF, 0x404040, 0xC8D0D4, 0x000000,
    0xE1FFFF, 0xB5B5B5, 0x800000, 0xF0CAA6, 0xC0C0C0, 0x6A240A, 0xC8D0D4};

bool SameText(std::string_view a, std::string_view b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
           auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c; };
           return lower(x) == lower(y);
         });
}

}  // namespace

std::optional<int32_t> IdentToColor(std::string_view ident) {
  for (const TColorIdent& c : ColorIdents)
    if (SameText(c.Name, ident)) return c.Value;
  return std::nullopt;
}

uint32_t ColorToRGB(int32_t color) {
  if (color < 0) {
    uint32_t index = static_cast<uint32_t>(color) & 0xFF;
    return index < SysColorValues.size() ? SysColorValues[index] : 0;
  }
  return static_cast<uint32_t>(color) & 0x00FFFFFF;
}

Platform::TFileBytes MapWholeFile(const std::string& gamePath) {
  const auto native = Platform::NativePath(gamePath);
  Platform::TFileBytes file;
  std::error_code error;
  bool opened = false;
  if (file.Open(native, error, opened)) return file;
  // The message is in the game's code page, whatever letters the folder's name has.
  const std::string path = Platform::Utf8ToCp1251(Platform::PathToUtf8(native));
  if (!opened) throw EFOpenError("Cannot open file \"" + path + "\". " + std::strerror(error.value()));
  throw EFOpenError("Cannot read file \"" + path + "\".");
}

std::vector<uint8_t> ReadWholeFile(const std::string& gamePath) {
  const auto native = Platform::NativePath(gamePath);
  // The message is in the game's code page, whatever letters the folder's name has.
  const std::string path = Platform::Utf8ToCp1251(Platform::PathToUtf8(native));
  std::ifstream in(native, std::ios::binary);
  if (!in) {
    int err = errno;
    throw EFOpenError("Cannot open file \"" + path + "\". " + std::strerror(err));
  }
  // One read of the known size: growing a vector byte by byte would peak at twice it.
  std::vector<uint8_t> bytes;
  in.seekg(0, std::ios::end);
  const std::streamoff size = in.tellg();
  in.seekg(0, std::ios::beg);
  if (size > 0) {
    bytes.resize(size_t(size));
    in.read(reinterpret_cast<char*>(bytes.data()), size);
    bytes.resize(size_t(in.gcount()));
  }
  if (in.bad()) throw EFOpenError("Cannot read file \"" + path + "\".");
  return bytes;
}
