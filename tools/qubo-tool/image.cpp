// qubo-tool image: inspect, export and build layered images.

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "authoring/brxauthor.h"
#include "command.h"
#include "render/brximage.h"
#include "render/imagefile.h"
#include "render/pixelconvert.h"
#include "support/encoding.h"
#include "support/errors.h"
#include "support/stream.h"

namespace qubo::tool {
namespace {

namespace fs = std::filesystem;
using authoring::TBrixAuthorDoc;
using authoring::TBrixAuthorFrame;
using authoring::TBrixAuthorLayer;

const char* const kName = "image";

int Usage() {
  std::fprintf(stderr,
               "usage: qubo-tool image info FILE [--idcode N]\n"
               "       qubo-tool image export FILE DIR [--layers] [--idcode N]\n"
               "       qubo-tool image build DESC OUT\n"
               "\n"
               "info lists the frames and layers of a layered image (.brx); export writes one PNG per\n"
               "frame (frame_000.png ...) and with --layers one per layer (frame_000_layer_00.png ...).\n"
               "--idcode gives the project's identification code for randomized files.\n"
               "\n"
               "build makes a layered image from PNG files and a DESC text file (a description of frames and layers), one statement a line\n"
               "('#' starts a comment; file names are relative to the DESC file's folder):\n"
               "  format structured|record      file form (default structured)\n"
               "  version N                     record format version 0..105 (default 105)\n"
               "  depth 1|4|8|15|16|24|32       bit count of every frame (default 24)\n"
               "  compression zlib|raw|jpeg     plane coding (default zlib)\n"
               "  blocks W H                    cut planes into W x H blocks (versions 103 and later)\n"
               "  references                    store repeated blocks as references\n"
               "  randomized                    permute rows or block tables (needs idcode)\n"
               "  idcode N                      identification code (seed of the permutations)\n"
               "  background RRGGBB             background colour\n"
               "  notfillbg                     copy the first visible layer without the background\n"
               "  frame [delay=MS] [name=TEXT] [trans=RRGGBB] [disposal=N]\n"
               "  layer FILE.png [name=TEXT] [alpha=0..255] [hidden] [trans=RRGGBB]\n"
               "  rect L T R B                  a region of the current frame (record versions 104+)\n"
               "  extrarect L T R B             a region of the second list\n"
               "A PNG's alpha channel becomes the layer's alpha plane (used as such). All layers of a\n"
               "frame must have the same size; at 8 bits and less a frame's palette is made from its\n"
               "first layer.\n");
  return 2;
}

std::string Utf8(const std::string& cp932) { return Cp932ToUtf8(cp932); }

bool TakeIdCode(std::vector<std::string>& args, int32_t& code) {
  for (size_t i = 0; i < args.size(); ++i) {
    if (args[i] != "--idcode") continue;
    if (i + 1 >= args.size()) return false;
    code = static_cast<int32_t>(std::stoll(args[i + 1], nullptr, 0));
    args.erase(args.begin() + static_cast<std::ptrdiff_t>(i), args.begin() + static_cast<std::ptrdiff_t>(i) + 2);
    return true;
  }
  return true;
}

void LoadBrx(TBrixFrameList& list, const std::string& path) {
  TFileStream f(path, TFileStream::Mode::OpenRead);
  list.LoadFromStream(f, false, true, false);
}

const char* CompName(uint8_t c) {
  switch (c) {
    case brx::kCompZlib: return "zlib";
    case brx::kCompRaw: return "raw";
    case brx::kCompJpeg: return "jpeg";
    default: return "unknown";
  }
}

int Info(const std::string& path, int32_t code) {
  TBrixFrameList list(code);
  LoadBrx(list, path);
  const brx::TBrixHeader& h = list.Header;
  std::printf("%s format, version %d\n", list.Structured ? "structured" : "record", list.Version);
  std::printf("frames %d, compression %s, blocks %dx%d%s, background %06X%s\n", list.Count(), CompName(h.compType),
              h.blockWidth, h.blockHeight, h.randomized ? ", randomized" : "",
              static_cast<unsigned>((list.BGColor & 0xFF) << 16 | (list.BGColor & 0xFF00) | ((list.BGColor >> 16) & 0xFF)),
              list.NotFillBG ? ", notfillbg" : "");
  for (int i = 0; i < list.Count(); ++i) {
    const TBrixFrame& f = list.Frame(i);
    std::printf("frame %d \"%s\": %dx%d, %d bits, delay %d, disposal %d, trans %d, alpha %s, rects %zu+%zu\n", i,
                Utf8(f.Name).c_str(), f.Width(), f.Height(), f.BitCount(), f.Delay, f.Disposal, f.TransColor,
                f.HasAlpha() ? "yes" : "no", f.DrawRects.size(), f.ExtraRects.size());
    for (int k = 0; k < f.LayerCount(); ++k) {
      const TBrixLayer& l = f.Layer(k);
      std::printf("  layer %d \"%s\": %s, opacity %d, trans %d, alpha plane %s%s\n", k, Utf8(l.Name).c_str(),
                  l.Visible ? "visible" : "hidden", l.Alpha, l.TransColor, l.Image.Alpha() ? "yes" : "no",
                  l.AlphaOn ? " (on)" : "");
    }
  }
  return 0;
}

void WritePngFile(const fs::path& path, const TDIBSurface& img) {
  TFileStream out(path.string(), TFileStream::Mode::Create);
  image::WritePng(out, img, true);
}

int Export(const std::string& path, const std::string& dir, bool layers, int32_t code) {
  TBrixFrameList list(code);
  LoadBrx(list, path);
  fs::create_directories(dir);
  char name[64];
  for (int i = 0; i < list.Count(); ++i) {
    const TBrixFrame& f = list.Frame(i);
    std::snprintf(name, sizeof name, "frame_%03d.png", i);
    WritePngFile(fs::path(dir) / name, f.Image);
    if (!layers) continue;
    for (int k = 0; k < f.LayerCount(); ++k) {
      std::snprintf(name, sizeof name, "frame_%03d_layer_%02d.png", i, k);
      WritePngFile(fs::path(dir) / name, f.Layer(k).Image);
    }
  }
  std::printf("%d frames written to %s\n", list.Count(), dir.c_str());
  return 0;
}

// ---- build ----

[[noreturn]] void DescError(int line, const std::string& message) {
  throw QuboError("description line " + std::to_string(line) + ": " + message);
}

int32_t ParseColour(const std::string& hex, int line) {
  std::string h = hex;
  if (!h.empty() && h[0] == '#') h.erase(0, 1);
  if (h.size() != 6 || h.find_first_not_of("0123456789abcdefABCDEF") != std::string::npos)
    DescError(line, "colour must be RRGGBB: " + hex);
  const uint32_t v = static_cast<uint32_t>(std::stoul(h, nullptr, 16));
  return static_cast<int32_t>(((v >> 16) & 0xFF) | (v & 0xFF00) | ((v & 0xFF) << 16));  // as a colour reference
}

int32_t ParseInt(const std::string& s, int line) {
  try {
    size_t used = 0;
    const long long v = std::stoll(s, &used, 0);
    if (used != s.size() || v < INT32_MIN || v > INT32_MAX) throw std::invalid_argument(s);
    return static_cast<int32_t>(v);
  } catch (const std::exception&) {
    DescError(line, "not a number: " + s);
  }
}

struct PendingLayer {
  fs::path file;
  std::string name;
  int32_t alpha = 255;
  bool hidden = false;
  int32_t transRef = -1;
};
struct PendingFrame {
  TBrixAuthorFrame frame;
  int32_t transRef = -1;
  std::vector<PendingLayer> layers;
};

// The PNG converted to the frame's depth (palette depths use the given palette).
std::shared_ptr<TDIBSurface> Convert(const TDIBSurface& png, int depth, const TPaletteEntry* palette) {
  auto out = std::make_shared<TDIBSurface>(png.Width(), png.Height(), depth);
  if (depth <= 8) std::memcpy(out->Palette(), palette, sizeof(TPaletteEntry) * 256);
  ConvertPixels(png, *out);
  if (png.Alpha()) out->SetAlphaFrom(*png.Alpha());
  return out;
}

int Build(const std::string& descPath, const std::string& outPath) {
  std::ifstream in(descPath);
  if (!in) return Fail(kName, descPath + ": cannot read");
  const fs::path base = fs::path(descPath).parent_path();
  TBrixAuthorDoc doc;
  bool versionGiven = false;
  int depth = 24;
  std::vector<PendingFrame> frames;
  std::string text;
  int line = 0;
  while (std::getline(in, text)) {
    ++line;
    if (const size_t hash = text.find('#'); hash != std::string::npos) text.erase(hash);
    std::istringstream words(text);
    std::vector<std::string> w;
    for (std::string s; words >> s;) w.push_back(s);
    if (w.empty()) continue;
    const std::string& key = w[0];
    auto need = [&](size_t n) {
      if (w.size() != n + 1) DescError(line, key + " takes " + std::to_string(n) + " values");
    };
    // key=value options after the fixed words.
    auto option = [&](size_t from, auto apply) {
      for (size_t i = from; i < w.size(); ++i) {
        const size_t eq = w[i].find('=');
        apply(w[i].substr(0, eq), eq == std::string::npos ? std::string() : w[i].substr(eq + 1));
      }
    };
    if (key == "format") {
      need(1);
      if (w[1] == "structured")
        doc.form = authoring::TBrixForm::Structured;
      else if (w[1] == "record")
        doc.form = authoring::TBrixForm::Record;
      else
        DescError(line, "format is structured or record");
    } else if (key == "version") {
      need(1);
      doc.version = ParseInt(w[1], line);
      versionGiven = true;
    } else if (key == "depth") {
      need(1);
      depth = ParseInt(w[1], line);
      if (!brx::ValidBitCount(depth)) DescError(line, "depth is 1, 4, 8, 15, 16, 24 or 32");
    } else if (key == "compression") {
      need(1);
      if (w[1] == "zlib")
        doc.header.compType = brx::kCompZlib;
      else if (w[1] == "raw")
        doc.header.compType = brx::kCompRaw;
      else if (w[1] == "jpeg")
        doc.header.compType = brx::kCompJpeg;
      else
        DescError(line, "compression is zlib, raw or jpeg");
    } else if (key == "blocks") {
      need(2);
      doc.header.blockWidth = ParseInt(w[1], line);
      doc.header.blockHeight = ParseInt(w[2], line);
      if (doc.header.blockWidth <= 0 || doc.header.blockHeight <= 0) DescError(line, "block sizes must be positive");
    } else if (key == "references") {
      doc.findReferences = true;
    } else if (key == "randomized") {
      doc.header.randomized = true;
    } else if (key == "idcode") {
      need(1);
      doc.idCode = ParseInt(w[1], line);
    } else if (key == "background") {
      need(1);
      doc.header.bgColor = ParseColour(w[1], line);
    } else if (key == "notfillbg") {
      doc.header.notFillBG = true;
    } else if (key == "frame") {
      PendingFrame f;
      f.frame.bpp = depth;
      option(1, [&](const std::string& k, const std::string& v) {
        if (k == "delay")
          f.frame.delay = ParseInt(v, line);
        else if (k == "name")
          f.frame.name = Utf8ToCp932Lossy(v);
        else if (k == "trans")
          f.transRef = ParseColour(v, line);
        else if (k == "disposal")
          f.frame.disposal = static_cast<uint8_t>(ParseInt(v, line));
        else
          DescError(line, "unknown frame option " + k);
      });
      frames.push_back(f);
    } else if (key == "layer") {
      if (frames.empty()) DescError(line, "layer before the first frame");
      if (w.size() < 2) DescError(line, "layer needs a PNG file");
      PendingLayer l;
      l.file = base / w[1];
      l.name = fs::path(w[1]).stem().string();
      option(2, [&](const std::string& k, const std::string& v) {
        if (k == "name")
          l.name = v;
        else if (k == "alpha")
          l.alpha = ParseInt(v, line);
        else if (k == "hidden")
          l.hidden = true;
        else if (k == "trans")
          l.transRef = ParseColour(v, line);
        else
          DescError(line, "unknown layer option " + k);
      });
      l.name = Utf8ToCp932Lossy(l.name);
      frames.back().layers.push_back(l);
    } else if (key == "rect" || key == "extrarect") {
      if (frames.empty()) DescError(line, key + " before the first frame");
      need(4);
      const TRect r{ParseInt(w[1], line), ParseInt(w[2], line), ParseInt(w[3], line), ParseInt(w[4], line)};
      (key == "rect" ? frames.back().frame.drawRects : frames.back().frame.extraRects).push_back(r);
    } else {
      DescError(line, "unknown statement " + key);
    }
  }
  if (frames.empty()) return Fail(kName, "the description has no frame");
  if (!versionGiven) doc.version = doc.form == authoring::TBrixForm::Structured ? brx::kStructuredVersion : 105;
  if (doc.header.randomized && doc.idCode == 0) return Fail(kName, "randomized needs an idcode");

  for (PendingFrame& pf : frames) {
    TBrixAuthorFrame& f = pf.frame;
    f.bpp = depth;
    TPaletteEntry palette[256] = {};
    for (size_t k = 0; k < pf.layers.size(); ++k) {
      const PendingLayer& pl = pf.layers[k];
      TDIBSurface png;
      {
        TFileStream file(pl.file.string(), TFileStream::Mode::OpenRead);
        image::ReadPng(file, png, nullptr);
      }
      if (k == 0) {
        f.width = png.Width();
        f.height = png.Height();
        if (depth <= 8) {
          TDIBSurface q;
          q.CopyFrom(png);
          q.ConvertBitCount(1, depth, false, 1 << depth);
          std::memcpy(palette, q.Palette(), sizeof palette);
          std::memcpy(f.palette.data(), palette, sizeof palette);
        }
      } else if (png.Width() != f.width || png.Height() != f.height) {
        return Fail(kName, pl.file.string() + ": size differs from the frame's first layer");
      }
      TBrixAuthorLayer l;
      l.image = Convert(png, depth, palette);
      l.name = pl.name;
      l.visible = !pl.hidden;
      l.alpha = pl.alpha;
      l.alphaOn = l.image->Alpha() != nullptr;
      if (pl.transRef >= 0)
        l.transColor = static_cast<int32_t>(RgbToPixel(TPixelSpace::Of(*l.image), RgbFromColorRef(static_cast<uint32_t>(pl.transRef))));
      f.layers.push_back(l);
    }
    if (f.layers.empty()) return Fail(kName, "a frame has no layer");
    if (pf.transRef >= 0)
      f.transColor = static_cast<int32_t>(
          RgbToPixel(TPixelSpace::Of(*f.layers[0].image), RgbFromColorRef(static_cast<uint32_t>(pf.transRef))));
    doc.frames.push_back(f);
  }
  const std::vector<uint8_t> bytes = authoring::BuildBrix(doc);
  TKoMemoryStream out(bytes);
  out.SaveToFile(outPath);
  std::printf("%s: %zu frames, %zu bytes\n", outPath.c_str(), doc.frames.size(), bytes.size());
  return 0;
}

int ImageMain(const Args& given) {
  Args args = given;
  if (args.empty() || args[0] == "--help" || args[0] == "-h") return args.empty() ? Usage() : (Usage(), 0);
  int32_t code = 0;
  if (!TakeIdCode(args, code)) return Usage();
  bool layers = false;
  for (size_t i = 0; i < args.size(); ++i)
    if (args[i] == "--layers") {
      layers = true;
      args.erase(args.begin() + static_cast<std::ptrdiff_t>(i));
      break;
    }
  const std::string& sub = args[0];
  if (sub == "info" && args.size() == 2) return Info(args[1], code);
  if (sub == "export" && args.size() == 3) return Export(args[1], args[2], layers, code);
  if (sub == "build" && args.size() == 3) return Build(args[1], args[2]);
  return Usage();
}

const Registration reg{kName, "inspect, export and build layered images", &ImageMain};

}  // namespace
}  // namespace qubo::tool
