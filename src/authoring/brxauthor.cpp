#include "authoring/brxauthor.h"

#include <cstdio>
#include <cstring>

#include "render/brxcodec.h"
#include "support/errors.h"
#include "support/koxmls.h"
#include "support/record.h"
#include "support/stream.h"

namespace qubo::authoring {
namespace {

using namespace brx;

bool SameBlock(const TDIBSurface& a, int32_t ax, int32_t ay, const TDIBSurface& b, int32_t bx, int32_t by, int32_t w,
               int32_t h) {
  const int bits = a.StorageBits();
  for (int32_t r = 0; r < h; ++r) {
    const uint8_t* pa = a.Row(ay + r);
    const uint8_t* pb = b.Row(by + r);
    if (bits >= 8) {
      if (std::memcmp(pa + int64_t{ax} * (bits / 8), pb + int64_t{bx} * (bits / 8), static_cast<size_t>(w) * (bits / 8)))
        return false;
    } else {
      for (int32_t x = 0; x < w; ++x)
        if (ReadRowPixel(pa, ax + x, bits) != ReadRowPixel(pb, bx + x, bits)) return false;
    }
  }
  return true;
}

// A layer already written: its frame and layer index and its planes.
struct Written {
  int32_t frame, layer;
  const TDIBSurface* colour;
  const TDIBSurface* alpha;
};

class TBrixBuilder {
 public:
  explicit TBrixBuilder(const TBrixAuthorDoc& doc) : doc_(doc) {}

  std::vector<uint8_t> Build() {
    TBrixHeader h = doc_.header;
    h.version = doc_.version;
    h.count = doc_.frameCount.value_or(static_cast<int32_t>(doc_.frames.size()));
    if (!doc_.frames.empty()) {
      h.width = doc_.frames[0].width;
      h.height = doc_.frames[0].height;
      h.bpp = doc_.frames[0].bpp;
    }
    header_ = h;
    enc_.version = doc_.version;
    enc_.compType = h.compType;
    enc_.blockWidth = h.blockWidth;
    enc_.blockHeight = h.blockHeight;
    enc_.randomized = h.randomized;
    enc_.idCode = doc_.idCode;
    enc_.zlibLevel = doc_.zlibLevel;
    enc_.jpegQuality = doc_.jpegQuality;
    if (doc_.form == TBrixForm::Structured) return Structured();
    return Record();
  }

 private:
  // ---- Planes ----

  void CheckImage(const TBrixAuthorFrame& f, const TBrixAuthorLayer& l) {
    if (!l.image) throw QuboError("layer without an image");
    const TDIBSurface& img = *l.image;
    if (img.Width() != f.width || img.Height() != f.height || img.BitCount() != f.bpp)
      throw QuboError("layer image does not have the frame's size and bit count");
  }

  std::vector<uint8_t> Plane(const TDIBSurface& plane, bool colour, const std::optional<std::vector<TBrixBlockRef>>& given,
                             int32_t frame, int32_t layer) {
    TPlaneEncoding e = enc_;
    std::vector<TBrixBlockRef> table;
    if (given) {
      table = *given;
      e.table = &table;
    } else if (doc_.findReferences && e.blockWidth > 0 && e.blockHeight > 0) {
      std::vector<std::pair<int32_t, int32_t>> ids;
      std::vector<const TDIBSurface*> planes;
      for (const Written& w : written_) {
        const TDIBSurface* p = colour ? w.colour : w.alpha;
        if (!p) continue;
        ids.emplace_back(w.frame, w.layer);
        planes.push_back(p);
      }
      (void)frame, (void)layer;
      table = FindBlockReferences(plane, ids, planes, e.blockWidth, e.blockHeight);
      e.table = &table;
    }
    return EncodePlane(plane, colour, e);
  }

  void LayerPlanes(const TBrixAuthorFrame& f, const TBrixAuthorLayer& l, int32_t frame, int32_t layer,
                   std::vector<uint8_t>& colour, std::vector<uint8_t>& alpha) {
    if (l.colourData) {
      colour = *l.colourData;
    } else {
      CheckImage(f, l);
      colour = Plane(*l.image, true, l.colourTable, frame, layer);
    }
    if (l.alphaData)
      alpha = *l.alphaData;
    else if (l.image && l.image->Alpha())
      alpha = Plane(*l.image->Alpha(), false, l.alphaTable, frame, layer);
    else
      alpha.clear();
    if (l.image) written_.push_back({frame, layer, l.image.get(), l.image->Alpha()});
  }

  // ---- Record format ----

  std::vector<uint8_t> Record() {
    TKoMemoryStream s;
    RecordWriter w(s);
    const int32_t v = doc_.version;
    if (doc_.signature) {
      s.WriteBuffer(doc_.signature->data(), static_cast<int64_t>(doc_.signature->size()));
    } else if (doc_.form == TBrixForm::Record) {
      const int32_t d = ((v % 1000) + 1000) % 1000;
      const char sig[7] = {'B', 'r', 'i', 'x', static_cast<char>('0' + d / 100), static_cast<char>('0' + d / 10 % 10),
                           static_cast<char>('0' + d % 10)};
      s.WriteBuffer(sig, 7);
    }
    if (v < kVersionHeaderRecord) {
      w.I32(header_.count);
      w.U8(0);
      if (v >= kVersionBgColor) w.I32(header_.bgColor);
    } else {
      const auto record = header_.Pack();
      w.I32(doc_.headerLength);
      for (int32_t i = 0; i < doc_.headerLength; ++i) w.U8(i < kHeaderRecordSize ? record[static_cast<size_t>(i)] : doc_.headerFiller);
    }
    for (size_t fi = 0; fi < doc_.frames.size(); ++fi) {
      const TBrixAuthorFrame& f = doc_.frames[fi];
      w.String(f.name);
      w.I32(f.transColor);
      w.I32(f.delay);
      w.U8(f.disposal);
      w.I32(0);
      w.I32(f.layerCount.value_or(static_cast<int32_t>(f.layers.size())));
      w.I32(f.width);
      w.I32(f.height);
      w.I32(f.bpp);
      if (f.bpp >= 1 && f.bpp <= 8) s.WriteBuffer(f.palette.data(), int64_t{4} << f.bpp);
      for (size_t li = 0; li < f.layers.size(); ++li) {
        const TBrixAuthorLayer& l = f.layers[li];
        std::vector<uint8_t> colour, alpha;
        LayerPlanes(f, l, static_cast<int32_t>(fi), static_cast<int32_t>(li), colour, alpha);
        w.I32(0);
        w.I32(0);
        w.Bool(l.visible);
        w.I32(l.transColor);
        w.I32(l.alpha);
        if (v >= kVersionAlphaOn) w.Bool(l.alphaOn);
        w.String(l.name);
        w.U32(static_cast<uint32_t>(colour.size()));
        s.WriteBuffer(colour.data(), static_cast<int64_t>(colour.size()));
        if (v >= kVersionAlphaPlane) {
          w.U32(static_cast<uint32_t>(alpha.size()));
          s.WriteBuffer(alpha.data(), static_cast<int64_t>(alpha.size()));
        }
      }
      if (v >= kVersionRects) {
        for (int list = 0; list < 2; ++list) {
          const bool none = list == 0 ? f.noDrawRects : f.noExtraRects;
          const std::vector<TRect>& rects = list == 0 ? f.drawRects : f.extraRects;
          if (none) {
            w.I32(-1);
            continue;
          }
          w.I32(static_cast<int32_t>(rects.size()));
          for (const TRect& r : rects) {
            w.I32(r.left);
            w.I32(r.top);
            w.I32(r.right);
            w.I32(r.bottom);
          }
        }
      }
    }
    return std::move(s.Bytes());
  }

  // ---- Structured format ----

  std::vector<uint8_t> Structured() {
    TKoXml doc;
    doc.SetName(doc_.rootName);
    const TBrixHeader& h = header_;
    doc.AddAttrInt("Version", h.version);
    doc.AddAttrInt("Width", h.width);
    doc.AddAttrInt("Height", h.height);
    doc.AddAttrInt("Bpp", h.bpp);
    doc.AddAttrInt("Count", h.count);
    doc.AddAttrInt("SyncPal", h.syncPal ? 1 : 0);
    doc.AddAttrInt("Randomized", h.randomized ? 1 : 0);
    doc.AddAttrInt("CompType", h.compType);
    doc.AddAttrInt("CompLevel", h.compLevel);
    doc.AddAttrInt("BGColor", h.bgColor);
    doc.AddAttrInt("BlockWidth", h.blockWidth);
    doc.AddAttrInt("BlockHeight", h.blockHeight);
    doc.AddAttrInt("NotFillBG", h.notFillBG ? 1 : 0);

    TKoMemoryStream data;
    RecordWriter w(data);
    for (size_t fi = 0; fi < doc_.frames.size(); ++fi) {
      const TBrixAuthorFrame& f = doc_.frames[fi];
      TKoXmlElement* fe = doc.AddChild("Frame");
      fe->AddAttr("Name", f.name);
      fe->AddAttrInt("TransColor", f.transColor);
      fe->AddAttrInt("Delay", f.delay);
      fe->AddAttrInt("Disposal", f.disposal);
      if (f.omitLayersElement) continue;
      TKoXmlElement* le = fe->AddChild("Layers");
      le->AddAttrInt("Count", f.layerCount.value_or(static_cast<int32_t>(f.layers.size())));
      le->AddAttrInt("Width", f.width);
      le->AddAttrInt("Height", f.height);
      le->AddAttrInt("Bpp", f.bpp);
      if (f.paletteText) {
        le->AddAttr("RGB", *f.paletteText);
      } else if (f.bpp >= 1 && f.bpp <= 8) {
        std::string rgb;
        char buf[8];
        for (int i = 0; i < (1 << f.bpp); ++i) {
          const TPaletteEntry& e = f.palette[static_cast<size_t>(i)];
          std::snprintf(buf, sizeof buf, "%02X%02X%02X", e.blue, e.green, e.red);
          rgb += buf;
        }
        le->AddAttr("RGB", rgb);
      }
      for (size_t li = 0; li < f.layers.size(); ++li) {
        const TBrixAuthorLayer& l = f.layers[li];
        TKoXmlElement* e = le->AddChild("Layer");
        e->AddAttrInt("Left", l.left);
        e->AddAttrInt("Top", l.top);
        e->AddAttrInt("Visible", l.visible ? 1 : 0);
        e->AddAttrInt("TransColor", l.transColor);
        e->AddAttrInt("Alpha", l.alpha);
        e->AddAttrInt("AlphaOn", l.alphaOn ? 1 : 0);
        e->AddAttr("Name", l.name);
        e->AddAttrInt("Lock", l.lock);
        std::vector<uint8_t> colour, alpha;
        LayerPlanes(f, l, static_cast<int32_t>(fi), static_cast<int32_t>(li), colour, alpha);
        w.U32(static_cast<uint32_t>(colour.size()));
        data.WriteBuffer(colour.data(), static_cast<int64_t>(colour.size()));
        w.U32(static_cast<uint32_t>(alpha.size()));
        data.WriteBuffer(alpha.data(), static_cast<int64_t>(alpha.size()));
      }
    }
    TKoMemoryStream xml;
    doc.SaveToStream(xml);
    const std::vector<uint8_t> packed = Deflate(xml.Memory(), xml.Bytes().size(), -1);

    TKoMemoryStream s;
    const std::string sig = doc_.signature.value_or(kStructuredSignature);
    s.WriteBuffer(sig.data(), static_cast<int64_t>(sig.size()));
    RecordWriter(s).U32(static_cast<uint32_t>(packed.size()));
    s.WriteBuffer(packed.data(), static_cast<int64_t>(packed.size()));
    s.WriteBuffer(data.Memory(), static_cast<int64_t>(data.Bytes().size()));
    return std::move(s.Bytes());
  }

  const TBrixAuthorDoc& doc_;
  TBrixHeader header_;
  TPlaneEncoding enc_;
  std::vector<Written> written_;
};

}  // namespace

std::vector<TBrixBlockRef> FindBlockReferences(const TDIBSurface& plane,
                                               const std::vector<std::pair<int32_t, int32_t>>& earlierIds,
                                               const std::vector<const TDIBSurface*>& earlierPlanes,
                                               int32_t blockWidth, int32_t blockHeight) {
  const TBlockGrid grid(plane.Width(), plane.Height(), blockWidth, blockHeight);
  std::vector<TBrixBlockRef> table(static_cast<size_t>(grid.Count()));
  for (int64_t k = 0; k < grid.Count(); ++k) {
    const int32_t x = grid.X(k), y = grid.Y(k), w = grid.W(k), h = grid.H(k);
    TBrixBlockRef& e = table[static_cast<size_t>(k)];
    bool found = false;
    for (int64_t j = 0; j < k && !found; ++j) {
      if (grid.W(j) != w || grid.H(j) != h) continue;
      if (SameBlock(plane, x, y, plane, grid.X(j), grid.Y(j), w, h)) {
        e = TBrixBlockRef{kBlockSamePlane, static_cast<int32_t>(j)};
        found = true;
      }
    }
    for (size_t p = 0; p < earlierPlanes.size() && !found; ++p) {
      const TDIBSurface& other = *earlierPlanes[p];
      if (other.Width() != plane.Width() || other.Height() != plane.Height() ||
          !SameFormat(other.Format(), plane.Format()))
        continue;
      if (SameBlock(plane, x, y, other, x, y, w, h)) {
        e = TBrixBlockRef{earlierIds[p].first, earlierIds[p].second};
        found = true;
      }
    }
  }
  return table;
}

std::array<TPaletteEntry, 256> MakePalette(uint32_t seed) {
  std::array<TPaletteEntry, 256> p{};
  uint32_t s = seed * 2654435761u + 12345u;
  for (auto& e : p) {
    s = s * 1103515245u + 12345u;
    e.red = static_cast<uint8_t>(s >> 24);
    e.green = static_cast<uint8_t>(s >> 16);
    e.blue = static_cast<uint8_t>(s >> 8);
  }
  return p;
}

std::shared_ptr<TDIBSurface> PatternImage(int32_t width, int32_t height, int bpp, uint32_t seed, bool withAlpha) {
  auto img = std::make_shared<TDIBSurface>(width, height, bpp);
  if (bpp <= 8) {
    const auto pal = MakePalette(seed);
    std::memcpy(img->Palette(), pal.data(), sizeof(TPaletteEntry) * 256);
  }
  const int bits = img->StorageBits();
  const uint32_t mask = bits >= 32 ? 0xFFFFFFFFu : (uint32_t{1} << bits) - 1;
  uint32_t s = seed ^ 0x9E3779B9u;
  for (int32_t y = 0; y < height; ++y) {
    uint8_t* row = img->Row(y);
    for (int32_t x = 0; x < width; ++x) {
      s = s * 1664525u + 1013904223u;
      // Mostly a gradient with noise, so that planes compress and blocks sometimes repeat.
      const uint32_t v = ((x / 4 + y / 4) * 0x01030507u) ^ (s >> 28);
      WriteRowPixel(row, x, bits, (v ^ seed) & mask);
    }
  }
  if (withAlpha) {
    img->CreateAlpha();
    TDIBSurface& a = *img->Alpha();
    for (int32_t y = 0; y < height; ++y)
      for (int32_t x = 0; x < width; ++x) a.Row(y)[x] = static_cast<uint8_t>((x * 37 + y * 11 + seed) & 0xFF);
  }
  return img;
}

std::vector<uint8_t> BuildBrix(const TBrixAuthorDoc& doc) { return TBrixBuilder(doc).Build(); }

}  // namespace qubo::authoring
