// Reading layered images: the record format (headerless, short header, header record), the
// structured format (a zlib-compressed XML document followed by the planes), and single
// pictures from PNG and bitmap files.
//
// Files are untrusted. Every count and size is checked against the bytes left before it is
// used; frame sizes are bounded by the reader's limits, and so is the sum of the pixel bytes
// one load allocates (block references make very small files of large frames legitimate,
// so the bytes left alone cannot bound a frame's size).

#include <algorithm>
#include <cstring>
#include <filesystem>

#include "render/brxcodec.h"
#include "render/brximage.h"
#include "render/imagefile.h"
#include "render/pixelconvert.h"
#include "support/errors.h"
#include "support/koxmls.h"
#include "support/record.h"
#include "support/sjis.h"
#include "support/stream.h"

namespace qubo {
namespace {

using namespace brx;

[[noreturn]] void Damaged() { throw FormatError(kErrDamaged); }

bool IsDigit(uint8_t c) { return c >= '0' && c <= '9'; }

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

class TBrixReader {
 public:
  TBrixReader(TBrixFrameList& list, TStream& stream, bool firstFrameOnly, bool keepLayers, bool convert)
      : list_(list), r_(stream, RecordReader::Truncation::Raise, kErrDamaged), firstFrameOnly_(firstFrameOnly),
        keepLayers_(keepLayers), convert_(convert) {}

  void Read() {
    // Layers stay until the whole file is read: a later frame's blocks may refer to them.
    struct FreeLayers {
      TBrixFrameList& list;
      bool keep;
      ~FreeLayers() {
        if (keep) return;
        for (int i = 0; i < list.Count(); ++i) list.Frame(i).FreeLayers();
      }
    } freeLayers{list_, keepLayers_};
    int32_t version = 0;
    if (ReadSignature(version))
      ReadStructured();
    else
      ReadRecordFormat(version);
  }

 private:
  // Answers true for the structured format; otherwise version is the record format's (0
  // without a signature, the stream then back at its start).
  bool ReadSignature(int32_t& version) {
    TStream& s = r_.Stream();
    const int64_t start = s.GetPosition();
    uint8_t sig[8] = {};
    const int64_t got = s.Read(sig, 7);
    if (got == 7 && std::memcmp(sig, kSignaturePrefix, 4) == 0) {
      if (sig[4] == 'X') {
        if (s.Read(sig + 7, 1) != 1) Damaged();
        if (!IsDigit(sig[5]) || sig[5] - '0' > kStructuredMaxMajor) throw FormatError(kErrUnreadable);
        return true;
      }
      if (IsDigit(sig[4]) && IsDigit(sig[5]) && IsDigit(sig[6])) {
        version = (sig[4] - '0') * 100 + (sig[5] - '0') * 10 + (sig[6] - '0');
        return false;
      }
    }
    s.SetPosition(start);
    version = 0;
    return false;
  }

  // ---- Record format ----

  void ReadRecordFormat(int32_t version) {
    TBrixHeader h;
    if (version < kVersionHeaderRecord) {
      h.count = r_.I32();
      r_.Skip(1);
      if (version >= kVersionBgColor) h.bgColor = r_.I32();
    } else {
      const int64_t length = r_.U32();
      if (length > r_.Remaining()) Damaged();
      const int64_t known = std::min<int64_t>(length, kHeaderRecordSize);
      const std::vector<uint8_t> record = r_.Bytes(known);
      // A longer header is a later record: its known part is read, the rest skipped.
      r_.Skip(length - known);
      h = TBrixHeader::Unpack(record.data(), record.size(), version);
    }
    Begin(h, version, false);
    coding_.version = version;

    int64_t minFrame = 33;
    if (version >= kVersionRects) minFrame += 8;
    r_.CheckCount(h.count, minFrame);
    for (int32_t i = 0; i < h.count; ++i) {
      ReadRecordFrame(version);
      if (firstFrameOnly_) break;
    }
  }

  void ReadRecordFrame(int32_t version) {
    TBrixFrame& f = list_.AddFrame();
    f.Name = r_.String();
    f.TransColor = r_.I32();
    f.Delay = r_.I32();
    f.Disposal = r_.U8();
    r_.Skip(4);
    int64_t minLayer = 8 + 1 + 4 + 4 + 4 + 4;
    if (version >= kVersionAlphaOn) minLayer += 1;
    if (version >= kVersionAlphaPlane) minLayer += 4;
    const int32_t layerCount = r_.Count(minLayer);
    const int32_t width = r_.I32(), height = r_.I32(), bpp = r_.I32();
    if (!ValidBitCount(bpp)) Damaged();
    TPaletteEntry palette[256] = {};
    if (bpp <= 8) r_.Read(palette, int64_t{4} << bpp);
    StartFrame(f, width, height, bpp, palette);

    int composed = 0;
    for (int32_t li = 0; li < layerCount; ++li) {
      TBrixLayer& layer = f.AddLayer();
      r_.Skip(8);
      layer.Visible = r_.Bool();
      layer.TransColor = r_.I32();
      layer.Alpha = r_.I32();
      if (version >= kVersionAlphaOn) layer.AlphaOn = r_.Bool();
      layer.Name = r_.String();
      ReadPlaneBlock(layer, li, true);
      if (version >= kVersionAlphaPlane) ReadPlaneBlock(layer, li, false);
      if (layer.AlphaOn && layer.Image.Alpha()) layer.TransColor = -1;
      Compose(f, layer, li, composed);
    }
    if (version >= kVersionRects) {
      ReadRects(f.DrawRects);
      ReadRects(f.ExtraRects);
    }
    EndFrame(f);
  }

  void ReadRects(std::vector<TRect>& out) {
    const int32_t n = r_.I32();
    if (n < 0) return;  // none
    r_.CheckCount(n, 16);
    out.resize(static_cast<size_t>(n));
    for (TRect& rc : out) {
      rc.left = r_.I32();
      rc.top = r_.I32();
      rc.right = r_.I32();
      rc.bottom = r_.I32();
    }
  }

  // ---- Structured format ----

  void ReadStructured() {
    const int64_t length = r_.U32();
    if (length > r_.Remaining()) Damaged();
    std::vector<uint8_t> packed = r_.Bytes(length);
    std::vector<uint8_t> text = InflateBounded(packed.data(), packed.size(), static_cast<size_t>(list_.Limits.maxXmlBytes));
    packed = {};
    TKoXml doc;
    {
      TKoMemoryStream ms(std::move(text));
      doc.LoadFromStream(ms);
    }
    TBrixHeader h;
    h.version = doc.AttrInt("Version", kStructuredVersion);
    h.width = doc.AttrInt("Width", 100);
    h.height = doc.AttrInt("Height", 100);
    h.bpp = doc.AttrInt("Bpp", 8);
    h.count = doc.AttrInt("Count", 0);
    h.syncPal = doc.AttrBool("SyncPal", false);
    h.randomized = doc.AttrBool("Randomized", false);
    const int32_t comp = doc.AttrInt("CompType", kCompZlib);
    h.compType = comp >= 0 && comp <= 255 ? static_cast<uint8_t>(comp) : 255;
    h.compLevel = static_cast<uint8_t>(std::clamp(doc.AttrInt("CompLevel", 0), 0, 255));
    h.bgColor = doc.AttrInt("BGColor", 0);
    h.blockWidth = doc.AttrInt("BlockWidth", 32);
    h.blockHeight = doc.AttrInt("BlockHeight", 32);
    h.notFillBG = doc.AttrBool("NotFillBG", true);
    Begin(h, h.version, true);
    coding_.version = h.version;

    std::vector<const TKoXmlElement*> frames;
    for (int i = 0; i < doc.ChildCount(); ++i)
      if (doc.Child(i)->NameIs("Frame")) frames.push_back(doc.Child(i));
    for (int32_t i = 0; i < h.count; ++i) {
      if (static_cast<size_t>(i) >= frames.size()) {
        if (i == 0) Damaged();
        break;  // a missing frame after the first ends the image quietly
      }
      ReadStructuredFrame(*frames[static_cast<size_t>(i)]);
    }
  }

  void ReadStructuredFrame(const TKoXmlElement& e) {
    TBrixFrame& f = list_.AddFrame();
    f.Name = e.AttrStr("Name", "");
    f.TransColor = e.AttrInt("TransColor", -1);
    f.Delay = e.AttrInt("Delay", 0);
    f.Disposal = static_cast<uint8_t>(e.AttrInt("Disposal", 0));
    const TKoXmlElement* layers = e.FindChild("Layers");
    if (!layers) throw FormatError(kErrNoLayers);
    const int32_t count = layers->AttrInt("Count", 0);
    const int32_t width = layers->AttrInt("Width", 100), height = layers->AttrInt("Height", 100);
    const int32_t bpp = layers->AttrInt("Bpp", 8);
    if (!ValidBitCount(bpp)) Damaged();
    TPaletteEntry palette[256] = {};
    if (bpp <= 8) {
      const std::string rgb = layers->AttrStr("RGB", "");
      const size_t entries = size_t{1} << bpp;
      if (rgb.size() < entries * 6) throw FormatError(kErrNoPalette);
      for (size_t i = 0; i < entries; ++i) {
        // The hexadecimal form of a colour reference: blue, green, red.
        uint32_t v = 0;
        for (size_t k = 0; k < 6; ++k) {
          const int d = HexDigit(rgb[i * 6 + k]);
          if (d < 0) throw FormatError(kErrNoPalette);
          v = v << 4 | static_cast<uint32_t>(d);
        }
        palette[i].red = static_cast<uint8_t>(v);
        palette[i].green = static_cast<uint8_t>(v >> 8);
        palette[i].blue = static_cast<uint8_t>(v >> 16);
      }
    }
    StartFrame(f, width, height, bpp, palette);

    std::vector<const TKoXmlElement*> elements;
    for (int i = 0; i < layers->ChildCount(); ++i)
      if (layers->Child(i)->NameIs("Layer")) elements.push_back(layers->Child(i));
    int composed = 0;
    for (int32_t li = 0; li < count; ++li) {
      if (static_cast<size_t>(li) >= elements.size()) Damaged();
      const TKoXmlElement& le = *elements[static_cast<size_t>(li)];
      TBrixLayer& layer = f.AddLayer();
      layer.Visible = le.AttrBool("Visible", true);
      layer.TransColor = le.AttrInt("TransColor", -1);
      layer.Alpha = le.AttrInt("Alpha", 255);
      layer.AlphaOn = le.AttrBool("AlphaOn", false);
      layer.Name = le.AttrStr("Name", "");
      ReadPlaneBlock(layer, li, true);
      ReadPlaneBlock(layer, li, false);
      Compose(f, layer, li, composed);
    }
    EndFrame(f);
  }

  // ---- Shared ----

  void Begin(const TBrixHeader& h, int32_t version, bool structured) {
    list_.Header = h;
    list_.Structured = structured;
    list_.Version = version;
    list_.BGColor = h.bgColor;
    list_.NotFillBG = h.notFillBG;
    coding_.compType = h.compType;
    coding_.blockWidth = h.blockWidth;
    coding_.blockHeight = h.blockHeight;
    coding_.randomized = h.randomized;
    coding_.idCode = list_.IdentificationCode;
  }

  void Charge(int64_t bytes) {
    allocated_ += bytes;
    if (allocated_ > list_.Limits.maxTotalBytes) Damaged();
  }

  void StartFrame(TBrixFrame& f, int32_t width, int32_t height, int32_t bpp, const TPaletteEntry* palette) {
    const TBrixLimits& lim = list_.Limits;
    if (width <= 0 || height <= 0 || width > lim.maxSide || height > lim.maxSide ||
        int64_t{width} * height > lim.maxPixels)
      Damaged();
    frameBytes_ = PlaneRowBytes(width, StorageBitsOf(bpp)) * height;
    Charge(frameBytes_);
    frameIndex_ = list_.Count() - 1;
    f.Image.SetSize(width, height, bpp);
    if (bpp <= 8) std::memcpy(f.Image.Palette(), palette, sizeof(TPaletteEntry) << bpp);
    const TPixelSpace space = TPixelSpace::Of(f.Image);
    if (f.TransColor == -1) {
      f.TransColorRGB = -1;
    } else {
      // The pixel as the storage holds it, read back as a colour.
      const int bits = f.Image.StorageBits();
      const uint32_t mask = bits >= 32 ? 0xFFFFFFu : bits == 24 ? 0xFFFFFFu : (1u << bits) - 1;
      f.TransColorRGB = static_cast<int32_t>(ColorRefFromRgb(PixelToRgb(space, static_cast<uint32_t>(f.TransColor) & mask)));
    }
    f.Image.FillRect(f.Image.BoundsRect(), RgbToPixel(space, RgbFromColorRef(static_cast<uint32_t>(list_.BGColor))));
  }

  // u32 size and the data of one plane; an alpha plane of size 0 is none.
  void ReadPlaneBlock(TBrixLayer& layer, int layerIndex, bool colour) {
    const int64_t size = r_.U32();
    if (size > r_.Remaining()) Damaged();
    TBrixFrame& f = *layer.Frame();
    TDIBSurface* plane;
    if (colour) {
      Charge(frameBytes_);
      layer.Image.SetSize(f.Image.Width(), f.Image.Height(), f.Image.BitCount());
      if (f.Image.StorageBits() <= 8) std::memcpy(layer.Image.Palette(), f.Image.Palette(), sizeof(TPaletteEntry) * 256);
      plane = &layer.Image;
    } else {
      if (size == 0) return;
      Charge(PlaneRowBytes(f.Image.Width(), 8) * f.Image.Height());
      layer.Image.CreateAlpha();
      plane = layer.Image.Alpha();
    }
    buffer_.resize(static_cast<size_t>(size));
    r_.Read(buffer_.data(), size);
    const int32_t frameIndex = frameIndex_;
    auto lookup = [&](int32_t a, int32_t b) -> const TDIBSurface* {
      // Only layers decoded completely: earlier frames, or earlier layers of this frame.
      if (a < 0 || a > frameIndex || b < 0) return nullptr;
      TBrixFrame& src = list_.Frame(a);
      if (b >= src.LayerCount() || (a == frameIndex && b >= layerIndex)) return nullptr;
      TDIBSurface& img = src.Layer(b).Image;
      return colour ? &img : img.Alpha();
    };
    DecodePlane(buffer_.data(), buffer_.size(), coding_, colour, *plane, lookup);
  }

  void Compose(TBrixFrame& f, TBrixLayer& layer, int index, int& composed) {
    if (!layer.Visible) return;
    TDIBSurface& img = f.Image;
    const TDIBSurface& src = layer.Image;
    const bool masked = src.Alpha() && layer.AlphaOn;
    if (masked && composed == 0) img.SetAlphaFrom(*src.Alpha());
    if (masked && index > 0)
      img.DrawMasked(0, 0, 255, src.BoundsRect(), src);
    else if ((layer.TransColor == -1 || (composed == 0 && list_.NotFillBG)) && layer.Alpha == 255)
      img.CopyAll(0, 0, src);
    else
      img.BlendLayer(0, 0, layer.Alpha, layer.TransColor, src.BoundsRect(), src);
    ++composed;
  }

  void EndFrame(TBrixFrame& f) {
    if (!convert_) return;
    const int bits = f.Image.BitCount();
    int target = 0;
    if (bits <= 8)
      target = 24;
    else if (list_.TargetBitCount > 8 && ValidBitCount(list_.TargetBitCount) && list_.TargetBitCount != bits)
      target = list_.TargetBitCount;
    if (target == 0) return;
    TDIBSurface converted(f.Image.Width(), f.Image.Height(), target);
    ConvertPixels(f.Image, converted);
    if (f.Image.Alpha()) converted.SetAlphaFrom(*f.Image.Alpha());
    f.TransColor = ConvertKey(f.TransColor, TPixelSpace::Of(f.Image), TPixelSpace::Of(converted));
    f.Image.CopyFrom(converted);
  }

  TBrixFrameList& list_;
  RecordReader r_;
  bool firstFrameOnly_, keepLayers_, convert_;
  TPlaneCoding coding_;
  int frameIndex_ = 0;
  int64_t frameBytes_ = 0;
  int64_t allocated_ = 0;
  std::vector<uint8_t> buffer_;
};

std::string LowerExtension(const std::string& path) {
  return sjis::AsciiLower(std::filesystem::path(path).extension().string());
}

}  // namespace

void TBrixFrameList::LoadFromStream(TStream& stream, bool firstFrameOnly, bool keepLayers, bool convert) {
  Clear();
  TBrixReader(*this, stream, firstFrameOnly, keepLayers, convert).Read();
}

bool TBrixFrameList::LoadFromFile(const std::string& path, bool firstFrameOnly, bool keepLayers, bool convert) {
  const std::string ext = LowerExtension(path);
  if (ext != ".brx" && ext != ".png" && ext != ".bmp" && ext != ".dib") return false;
  TFileStream file(path, TFileStream::Mode::OpenRead);
  if (ext == ".brx") {
    LoadFromStream(file, firstFrameOnly, keepLayers, convert);
    return true;
  }
  Clear();
  Version = 0;
  Structured = false;
  TDIBSurface picture;
  int32_t transparent = -1;
  if (ext == ".png") {
    image::ReadPng(file, picture, &transparent);
  } else {
    image::ReadBmp(file, picture);
    if (picture.StorageBits() == 32) {
      // The fourth byte is the alpha plane; the colours go to 24 bits.
      TDIBSurface alpha(picture.Width(), picture.Height(), 8);
      for (int32_t y = 0; y < picture.Height(); ++y) {
        const uint8_t* s = picture.Row(y);
        uint8_t* a = alpha.Row(y);
        for (int32_t x = 0; x < picture.Width(); ++x) a[x] = s[4 * x + 3];
      }
      TDIBSurface colours(picture.Width(), picture.Height(), 24);
      ConvertPixels(picture, colours);
      colours.SetAlphaFrom(alpha);
      picture.CopyFrom(colours);
    }
  }
  TBrixFrame& f = AddFrame();
  f.Image.CopyFrom(picture);
  f.TransColorRGB = transparent;
  return true;
}

}  // namespace qubo
