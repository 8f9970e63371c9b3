#include "render/subtree_facts.h"

#include <algorithm>
#include <cmath>
#include <typeinfo>

#include "kit/drawn_view.h"
#include "kit/image_view.h"
#include "render/draw_list.h"

namespace render {

Box Box::unite(const Box& o) const {
  if (o.empty()) return *this;
  if (empty()) return o;
  return {std::min(x0, o.x0), std::min(y0, o.y0), std::max(x1, o.x1), std::max(y1, o.y1)};
}

Box Box::intersect(const Box& o) const {
  return {std::max(x0, o.x0), std::max(y0, o.y0), std::min(x1, o.x1), std::min(y1, o.y1)};
}

namespace {

Box boxOf(const kit::Rect& r) {
  return {std::min<double>(r.minX(), r.maxX()), std::min<double>(r.minY(), r.maxY()),
          std::max<double>(r.minX(), r.maxX()), std::max<double>(r.minY(), r.maxY())};
}

// Forgotten after this many frames without a question: a subtree off the
// screen for a second is looked into again when it comes back.
constexpr std::uint64_t kFramesRemembered = 120;

// Tiles within a thousandth of a point of the lattice are on it: float
// frames of whole-point tiles are exact far beyond any field's size.
constexpr double kLatticeSlack = 1e-3;

struct Flips {
  bool x = false, y = false;
};

// The upright orientations the tile field uses; quarter turns are not a
// lattice of mirror images.
std::optional<Flips> flipsOf(kit::ImageOrientation o) {
  using O = kit::ImageOrientation;
  switch (o) {
    case O::Up: return Flips{false, false};
    case O::UpMirrored: return Flips{true, false};
    case O::DownMirrored: return Flips{false, true};
    case O::Down: return Flips{true, true};
    default: return std::nullopt;
  }
}

// One tile as the lattice needs it, or nothing when the view is not a plain,
// still, fully opaque image view showing an upright or mirrored picture.
struct Tile {
  const kit::BitmapRef* bitmap;
  double x, y, w, h;
  Flips flips;
};

std::optional<Tile> tileOf(const kit::View& v, double time) {
  if (typeid(v) != typeid(kit::ImageView) || v.isHidden() || !v.subviews().empty() ||
      v.isAnimating(time))
    return std::nullopt;
  const auto& iv = static_cast<const kit::ImageView&>(v);
  const kit::ImageRef& image = iv.image();
  if (!image || !image->bitmap() || image->bitmap()->width <= 0 || image->bitmap()->height <= 0)
    return std::nullopt;
  const kit::ViewPresentation p = v.presentation(time);
  if (p.alpha < 1 || p.backgroundColor.a > kNothingToDraw || !p.transform.isIdentity())
    return std::nullopt;
  const auto flips = flipsOf(image->orientation());
  const double w = p.bounds.size.width, h = p.bounds.size.height;
  if (!flips || !(w > 0) || !(h > 0)) return std::nullopt;
  const kit::Point anchor = v.anchorPoint();
  return Tile{&image->bitmap(), p.center.x - anchor.x * w, p.center.y - anchor.y * h, w, h, *flips};
}

bool near(double a, double b) { return std::fabs(a - b) <= kLatticeSlack; }

}  // namespace

Box ownExtent(const kit::View& view, const kit::ViewPresentation& p) {
  Box own;
  // A plain view draws only its background; every other kind draws inside its bounds.
  if (p.backgroundColor.a > kNothingToDraw || typeid(view) != typeid(kit::View))
    own = boxOf(p.bounds);
  if (const auto* drawn = dynamic_cast<const kit::DrawnView*>(&view))
    for (const kit::DrawnPicture& picture : drawn->drawing()) own = own.unite(boxOf(picture.rect));
  return own;
}

std::optional<TileLattice> tileLatticeOf(const kit::View& view, double time) {
  const auto& subviews = view.subviews();
  if (subviews.size() < 4) return std::nullopt;
  const auto first = tileOf(*subviews[0], time);
  if (!first) return std::nullopt;
  TileLattice lattice;
  lattice.bitmap = first->bitmap;
  lattice.originX = first->x;
  lattice.originY = first->y;
  lattice.pitchX = first->w;
  lattice.pitchY = first->h;
  lattice.firstFlippedX = first->flips.x;
  lattice.firstFlippedY = first->flips.y;
  // The first row ends where a tile starts below the first.
  std::size_t columns = 1;
  while (columns < subviews.size()) {
    const auto tile = tileOf(*subviews[columns], time);
    if (!tile) return std::nullopt;
    if (!near(tile->y, first->y)) break;
    ++columns;
  }
  if (subviews.size() % columns != 0) return std::nullopt;
  lattice.columns = static_cast<int>(columns);
  lattice.rows = static_cast<int>(subviews.size() / columns);
  for (std::size_t k = 0; k < subviews.size(); ++k) {
    const auto tile = tileOf(*subviews[k], time);
    const int i = static_cast<int>(k % columns), j = static_cast<int>(k / columns);
    if (!tile || tile->bitmap->get() != first->bitmap->get() || tile->w != first->w ||
        tile->h != first->h || !near(tile->x, first->x + i * first->w) ||
        !near(tile->y, first->y + j * first->h) ||
        tile->flips.x != (first->flips.x != (i % 2 != 0)) ||
        tile->flips.y != (first->flips.y != (j % 2 != 0)))
      return std::nullopt;
  }
  return lattice;
}

const SubtreeFacts& SubtreeMemory::factsOf(const kit::View& view, double time) {
  return entryFor(view, time).facts;
}

SubtreeMemory::Entry& SubtreeMemory::entryFor(const kit::View& view, double time) {
  Entry& entry = entries_[&view];
  entry.lastUsedFrame = frame_;
  if (!entry.settled || entry.revision != view.subtreeRevision()) learn(view, time, entry);
  return entry;
}

void SubtreeMemory::learn(const kit::View& view, double time, Entry& entry) {
  ++learnt_;
  const kit::ViewPresentation p = view.presentation(time);
  bool settled = !view.isAnimating(time);
  Box extent = ownExtent(view, p);
  std::optional<TileLattice> lattice = tileLatticeOf(view, time);
  if (lattice) {
    extent = extent.unite({lattice->originX, lattice->originY,
                           lattice->originX + lattice->columns * lattice->pitchX,
                           lattice->originY + lattice->rows * lattice->pitchY});
  } else {
    for (const kit::ViewRef& sub : view.subviews()) {
      if (sub->isHidden()) continue;
      settled = settled && !sub->isAnimating(time);
      const kit::ViewPresentation sp = sub->presentation(time);
      if (!(sp.alpha >= kInvisibleAlpha)) continue;
      Box inner;
      if (sub->subviews().empty()) {
        inner = ownExtent(*sub, sp);
      } else {
        const Entry& below = entryFor(*sub, time);
        settled = settled && below.settled;
        inner = below.facts.extent;
      }
      if (!inner.empty()) extent = extent.unite(viewToSuperview(*sub, sp).mapBox(inner));
    }
  }
  if (view.clipsToBounds()) extent = extent.intersect(boxOf(p.bounds));
  entry.revision = view.subtreeRevision();
  entry.settled = settled;
  entry.facts = {extent, lattice};
}

void SubtreeMemory::endFrame() {
  if (frame_ % 64 == 0)
    std::erase_if(entries_, [this](const auto& e) {
      return e.second.lastUsedFrame + kFramesRemembered < frame_;
    });
  ++frame_;
  learnt_ = 0;
}

}  // namespace render
