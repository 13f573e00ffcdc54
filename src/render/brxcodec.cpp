#include "render/brxcodec.h"

#include <zlib.h>

#include <algorithm>
#include <cstring>

#include "render/imagefile.h"
#include "render/pixelconvert.h"
#include "render/pixelstore.h"
#include "support/errors.h"
#include "support/stream.h"

namespace qubo::brx {
namespace {

// zlib can expand its input by about 1032 times at most; a stored count that would need more
// cannot be genuine.
constexpr int64_t kMaxInflateRatio = 1040;

[[noreturn]] void Damaged() { throw FormatError(kErrDamaged); }

// Exact reads from a plane's stored data, inflated or not.
class TPlaneSource {
 public:
  TPlaneSource(const uint8_t* data, size_t size, bool inflate) : data_(data), size_(size), inflate_(inflate) {
    if (inflate_) {
      if (inflateInit(&z_) != Z_OK) throw StreamError("Cannot start decompression");
      z_.next_in = const_cast<Bytef*>(data);
      z_.avail_in = static_cast<uInt>(size);
    }
  }
  ~TPlaneSource() {
    if (inflate_) inflateEnd(&z_);
  }
  TPlaneSource(const TPlaneSource&) = delete;
  TPlaneSource& operator=(const TPlaneSource&) = delete;

  // The most bytes the data can give.
  int64_t Capacity() const { return inflate_ ? static_cast<int64_t>(size_) * kMaxInflateRatio + 1024 : static_cast<int64_t>(size_); }

  void Read(uint8_t* out, size_t n) {
    if (n == 0) return;
    if (!inflate_) {
      if (n > size_ - pos_) Damaged();
      std::memcpy(out, data_ + pos_, n);
      pos_ += n;
      return;
    }
    if (ended_) Damaged();
    z_.next_out = out;
    z_.avail_out = static_cast<uInt>(n);
    while (z_.avail_out > 0) {
      const int status = inflate(&z_, Z_NO_FLUSH);
      if (status == Z_STREAM_END) {
        ended_ = true;
        if (z_.avail_out > 0) Damaged();  // fewer bytes than expected
        break;
      }
      if (status != Z_OK) Damaged();  // damaged, or truncated (Z_BUF_ERROR)
    }
  }

  // The data must hold nothing beyond what was read (inflated data must end exactly here).
  void Finish() {
    if (!inflate_ || ended_) return;
    uint8_t extra;
    z_.next_out = &extra;
    z_.avail_out = 1;
    const int status = inflate(&z_, Z_NO_FLUSH);
    if (status != Z_STREAM_END || z_.avail_out == 0) Damaged();
    ended_ = true;
  }

 private:
  const uint8_t* data_;
  size_t size_;
  size_t pos_ = 0;
  bool inflate_;
  bool ended_ = false;
  z_stream z_{};
};

int64_t PlaneBytes(const TDIBSurface& plane) {
  return PlaneRowBytes(plane.Width(), plane.StorageBits()) * plane.Height();
}

void ReadRows(TPlaneSource& src, TDIBSurface& plane, const std::vector<int32_t>* order) {
  const size_t rowBytes = static_cast<size_t>(PlaneRowBytes(plane.Width(), plane.StorageBits()));
  for (int32_t k = 0; k < plane.Height(); ++k) {
    const int32_t y = order ? (*order)[static_cast<size_t>(k)] : k;
    src.Read(plane.Row(y), rowBytes);
  }
}

// Copies a w x h pixel area between planes of one format (or within one plane, between
// areas that do not overlap).
void CopyArea(TDIBSurface& dst, int32_t dx, int32_t dy, const TDIBSurface& src, int32_t sx, int32_t sy, int32_t w,
              int32_t h) {
  const int bits = dst.StorageBits();
  for (int32_t r = 0; r < h; ++r) {
    uint8_t* d = dst.Row(dy + r);
    const uint8_t* s = src.Row(sy + r);
    if (bits >= 8) {
      const int bpp = bits / 8;
      std::memmove(d + int64_t{dx} * bpp, s + int64_t{sx} * bpp, static_cast<size_t>(w) * bpp);
    } else {
      for (int32_t x = 0; x < w; ++x) WriteRowPixel(d, dx + x, bits, ReadRowPixel(s, sx + x, bits));
    }
  }
}

int32_t Get32(const uint8_t* p) {
  return static_cast<int32_t>(p[0] | (uint32_t{p[1]} << 8) | (uint32_t{p[2]} << 16) | (uint32_t{p[3]} << 24));
}
void Put32(std::vector<uint8_t>& out, int32_t v) {
  const uint32_t u = static_cast<uint32_t>(v);
  for (int i = 0; i < 4; ++i) out.push_back(static_cast<uint8_t>(u >> (8 * i)));
}

void ReadBlocks(TPlaneSource& src, const TPlaneCoding& c, TDIBSurface& plane, const TPlaneLookup& lookup) {
  const TBlockGrid grid(plane.Width(), plane.Height(), c.blockWidth, c.blockHeight);
  const int64_t count = grid.Count();
  if (count * kBlockRefSize > src.Capacity()) Damaged();
  std::vector<uint8_t> raw(static_cast<size_t>(count) * kBlockRefSize);
  src.Read(raw.data(), raw.size());
  std::vector<TBrixBlockRef> table(static_cast<size_t>(count));
  std::vector<int32_t> order;
  if (c.randomized) order = RowOrder(c.idCode, static_cast<int32_t>(count));
  for (int64_t i = 0; i < count; ++i) {
    const size_t block = c.randomized ? static_cast<size_t>(order[static_cast<size_t>(i)]) : static_cast<size_t>(i);
    table[block] = TBrixBlockRef{Get32(&raw[static_cast<size_t>(i) * 8]), Get32(&raw[static_cast<size_t>(i) * 8 + 4])};
  }
  raw = {};

  const int bits = plane.StorageBits();
  std::vector<uint8_t> rowBuffer;
  for (int64_t k = 0; k < count; ++k) {
    const TBrixBlockRef e = table[static_cast<size_t>(k)];
    const int32_t x = grid.X(k), y = grid.Y(k), w = grid.W(k), h = grid.H(k);
    if (e.a == kBlockStored) {
      const size_t rowBytes = static_cast<size_t>(BlockRowBytes(w, bits));
      for (int32_t r = 0; r < h; ++r) {
        if (bits >= 8) {
          src.Read(plane.Row(y + r) + int64_t{x} * (bits / 8), rowBytes);
        } else {
          rowBuffer.resize(rowBytes);
          src.Read(rowBuffer.data(), rowBytes);
          uint8_t* d = plane.Row(y + r);
          for (int32_t i = 0; i < w; ++i) WriteRowPixel(d, x + i, bits, ReadRowPixel(rowBuffer.data(), i, bits));
        }
      }
    } else if (e.a == kBlockSamePlane) {
      // Only a block decoded before this one; blocks of another extent (the last column or
      // row) give the part both have.
      if (e.b < 0 || e.b >= k) Damaged();
      const int32_t ow = std::min(w, grid.W(e.b)), oh = std::min(h, grid.H(e.b));
      CopyArea(plane, x, y, plane, grid.X(e.b), grid.Y(e.b), ow, oh);
    } else {
      if (e.a < 0 || e.b < 0) Damaged();
      const TDIBSurface* other = lookup ? lookup(e.a, e.b) : nullptr;
      if (!other || other == &plane || other->Width() != plane.Width() || other->Height() != plane.Height() ||
          !SameFormat(other->Format(), plane.Format()))
        Damaged();
      CopyArea(plane, x, y, *other, x, y, w, h);
    }
  }
}

void DecodeJpeg(const uint8_t* data, size_t size, TDIBSurface& plane) {
  TKoMemoryStream s(std::vector<uint8_t>(data, data + size));
  TDIBSurface picture;
  image::ReadJpeg(s, picture);
  if (picture.Width() != plane.Width() || picture.Height() != plane.Height()) Damaged();
  ConvertPixels(picture, plane);
}

}  // namespace

std::vector<uint8_t> InflateExact(const uint8_t* data, size_t size, size_t expected) {
  std::vector<uint8_t> out(expected);
  TPlaneSource src(data, size, true);
  src.Read(out.data(), out.size());
  src.Finish();
  return out;
}

std::vector<uint8_t> InflateBounded(const uint8_t* data, size_t size, size_t limit) {
  z_stream z{};
  if (inflateInit(&z) != Z_OK) throw StreamError("Cannot start decompression");
  std::vector<uint8_t> out;
  z.next_in = const_cast<Bytef*>(data);
  z.avail_in = static_cast<uInt>(size);
  int status = Z_OK;
  uint8_t chunk[65536];
  while (status != Z_STREAM_END) {
    z.next_out = chunk;
    z.avail_out = sizeof chunk;
    status = inflate(&z, Z_NO_FLUSH);
    if (status != Z_OK && status != Z_STREAM_END) break;
    const size_t got = sizeof chunk - z.avail_out;
    if (got > limit - out.size()) {
      status = Z_MEM_ERROR;
      break;
    }
    out.insert(out.end(), chunk, chunk + got);
  }
  inflateEnd(&z);
  if (status != Z_STREAM_END) Damaged();
  return out;
}

std::vector<uint8_t> Deflate(const uint8_t* data, size_t size, int level) {
  uLongf bound = compressBound(static_cast<uLong>(size));
  std::vector<uint8_t> out(bound);
  if (compress2(out.data(), &bound, data, static_cast<uLong>(size), level < -1 || level > 9 ? -1 : level) != Z_OK)
    throw StreamError("Compression failed");
  out.resize(bound);
  return out;
}

void DecodePlane(const uint8_t* data, size_t size, const TPlaneCoding& c, bool colour, TDIBSurface& plane,
                 const TPlaneLookup& lookup) {
  if (plane.IsEmpty()) Damaged();
  const int64_t planeBytes = PlaneBytes(plane);
  if (c.version < kVersionHeaderRecord) {
    // Whole rows: stored (in the permuted order of the identification code) when the size
    // is exactly the plane's, otherwise a zlib stream of the rows in natural order.
    if (static_cast<int64_t>(size) == planeBytes) {
      const std::vector<int32_t> order = RowOrder(c.idCode, plane.Height());
      TPlaneSource src(data, size, false);
      ReadRows(src, plane, &order);
    } else {
      TPlaneSource src(data, size, true);
      ReadRows(src, plane, nullptr);
      src.Finish();
    }
    return;
  }
  if (c.compType == kCompJpeg) {
    if (colour) {
      DecodeJpeg(data, size, plane);
    } else {
      TPlaneSource src(data, size, true);
      ReadRows(src, plane, nullptr);
      src.Finish();
    }
    return;
  }
  if (c.compType != kCompZlib && c.compType != kCompRaw) throw FormatError(kErrUnreadable);
  if (c.randomized && c.idCode == 0) throw FormatError(kErrNeedIdCode);
  TPlaneSource src(data, size, c.compType == kCompZlib);
  if (c.blockWidth > 0 && c.blockHeight > 0) {
    ReadBlocks(src, c, plane, lookup);
  } else if (c.randomized) {
    const std::vector<int32_t> order = RowOrder(c.idCode, plane.Height());
    ReadRows(src, plane, &order);
  } else {
    ReadRows(src, plane, nullptr);
  }
  src.Finish();
}

// ---- Encoding ----

namespace {

void AppendRows(std::vector<uint8_t>& out, const TDIBSurface& plane, const std::vector<int32_t>* order) {
  const size_t rowBytes = static_cast<size_t>(PlaneRowBytes(plane.Width(), plane.StorageBits()));
  for (int32_t k = 0; k < plane.Height(); ++k) {
    const uint8_t* row = plane.Row(order ? (*order)[static_cast<size_t>(k)] : k);
    out.insert(out.end(), row, row + rowBytes);
  }
}

void AppendBlocks(std::vector<uint8_t>& out, const TDIBSurface& plane, const TPlaneEncoding& e) {
  const TBlockGrid grid(plane.Width(), plane.Height(), e.blockWidth, e.blockHeight);
  const int64_t count = grid.Count();
  std::vector<TBrixBlockRef> table(static_cast<size_t>(count));
  if (e.table) {
    if (static_cast<int64_t>(e.table->size()) != count) throw QuboError("block table does not match the plane");
    table = *e.table;
  }
  std::vector<int32_t> order;
  if (e.randomized) order = RowOrder(e.idCode, static_cast<int32_t>(count));
  for (int64_t i = 0; i < count; ++i) {
    const TBrixBlockRef& r = table[e.randomized ? static_cast<size_t>(order[static_cast<size_t>(i)]) : static_cast<size_t>(i)];
    Put32(out, r.a);
    Put32(out, r.b);
  }
  const int bits = plane.StorageBits();
  for (int64_t k = 0; k < count; ++k) {
    if (table[static_cast<size_t>(k)].a != kBlockStored) continue;
    const int32_t x = grid.X(k), y = grid.Y(k), w = grid.W(k), h = grid.H(k);
    const size_t rowBytes = static_cast<size_t>(BlockRowBytes(w, bits));
    for (int32_t r = 0; r < h; ++r) {
      const uint8_t* row = plane.Row(y + r);
      if (bits >= 8) {
        const uint8_t* p = row + int64_t{x} * (bits / 8);
        out.insert(out.end(), p, p + rowBytes);
      } else {
        std::vector<uint8_t> packed(rowBytes, 0);
        for (int32_t i = 0; i < w; ++i) WriteRowPixel(packed.data(), i, bits, ReadRowPixel(row, x + i, bits));
        out.insert(out.end(), packed.begin(), packed.end());
      }
    }
  }
}

}  // namespace

std::vector<uint8_t> EncodePlane(const TDIBSurface& plane, bool colour, const TPlaneEncoding& e) {
  std::vector<uint8_t> out;
  if (e.version < kVersionHeaderRecord) {
    if (e.compType == kCompRaw) {
      const std::vector<int32_t> order = RowOrder(e.idCode, plane.Height());
      AppendRows(out, plane, &order);
      return out;
    }
    AppendRows(out, plane, nullptr);
    std::vector<uint8_t> packed = Deflate(out.data(), out.size(), e.zlibLevel);
    // A compressed block of exactly the plane's size would be read as stored rows.
    if (packed.size() == out.size()) throw QuboError("compressed plane has the size of the plane");
    return packed;
  }
  if (e.compType == kCompJpeg) {
    if (colour) {
      TKoMemoryStream s;
      image::WriteJpeg(s, plane, e.jpegQuality);
      return std::move(s.Bytes());
    }
    AppendRows(out, plane, nullptr);
    return Deflate(out.data(), out.size(), e.zlibLevel);
  }
  if (e.randomized && e.idCode == 0) throw FormatError(kErrNeedIdCode);
  if (e.blockWidth > 0 && e.blockHeight > 0) {
    AppendBlocks(out, plane, e);
  } else if (e.randomized) {
    const std::vector<int32_t> order = RowOrder(e.idCode, plane.Height());
    AppendRows(out, plane, &order);
  } else {
    AppendRows(out, plane, nullptr);
  }
  if (e.compType == kCompZlib) return Deflate(out.data(), out.size(), e.zlibLevel);
  return out;
}

}  // namespace qubo::brx
