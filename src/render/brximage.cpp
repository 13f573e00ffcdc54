#include "render/brximage.h"

#include "support/errors.h"

namespace qubo {

// ---- TBrixFrame ----

TBrixLayer& TBrixFrame::Layer(int index) {
  if (index < 0 || index >= LayerCount()) throw QuboError("Error:TBrixFrame.GetLayer");
  return *layers_[static_cast<size_t>(index)];
}

const TBrixLayer& TBrixFrame::Layer(int index) const { return const_cast<TBrixFrame*>(this)->Layer(index); }

TBrixLayer& TBrixFrame::AddLayer() {
  layers_.push_back(std::make_unique<TBrixLayer>(this));
  return *layers_.back();
}

int32_t TBrixFrame::Width() const { return layers_.empty() ? Image.Width() : layers_.front()->Image.Width(); }
int32_t TBrixFrame::Height() const { return layers_.empty() ? Image.Height() : layers_.front()->Image.Height(); }
int TBrixFrame::BitCount() const { return layers_.empty() ? Image.BitCount() : layers_.front()->Image.BitCount(); }

void TBrixFrame::BuildMask(bool keepLayers) {
  const int32_t frameKey = TransColor >= 0 ? TransColor : -1;
  if (!HasAlpha()) Image.AlphaFromKey(frameKey);
  if (!keepLayers) return;
  for (auto& layer : layers_) {
    if (layer->Image.Alpha()) continue;
    layer->Image.AlphaFromKey(layer->TransColor >= 0 ? layer->TransColor : frameKey);
  }
}

TRect TBrixFrame::Crop() {
  const TRect whole = Image.BoundsRect();
  if (Image.IsEmpty()) return whole;
  TRect box;
  if (const TDIBSurface* alpha = Image.Alpha()) {
    box = alpha->OpaqueBounds(0);
  } else {
    if (TransColorRGB == -1) return whole;
    box = Image.OpaqueBounds(TransColor);
  }
  if (rects::Empty(box)) box = rects::Make(0, 0, 1, 1);
  if (rects::Equal(box, whole)) return box;
  Image.Crop(box);
  for (std::vector<TRect>* list : {&DrawRects, &ExtraRects}) {
    std::vector<TRect> kept;
    kept.reserve(list->size());
    for (const TRect& r : *list) {
      const TRect c = rects::Intersect(r, box);
      if (rects::Empty(c)) continue;
      kept.push_back(rects::Make(c.left - box.left, c.top - box.top, c.right - box.left, c.bottom - box.top));
    }
    *list = std::move(kept);
  }
  return box;
}

// ---- TBrixFrameList ----

TBrixFrame& TBrixFrameList::Frame(int index) {
  if (index < 0 || index >= Count()) throw QuboError(brx::kErrGetFrame);
  return *frames_[static_cast<size_t>(index)];
}

const TBrixFrame& TBrixFrameList::Frame(int index) const { return const_cast<TBrixFrameList*>(this)->Frame(index); }

TBrixFrame& TBrixFrameList::AddFrame() {
  frames_.push_back(std::make_unique<TBrixFrame>(this));
  return *frames_.back();
}

void TBrixFrameList::BuildMasks(bool keepLayers) {
  for (auto& f : frames_) f->BuildMask(keepLayers);
}

}  // namespace qubo
