// Writing layered images in the structured format (screen captures and SaveToFile).

#include <cstdio>

#include "render/brxcodec.h"
#include "render/brximage.h"
#include "render/pixelconvert.h"
#include "support/errors.h"
#include "support/koxmls.h"
#include "support/record.h"
#include "support/stream.h"

namespace qubo {
namespace {

using namespace brx;

// The palette as the structured format stores it: six hexadecimal digits per entry, the
// colour reference's form (blue, green, red).
std::string PaletteText(const TDIBSurface& img) {
  std::string out;
  const int entries = 1 << img.StorageBits();
  char buf[8];
  for (int i = 0; i < entries; ++i) {
    const TPaletteEntry& e = img.Palette()[i];
    std::snprintf(buf, sizeof buf, "%02X%02X%02X", e.blue, e.green, e.red);
    out += buf;
  }
  return out;
}

void AppendPlane(std::vector<uint8_t>& data, const std::vector<uint8_t>& plane) {
  TKoMemoryStream s;
  RecordWriter(s).U32(static_cast<uint32_t>(plane.size()));
  data.insert(data.end(), s.Bytes().begin(), s.Bytes().end());
  data.insert(data.end(), plane.begin(), plane.end());
}

void AddLayer(TKoXmlElement& layers, std::vector<uint8_t>& data, const TDIBSurface& img, const std::string& name,
              bool visible, int32_t transColor, int32_t alpha, bool alphaOn, const TPlaneEncoding& enc) {
  TKoXmlElement* e = layers.AddChild("Layer");
  e->AddAttrInt("Left", 0);
  e->AddAttrInt("Top", 0);
  e->AddAttrInt("Visible", visible ? 1 : 0);
  e->AddAttrInt("TransColor", transColor);
  e->AddAttrInt("Alpha", alpha);
  e->AddAttrInt("AlphaOn", alphaOn ? 1 : 0);
  e->AddAttr("Name", name);
  e->AddAttrInt("Lock", 0);
  AppendPlane(data, EncodePlane(img, true, enc));
  AppendPlane(data, img.Alpha() ? EncodePlane(*img.Alpha(), false, enc) : std::vector<uint8_t>{});
}

}  // namespace

void TBrixFrameList::SaveToStream(TStream& stream) const {
  TPlaneEncoding enc;
  enc.version = kStructuredVersion;
  enc.randomized = IdentificationCode != 0;
  enc.idCode = IdentificationCode;
  enc.compType = enc.randomized ? kCompRaw : kCompZlib;

  TKoXml doc;
  doc.SetName("Frames");
  const bool any = Count() > 0;
  doc.AddAttrInt("Version", kStructuredVersion);
  doc.AddAttrInt("Width", any ? Frame(0).Width() : 0);
  doc.AddAttrInt("Height", any ? Frame(0).Height() : 0);
  doc.AddAttrInt("Bpp", any ? Frame(0).BitCount() : 0);
  doc.AddAttrInt("Count", Count());
  doc.AddAttrInt("SyncPal", 1);
  doc.AddAttrInt("Randomized", enc.randomized ? 1 : 0);
  doc.AddAttrInt("CompType", enc.compType);
  doc.AddAttrInt("CompLevel", 70);
  doc.AddAttrInt("BGColor", BGColor);
  doc.AddAttrInt("BlockWidth", 0);
  doc.AddAttrInt("BlockHeight", 0);
  doc.AddAttrInt("NotFillBG", NotFillBG ? 1 : 0);

  std::vector<uint8_t> data;
  for (int i = 0; i < Count(); ++i) {
    const TBrixFrame& f = Frame(i);
    TKoXmlElement* fe = doc.AddChild("Frame");
    fe->AddAttr("Name", f.Name);
    // The reader takes TransColor as a pixel value of the frame's format: store that form.
    fe->AddAttrInt("TransColor", f.TransColor);
    fe->AddAttrInt("Delay", f.Delay);
    fe->AddAttrInt("Disposal", f.Disposal);
    TKoXmlElement* le = fe->AddChild("Layers");
    le->AddAttrInt("Count", f.LayerCount() > 0 ? f.LayerCount() : 1);
    le->AddAttrInt("Width", f.Width());
    le->AddAttrInt("Height", f.Height());
    le->AddAttrInt("Bpp", f.BitCount());
    const TDIBSurface& paletteSource = f.LayerCount() > 0 ? f.Layer(0).Image : f.Image;
    if (f.BitCount() <= 8) le->AddAttr("RGB", PaletteText(paletteSource));
    if (f.LayerCount() == 0) {
      AddLayer(*le, data, f.Image, "Layer", true, -1, 255, f.Image.Alpha() != nullptr, enc);
    } else {
      for (int k = 0; k < f.LayerCount(); ++k) {
        const TBrixLayer& l = f.Layer(k);
        AddLayer(*le, data, l.Image, l.Name, l.Visible, l.TransColor, l.Alpha, l.AlphaOn, enc);
      }
    }
  }
  TKoMemoryStream xml;
  doc.SaveToStream(xml);
  const std::vector<uint8_t> packed = Deflate(xml.Memory(), xml.Bytes().size(), -1);
  stream.WriteBuffer(kStructuredSignature, 8);
  RecordWriter(stream).U32(static_cast<uint32_t>(packed.size()));
  stream.WriteBuffer(packed.data(), static_cast<int64_t>(packed.size()));
  stream.WriteBuffer(data.data(), static_cast<int64_t>(data.size()));
}

void TBrixFrameList::SaveToFile(const std::string& path) const {
  TKoMemoryStream out;
  SaveToStream(out);
  out.SaveToFile(path);
}

void SaveCapture(const TDIBSurface& image, TStream& stream) {
  TBrixFrameList list(0);
  TBrixFrame& f = list.AddFrame();
  f.Image.SetSize(image.Width(), image.Height(), 24);
  ConvertPixels(image, f.Image);
  f.TransColor = -1;
  f.TransColorRGB = -1;
  list.SaveToStream(stream);
}

void SaveCapture(const TDIBSurface& image, const std::string& path) {
  TKoMemoryStream out;
  SaveCapture(image, out);
  out.SaveToFile(path);
}

}  // namespace qubo
