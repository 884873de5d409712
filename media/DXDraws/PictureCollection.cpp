#include "media/DXDraws/PictureCollection.h"

#include <algorithm>
#include <utility>

#include "media/DXClass/ComponentStream.h"
#include "media/DXClass/NameBucket.h"
#include "media/DXDraws/DXRender/DXRender.h"

namespace {

[[noreturn]] void InvalidStream() { throw EStreamError("Invalid stream format"); }

const char* const LibraryClass = "TPictureCollectionComponent";

}  // namespace

// ---------------------------------------------------------------- item

TPictureCollectionItem::TPictureCollectionItem(TPictureCollection* collection)
    : FCollection(collection) {}

TPictureCollectionItem::~TPictureCollectionItem() = default;

void TPictureCollectionItem::SetName(std::string_view name) {
  if (FCollection) FCollection->Unindex(this);
  FName = name;
  if (FCollection) FCollection->IndexAtHead(this);
}

void TPictureCollectionItem::SetTransparentColor(uint32_t color) {
  FTransparentColor = color;
  if (FSurface) FSurface->SetColorKey(ColorToSurface(ColorToRGB(int32_t(color))));
}

int32_t TPictureCollectionItem::Width() const {
  return PatternWidth > 0 ? PatternWidth : Picture.Width();
}

int32_t TPictureCollectionItem::Height() const {
  return PatternHeight > 0 ? PatternHeight : Picture.Height();
}

TPictureCollectionItem::TGrid TPictureCollectionItem::Grid() const {
  TGrid g;
  if (Picture.Empty()) return g;
  const int64_t pw = Picture.Width(), ph = Picture.Height(), w = Width(), h = Height();
  if (w == pw && h == ph) return {1, 1, int32_t(pw), int32_t(ph), int32_t(pw), int32_t(ph)};
  // 64 bits: skips come from the file and may be anything.
  const int64_t stepX = w + SkipWidth, stepY = h + SkipHeight;
  if (stepX <= 0 || stepY <= 0) return g;
  const int64_t columns = (pw + SkipWidth) / stepX, rows = (ph + SkipHeight) / stepY;
  if (columns <= 0 || rows <= 0) return g;
  // Every cell lies inside the picture: columns * stepX <= pw + SkipWidth. A step
  // wider than the picture only matters for one column or row, so clamping it is exact.
  return {int32_t(columns), int32_t(columns * rows), int32_t(std::min(stepX, pw)),
          int32_t(std::min(stepY, ph)), int32_t(w), int32_t(h)};
}

int32_t TPictureCollectionItem::PatternCount() const {
  return FInitialized ? FGrid.Count : Grid().Count;
}

void TPictureCollectionItem::Initialize() {
  Finalize();
  FGrid = Grid();
  if (!FPictureReleased && Picture.HasPixels()) {
    FSurface = std::make_unique<TDirectDrawSurface>(Picture.Width(), Picture.Height());
    Restore();
    if (FCollection && !FCollection->KeepPictures) {
      Picture.ReleasePixels();
      FPictureReleased = true;
    }
  }
  if (FSurface) SetTransparentColor(FTransparentColor);
  FInitialized = true;
}

void TPictureCollectionItem::Finalize() {
  // Software surfaces outlive the display; a released picture has nowhere else to live.
  if (!FPictureReleased) FSurface.reset();
  FGrid = TGrid();
  FInitialized = false;
}

void TPictureCollectionItem::Restore() {
  if (!FSurface || !Picture.HasPixels()) return;
  uint16_t* dst = FSurface->Pixels();
  // Pictures are mostly runs of few colours; skip the conversion for a repeat.
  uint32_t last = 0;
  uint16_t lastConverted = ColorToSurface(0);
  for (uint32_t c : Picture.Pixels()) {
    if (c != last) {
      last = c;
      lastConverted = ColorToSurface(c);
    }
    *dst++ = lastConverted;
  }
}

TRect TPictureCollectionItem::PatternRect(int pattern) const {
  if (!ValidPattern(pattern)) return {};
  const int32_t left = pattern % FGrid.Columns * FGrid.StepX;
  const int32_t top = pattern / FGrid.Columns * FGrid.StepY;
  return {left, top, left + FGrid.W, top + FGrid.H};
}

const TDirectDrawSurface* TPictureCollectionItem::PatternSurface(int pattern) const {
  return ValidPattern(pattern) ? FSurface.get() : nullptr;
}

void TPictureCollectionItem::Draw(TDirectDrawSurface& dest, int x, int y, int pattern) const {
  if (const TDirectDrawSurface* src = PatternSurface(pattern))
    RenderDraw(dest, x, y, *src, PatternRect(pattern), Transparent);
}

void TPictureCollectionItem::StretchDraw(TDirectDrawSurface& dest, const TRect& destRect,
                                         int pattern) const {
  if (const TDirectDrawSurface* src = PatternSurface(pattern))
    RenderStretch(dest, destRect, *src, PatternRect(pattern), Transparent);
}

void TPictureCollectionItem::DrawAlpha(TDirectDrawSurface& dest, const TRect& destRect, int pattern,
                                       int alpha) const {
  if (const TDirectDrawSurface* src = PatternSurface(pattern))
    RenderAlpha(dest, destRect, *src, PatternRect(pattern), Transparent, alpha);
}

void TPictureCollectionItem::DrawRotate(TDirectDrawSurface& dest, int x, int y, int width,
                                        int height, int pattern, double centerX, double centerY,
                                        int angle) const {
  if (const TDirectDrawSurface* src = PatternSurface(pattern))
    RenderRotate(dest, x, y, width, height, *src, PatternRect(pattern), centerX, centerY, angle,
                 Transparent, 255);
}

void TPictureCollectionItem::DrawRotateAlpha(TDirectDrawSurface& dest, int x, int y, int width,
                                             int height, int pattern, double centerX,
                                             double centerY, int angle, int alpha) const {
  if (const TDirectDrawSurface* src = PatternSurface(pattern))
    RenderRotate(dest, x, y, width, height, *src, PatternRect(pattern), centerX, centerY, angle,
                 Transparent, alpha);
}

namespace {

bool SameLayout(const TPictureCollectionItem& a, const TPictureCollectionItem& b) {
  return a.Picture.Width() == b.Picture.Width() && a.Picture.Height() == b.Picture.Height() &&
         a.Width() == b.Width() && a.Height() == b.Height() && a.SkipWidth == b.SkipWidth &&
         a.SkipHeight == b.SkipHeight && a.Transparent == b.Transparent &&
         a.TransparentColor() == b.TransparentColor();
}

}  // namespace

void TPictureCollectionItem::SwapPixels(TPictureCollectionItem& other) {
  if (!SameLayout(*this, other)) throw EPictureCollectionError("Image '" + other.FName + "' does not fit");
  // The grid and the key are alike; only the pixels move, with the surface made of them.
  std::swap(Picture, other.Picture);
  std::swap(FSurface, other.FSurface);
  std::swap(FPictureReleased, other.FPictureReleased);
  // A library loaded before the drawing surface came up has no surfaces yet.
  for (TPictureCollectionItem* item : {this, &other})
    if (item->FInitialized && !item->FSurface) item->Initialize();
}

// ---------------------------------------------------------------- library

TPictureCollection::TPictureCollection() = default;
TPictureCollection::~TPictureCollection() = default;

int TPictureCollection::HashName(std::string_view name) { return NameBucket(name); }

void TPictureCollection::IndexAtHead(TPictureCollectionItem* item) {
  FIndex[size_t(HashName(item->FName))].push_back(item);
}

void TPictureCollection::Unindex(TPictureCollectionItem* item) {
  std::erase(FIndex[size_t(HashName(item->FName))], item);
}

TPictureCollectionItem* TPictureCollection::FindOrNull(std::string_view name) const {
  const auto& chain = FIndex[size_t(HashName(name))];
  for (auto it = chain.rbegin(); it != chain.rend(); ++it)
    if (SameName((*it)->FName, name)) return *it;
  return nullptr;
}

TPictureCollectionItem& TPictureCollection::Find(std::string_view name) const {
  if (TPictureCollectionItem* item = FindOrNull(name)) return *item;
  throw EPictureCollectionError("Image '" + std::string(name) + "' not found");
}

TPictureCollectionItem& TPictureCollection::Add() {
  FItems.push_back(std::make_unique<TPictureCollectionItem>(this));
  IndexAtHead(FItems.back().get());
  return *FItems.back();
}

void TPictureCollection::Delete(int index) {
  TPictureCollectionItem* item = &Items(index);
  Unindex(item);
  FItems.erase(FItems.begin() + index);
}

void TPictureCollection::Clear() {
  for (auto& chain : FIndex) chain.clear();
  FItems.clear();
  FInitialized = false;
}

namespace {

int32_t IntegerValue(const TStreamValue& v) {
  if (!v.IsInteger()) InvalidStream();
  return v.Int;
}

bool BooleanValue(const TStreamValue& v) {
  if (!v.IsBoolean()) InvalidStream();
  return v.Int != 0;
}

}  // namespace

TLoadedPictures TPictureCollection::Read(std::span<const uint8_t> bytes, bool keepPictures, bool sizesOnly) {
  // The pictures' bytes stay in the file image: a big library would otherwise sit in
  // memory twice while it loads.
  const TStreamComponent component = ReadComponentResourceInPlace(bytes);
  if (component.ClassName != LibraryClass) InvalidStream();

  TLoadedPictures loaded;
  if (const TStreamValue* list = component.Find("List")) {
    if (list->Type != TValueType::vaCollection) InvalidStream();
    for (const TStreamItem& stored : list->Items) {
      auto item = std::make_unique<TPictureCollectionItem>();
      for (const TStreamProperty& p : stored.Properties) {
        const TStreamValue& v = p.Value;
        if (p.Name == "Name") {
          if (!v.IsString()) InvalidStream();
          item->FName = v.Text;
        } else if (p.Name == "PatternWidth") {
          item->PatternWidth = IntegerValue(v);
        } else if (p.Name == "PatternHeight") {
          item->PatternHeight = IntegerValue(v);
        } else if (p.Name == "SkipWidth") {
          item->SkipWidth = IntegerValue(v);
        } else if (p.Name == "SkipHeight") {
          item->SkipHeight = IntegerValue(v);
        } else if (p.Name == "SystemMemory") {
          item->SystemMemory = BooleanValue(v);
        } else if (p.Name == "Transparent") {
          item->Transparent = BooleanValue(v);
        } else if (p.Name == "TransparentColor") {
          if (v.Type == TValueType::vaIdent) {
            std::optional<int32_t> color = IdentToColor(v.Text);
            if (!color) InvalidStream();
            item->FTransparentColor = uint32_t(*color);
          } else {
            item->FTransparentColor = uint32_t(IntegerValue(v));
          }
        } else if (p.Name == "Picture.Data") {
          if (v.Type != TValueType::vaBinary) InvalidStream();
          if (sizesOnly) {
            item->Picture.LoadFromPictureData(v.Binary(), false);
          } else if (keepPictures) {
            item->Picture.LoadFromPictureData(v.Binary());
          } else {
            // Straight to its surface, converted once: the game never needs the bitmap.
            std::vector<uint16_t> pixels = item->Picture.LoadSurfaceFromPictureData(v.Binary());
            item->FSurface.reset();
            if (!item->Picture.Empty())
              item->FSurface = std::make_unique<TDirectDrawSurface>(item->Picture.Width(),
                                                                    item->Picture.Height(), std::move(pixels));
            item->FPictureReleased = bool(item->FSurface);
          }
        }
        // Other properties are not ours to use; a newer writer may add some.
      }
      loaded.Items.push_back(std::move(item));
    }
  }
  return loaded;
}

TLoadedPictures TPictureCollection::ReadFile(const std::string& gamePath, bool keepPictures, bool sizesOnly) {
  return Read(MapWholeFile(gamePath).Bytes(), keepPictures, sizesOnly);
}

void TPictureCollection::Take(TLoadedPictures loaded) {
  Finalize();
  Clear();
  FItems = std::move(loaded.Items);
  for (auto& item : FItems) {
    item->FCollection = this;
    IndexAtHead(item.get());
  }
  if (DXDraw && DXDraw->Initialized()) Initialize();
}

void TPictureCollection::LoadFromBytes(std::span<const uint8_t> bytes) {
  // Everything is read before the library changes, so a bad file leaves it intact.
  Take(Read(bytes, KeepPictures, SizesOnly));
}

void TPictureCollection::LoadFromFile(const std::string& gamePath) {
  LoadFromBytes(MapWholeFile(gamePath).Bytes());
}

std::vector<uint8_t> TPictureCollection::SaveToBytes(int bitCount) const {
  auto integer = [](int32_t i) {
    TStreamValue v;
    v.Type = TValueType::vaInt8;  // the writer widens it as needed
    v.Int = i;
    return v;
  };
  auto boolean = [](bool b) {
    TStreamValue v;
    v.Type = b ? TValueType::vaTrue : TValueType::vaFalse;
    return v;
  };
  TStreamValue list;
  list.Type = TValueType::vaCollection;
  for (const auto& item : FItems) {
    TStreamItem& s = list.Items.emplace_back();
    TStreamValue name;
    name.Type = TValueType::vaString;
    name.Text = item->FName;
    s.Properties.push_back({"Name", name});
    s.Properties.push_back({"PatternHeight", integer(item->PatternHeight)});
    s.Properties.push_back({"PatternWidth", integer(item->PatternWidth)});
    TStreamValue data;
    data.Type = TValueType::vaBinary;
    if (!item->Picture.Empty()) data.Data = item->Picture.SavePictureData(bitCount);
    s.Properties.push_back({"Picture.Data", data});
    s.Properties.push_back({"SkipHeight", integer(item->SkipHeight)});
    s.Properties.push_back({"SkipWidth", integer(item->SkipWidth)});
    s.Properties.push_back({"SystemMemory", boolean(item->SystemMemory)});
    s.Properties.push_back({"Transparent", boolean(item->Transparent)});
    s.Properties.push_back({"TransparentColor", integer(int32_t(item->FTransparentColor))});
  }
  TStreamComponent component{LibraryClass, "DXImageList", {{"List", list}}};
  return WriteComponentResource(component, "DXIMAGELIST");
}

void TPictureCollection::SwapPixels(TPictureCollection& other) {
  std::vector<std::pair<TPictureCollectionItem*, TPictureCollectionItem*>> pairs;
  for (auto& item : other.FItems) {
    if (!SameLayout(Find(item->FName), *item)) throw EPictureCollectionError("Image '" + item->FName + "' does not fit");
    pairs.emplace_back(&Find(item->FName), item.get());
  }
  for (auto& [mine, theirs] : pairs) mine->SwapPixels(*theirs);
}

void TPictureCollection::Initialize() {
  if (!DXDraw || !DXDraw->Initialized())
    throw EPictureCollectionError("TPictureCollection cannot be initialized");
  for (auto& item : FItems) item->Initialize();
  FInitialized = true;
}

void TPictureCollection::Finalize() {
  for (auto& item : FItems) item->Finalize();
  FInitialized = false;
}

void TPictureCollection::Restore() {
  for (auto& item : FItems) item->Restore();
}

// ---------------------------------------------------------------- component

TDXImageList::TDXImageList(TDXDraw* dxDraw) {
  Items.DXDraw = dxDraw;
  if (dxDraw) dxDraw->RegisterListener(this);
}

TDXImageList::~TDXImageList() {
  if (Items.DXDraw) Items.DXDraw->UnregisterListener(this);
}

void TDXImageList::LoadFromFile(const std::string& gamePath) { Items.LoadFromFile(gamePath); }

void TDXImageList::DXDrawNotify(TDXDraw& sender, TDXDrawNotifyType type) {
  switch (type) {
    case TDXDrawNotifyType::Initialize:
      Items.Initialize();
      break;
    case TDXDrawNotifyType::Finalize:
      Items.Finalize();
      break;
    case TDXDrawNotifyType::Restore:
      Items.Restore();
      break;
    case TDXDrawNotifyType::Destroying:
      Items.Finalize();
      if (Items.DXDraw == &sender) Items.DXDraw = nullptr;
      break;
  }
}
