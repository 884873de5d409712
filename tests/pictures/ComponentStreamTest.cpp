#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

#include "media/DXClass/ComponentStream.h"
#include "media/Platform/Paths.h"

namespace {

using Bytes = std::vector<uint8_t>;

TStreamValue Int(TValueType t, int32_t v) {
  TStreamValue r;
  r.Type = t;
  r.Int = v;
  return r;
}
TStreamValue Text(TValueType t, std::string s) {
  TStreamValue r;
  r.Type = t;
  r.Text = std::move(s);
  return r;
}
TStreamValue Plain(TValueType t) {
  TStreamValue r;
  r.Type = t;
  return r;
}

Bytes Cat(std::initializer_list<Bytes> parts) {
  Bytes out;
  for (const Bytes& p : parts) out.insert(out.end(), p.begin(), p.end());
  return out;
}
Bytes Str(std::string_view s) { return Bytes(s.begin(), s.end()); }

// Resource header and signature as a hand-written file would start.
const Bytes Header = Cat({{0xFF, 0x0A, 0x00}, Str("LIB"), {0x00, 0x30, 0x10, 0, 0, 0, 0}, Str("TPF0")});

}  // namespace

TEST(ComponentStream, ReadsHandWrittenStreamWithEveryTag) {
  Bytes file = Cat({Header,
                    {0xF2, 0x02, 0x05},  // flags with a child position
                    {4}, Str("TAbc"), {2}, Str("Me"),
                    {2}, Str("I1"), {2, 0xFE},
                    {2}, Str("I2"), {3, 0x34, 0x92},
                    {2}, Str("I4"), {4, 0x78, 0x56, 0x34, 0x12},
                    {1}, Str("S"), {6, 2}, Str("hi"),
                    {1}, Str("L"), {12, 3, 0, 0, 0}, Str("abc"),
                    {1}, Str("C"), {7, 5}, Str("clRed"),
                    {1}, Str("F"), {8},
                    {1}, Str("T"), {9},
                    {1}, Str("B"), {10, 2, 0, 0, 0, 0xAA, 0xBB},
                    {1}, Str("N"), {13},
                    {4}, Str("List"), {1, 2, 7, 6, 1}, Str("x"), {1, 0}, {0},
                    {4}, Str("Coll"), {14},
                    {1}, {4}, Str("Name"), {6, 1}, Str("a"), {0},        // item without order
                    {2, 9, 1}, {12}, Str("Picture.Data"), {10, 0, 0, 0, 0}, {0},  // with order
                    {0},
                    {0}, {0}});
  TStreamComponent c = ReadComponentResource(file);
  EXPECT_EQ(c.ClassName, "TAbc");
  EXPECT_EQ(c.ObjectName, "Me");
  EXPECT_EQ(c.Find("I1")->Int, -2);
  EXPECT_EQ(c.Find("I2")->Int, int16_t(0x9234));
  EXPECT_EQ(c.Find("I4")->Int, 0x12345678);
  EXPECT_EQ(c.Find("S")->Text, "hi");
  EXPECT_EQ(c.Find("L")->Text, "abc");
  EXPECT_EQ(c.Find("C")->Type, TValueType::vaIdent);
  EXPECT_EQ(c.Find("C")->Text, "clRed");
  EXPECT_TRUE(c.Find("F")->IsBoolean());
  EXPECT_EQ(c.Find("T")->Int, 1);
  EXPECT_EQ(c.Find("B")->Data, (Bytes{0xAA, 0xBB}));
  EXPECT_EQ(c.Find("N")->Type, TValueType::vaNil);
  ASSERT_EQ(c.Find("List")->List.size(), 3u);
  EXPECT_EQ(c.Find("List")->List[2].List.size(), 0u);
  const auto& items = c.Find("Coll")->Items;
  ASSERT_EQ(items.size(), 2u);
  EXPECT_FALSE(items[0].Order);
  EXPECT_EQ(items[0].Find("Name")->Text, "a");
  EXPECT_EQ(items[1].Order, 9);
  EXPECT_TRUE(items[1].Find("Picture.Data")->Data.empty());
  EXPECT_EQ(c.Find("Missing"), nullptr);
}

TEST(ComponentStream, WriterRoundTripsEveryTag) {
  TStreamComponent c{"TPictureCollectionComponent", "Lib", {}};
  c.Properties.push_back({"A", Int(TValueType::vaInt8, 300)});  // promoted, not truncated
  c.Properties.push_back({"B", Int(TValueType::vaInt16, -5)});
  c.Properties.push_back({"C", Int(TValueType::vaInt32, INT32_MIN)});
  c.Properties.push_back({"D", Text(TValueType::vaString, std::string(300, 'x'))});
  c.Properties.push_back({"E", Text(TValueType::vaLString, "\xCF\xF0\xE8")});
  c.Properties.push_back({"F", Text(TValueType::vaIdent, "clAqua")});
  c.Properties.push_back({"G", Plain(TValueType::vaTrue)});
  c.Properties.push_back({"H", Plain(TValueType::vaNil)});
  TStreamValue list = Plain(TValueType::vaList);
  list.List = {Plain(TValueType::vaFalse), Text(TValueType::vaString, "")};
  c.Properties.push_back({"I", list});
  TStreamValue coll = Plain(TValueType::vaCollection);
  coll.Items.push_back({7, {{"Name", Text(TValueType::vaString, "One")}}});
  coll.Items.push_back({std::nullopt, {}});
  TStreamValue bin = Plain(TValueType::vaBinary);
  bin.Data = {1, 2, 3};
  coll.Items[1].Properties.push_back({"Picture.Data", bin});
  c.Properties.push_back({"List", coll});

  TStreamComponent r = ReadComponentResource(WriteComponentResource(c, "lib"));
  EXPECT_EQ(r.ClassName, c.ClassName);
  EXPECT_EQ(r.ObjectName, "Lib");
  EXPECT_EQ(r.Find("A")->Int, 300);
  EXPECT_EQ(r.Find("B")->Int, -5);
  EXPECT_EQ(r.Find("C")->Int, INT32_MIN);
  EXPECT_EQ(r.Find("D")->Text.size(), 300u);
  EXPECT_EQ(r.Find("E")->Text, "\xCF\xF0\xE8");
  EXPECT_EQ(r.Find("F")->Text, "clAqua");
  EXPECT_EQ(r.Find("G")->Int, 1);
  EXPECT_EQ(r.Find("H")->Type, TValueType::vaNil);
  EXPECT_EQ(r.Find("I")->List.size(), 2u);
  const auto& items = r.Find("List")->Items;
  ASSERT_EQ(items.size(), 2u);
  EXPECT_EQ(items[0].Order, 7);
  EXPECT_EQ(items[0].Find("Name")->Text, "One");
  EXPECT_EQ(items[1].Find("Picture.Data")->Data, (Bytes{1, 2, 3}));
}

TEST(ComponentStream, MalformedStreamsAreInvalidFormat) {
  const Bytes tail = {4, 'T', 'A', 'b', 'c', 0, 0, 0};
  struct Case {
    const char* What;
    Bytes File;
  };
  const std::vector<Case> cases = {
      {"empty", {}},
      {"one byte", {0xFF}},
      {"wrong first byte", Cat({{0xFE}, Bytes(Header.begin() + 1, Header.end()), tail})},
      {"wrong type byte", Cat({{0xFF, 0x0B}, Bytes(Header.begin() + 2, Header.end()), tail})},
      {"name never ends", {0xFF, 0x0A, 0x00, 'A', 'B'}},
      {"wrong signature", Cat({Bytes(Header.begin(), Header.end() - 1), {'1'}, tail})},
      {"no children end", Cat({Header, {4}, Str("TAbc"), {0}, {0}})},
      {"children present", Cat({Header, {4}, Str("TAbc"), {0}, {0}, {1}})},
      {"unknown tag 5", Cat({Header, {4}, Str("TAbc"), {0}, {1, 'X', 5}, {0, 0}})},
      {"tag 0 as value", Cat({Header, {4}, Str("TAbc"), {0}, {1, 'X', 0}, {0, 0}})},
      {"binary past end", Cat({Header, {4}, Str("TAbc"), {0}, {1, 'X', 10, 0xFF, 0xFF, 0xFF, 0x7F, 1}})},
      {"long string past end", Cat({Header, {4}, Str("TAbc"), {0}, {1, 'X', 12, 9, 0, 0, 0, 'a'}})},
      {"list never ends", Cat({Header, {4}, Str("TAbc"), {0}, {1, 'X', 1, 8, 9}})},
      {"collection item without list tag", Cat({Header, {4}, Str("TAbc"), {0}, {1, 'X', 14, 9, 0, 0, 0, 0}})},
      {"child position not an integer", Cat({Header, {0xF2, 6, 0}, tail})},
      {"deep nesting", Cat({Header, {4}, Str("TAbc"), {0}, {1, 'X'}, Bytes(5000, 1), Bytes(5000, 0), {0, 0}})},
  };
  for (const Case& c : cases) {
    try {
      ReadComponentResource(c.File);
      ADD_FAILURE() << c.What << ": no error";
    } catch (const EStreamError& e) {
      EXPECT_STREQ(e.what(), "Invalid stream format") << c.What;
    }
  }
  // Every truncation of a good stream fails cleanly too.
  Bytes good = Cat({Header, {4}, Str("TAbc"), {0}, {1, 'X', 14, 1, 1, 'Y', 6, 1, 'z', 0, 0, 0, 0}});
  ASSERT_NO_THROW(ReadComponentResource(good));
  for (size_t n = 0; n < good.size(); ++n)
    EXPECT_THROW(ReadComponentResource(std::span(good.data(), n)), EStreamError) << n;
}

TEST(ComponentStream, ColourIdentifiers) {
  EXPECT_EQ(IdentToColor("clBlack"), 0x000000);
  EXPECT_EQ(IdentToColor("clRed"), 0x0000FF);
  EXPECT_EQ(IdentToColor("clblue"), 0xFF0000);
  EXPECT_EQ(IdentToColor("clFuchsia"), 0xFF00FF);
  EXPECT_EQ(IdentToColor("clMoneyGreen"), 0xC0DCC0);
  EXPECT_EQ(IdentToColor("clBtnFace"), int32_t(0x8000000F));
  EXPECT_EQ(IdentToColor("clPink"), std::nullopt);
  EXPECT_EQ(ColorToRGB(0x0100FF00), 0x00FF00u);
  EXPECT_EQ(ColorToRGB(int32_t(0x80000005)), 0xFFFFFFu);  // clWindow
}

TEST(ComponentStream, ReadWholeFile) {
  std::string path = std::string(SPRAYRUSH_BINARY_DIR) + "/stream_test.bin";
  {
    std::ofstream(path, std::ios::binary) << std::string("\x00\xFF\n", 3);
  }
  EXPECT_EQ(ReadWholeFile(path), (Bytes{0x00, 0xFF, '\n'}));
  std::remove(path.c_str());
  try {
    ReadWholeFile(path);
    ADD_FAILURE();
  } catch (const EFOpenError& e) {
    // The file as the system names it.
    const std::string native = Platform::PathToUtf8(Platform::NativePath(path));
    EXPECT_NE(std::string(e.what()).find("Cannot open file \"" + native + "\""), std::string::npos) << e.what();
  }
}
