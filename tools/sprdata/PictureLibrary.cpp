#include "tools/sprdata/PictureLibrary.h"

#include "media/DXDraws/PictureCollection.h"
#include "tools/sprdata/FileUtil.h"
#include "tools/sprdata/Image.h"

namespace {

TStreamValue Int(int32_t v) {
  TStreamValue value;
  value.Type = TValueType::vaInt8;  // the writer widens as needed
  value.Int = v;
  return value;
}

TStreamValue Bool(bool v) {
  TStreamValue value;
  value.Type = v ? TValueType::vaTrue : TValueType::vaFalse;
  value.Int = v;
  return value;
}

TStreamValue Text(const std::string& v) {
  TStreamValue value;
  value.Type = TValueType::vaString;
  value.Text = v;
  return value;
}

}  // namespace

int32_t TLibraryPicture::PatternCount() const {
  if (Patterns >= 0) return Patterns;
  const int32_t w = Width(), h = Height();
  if (Dib.Empty() || w <= 0 || h <= 0) return 0;
  if (w == Dib.Width() && h == Dib.Height()) return 1;
  const int32_t stepX = w + SkipWidth, stepY = h + SkipHeight;
  if (stepX <= 0 || stepY <= 0) return 0;
  return ((Dib.Height() + SkipHeight) / stepY) * ((Dib.Width() + SkipWidth) / stepX);
}

TDIB TLibraryPicture::Pattern(int index) const {
  const int32_t w = Width(), h = Height();
  const int32_t columns = (w == Dib.Width() && h == Dib.Height()) ? 1 : (Dib.Width() + SkipWidth) / (w + SkipWidth);
  const int32_t left = (index % columns) * (w + SkipWidth), top = (index / columns) * (h + SkipHeight);
  TDIB out(w, h);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x)
      if (left + x < Dib.Width() && top + y < Dib.Height()) out.SetPixel(x, y, Dib.Pixel(left + x, top + y));
  return out;
}

TLibraryPicture PackPicture(const TPictureSource& source) {
  TSourceLine line{source.File, source.Line, {}};
  TLibraryPicture picture;
  picture.Name = source.Name;
  picture.PatternWidth = source.PatternWidth;
  picture.PatternHeight = source.PatternHeight;
  picture.SkipWidth = source.SkipWidth;
  picture.SkipHeight = source.SkipHeight;
  try {
    TPackedPicture packed = FlattenPicture(LoadSource(source.Source), source.Key, source.Bits);
    picture.Dib = std::move(packed.Dib);
    picture.Bits = packed.Bits;
    picture.Transparent = packed.TransparentColor.has_value();
    picture.TransparentColor = packed.TransparentColor.value_or(0);
  } catch (const std::exception& e) {
    line.Fail(source.Name + ": " + e.what());
  }
  const int32_t w = picture.Dib.Width(), h = picture.Dib.Height();
  if (picture.Width() > w || picture.Height() > h)
    line.Fail(source.Name + ": pattern " + std::to_string(picture.Width()) + "x" +
              std::to_string(picture.Height()) + " is larger than the picture " + std::to_string(w) +
              "x" + std::to_string(h));
  // Leftover pixels mean the drawing and the pattern grid disagree.
  if (picture.PatternWidth > 0 && (w + picture.SkipWidth) % (picture.PatternWidth + picture.SkipWidth) != 0)
    line.Fail(source.Name + ": width " + std::to_string(w) + " is not a whole number of patterns");
  if (picture.PatternHeight > 0 && (h + picture.SkipHeight) % (picture.PatternHeight + picture.SkipHeight) != 0)
    line.Fail(source.Name + ": height " + std::to_string(h) + " is not a whole number of patterns");
  return picture;
}

std::vector<TStreamProperty> PictureItemProperties(const TLibraryPicture& picture) {
  std::vector<TStreamProperty> props;
  props.push_back({"Name", Text(picture.Name)});
  props.push_back({"PatternHeight", Int(picture.PatternHeight)});
  props.push_back({"PatternWidth", Int(picture.PatternWidth)});
  TStreamValue data;
  data.Type = TValueType::vaBinary;
  data.Data = picture.Dib.SavePictureData(picture.Bits ? picture.Bits : 24);
  props.push_back({"Picture.Data", std::move(data)});
  props.push_back({"SkipHeight", Int(picture.SkipHeight)});
  props.push_back({"SkipWidth", Int(picture.SkipWidth)});
  props.push_back({"SystemMemory", Bool(false)});
  props.push_back({"Transparent", Bool(picture.Transparent)});
  if (picture.Transparent) props.push_back({"TransparentColor", Int(int32_t(picture.TransparentColor))});
  return props;
}

TStreamComponent PictureLibraryComponent(const std::vector<TLibraryPicture>& pictures) {
  TStreamComponent component;
  component.ClassName = "TPictureCollectionComponent";
  component.ObjectName = "PictureCollectionComponent";
  TStreamValue list;
  list.Type = TValueType::vaCollection;
  for (const auto& picture : pictures) list.Items.push_back({std::nullopt, PictureItemProperties(picture)});
  component.Properties.push_back({"List", std::move(list)});
  return component;
}

std::vector<uint8_t> WritePictureLibrary(const std::vector<TLibraryPicture>& pictures) {
  return WriteComponentResource(PictureLibraryComponent(pictures), "TPictureCollectionComponent");
}

int StoredBitCount(const std::vector<uint8_t>& data) {
  if (data.empty()) return 0;
  const size_t header = 1 + size_t(data[0]);
  if (data.size() < header + 16) return 0;
  const uint32_t size = data[header] | data[header + 1] << 8;
  const size_t at = header + (size == 12 ? 10 : 14);
  return data[at] | data[at + 1] << 8;
}

std::vector<TLibraryPicture> ReadPictureLibrary(const std::string& path) {
  const auto bytes = ReadFileBytes(path);
  TPictureCollection library;
  library.LoadFromBytes(bytes);
  // The collection keeps pixels, not the depth they were stored at; that comes from the stream.
  std::vector<int> bits;
  const TStreamComponent component = ReadComponentResource(bytes);
  if (const TStreamValue* list = component.Find("List"))
    for (const auto& item : list->Items) {
      const TStreamValue* data = item.Find("Picture.Data");
      bits.push_back(data ? StoredBitCount(data->Data) : 0);
    }
  std::vector<TLibraryPicture> pictures;
  for (int i = 0; i < library.Count(); ++i) {
    const TPictureCollectionItem& item = library.Items(i);
    TLibraryPicture picture;
    picture.Name = item.Name();
    picture.PatternWidth = item.PatternWidth;
    picture.PatternHeight = item.PatternHeight;
    picture.SkipWidth = item.SkipWidth;
    picture.SkipHeight = item.SkipHeight;
    picture.Transparent = item.Transparent;
    picture.TransparentColor = item.TransparentColor();
    picture.Dib = item.Picture;
    picture.Patterns = item.PatternCount();
    picture.Bits = size_t(i) < bits.size() ? bits[size_t(i)] : 0;
    pictures.push_back(std::move(picture));
  }
  return pictures;
}
