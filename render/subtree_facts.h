// What the compositor's walk learns of a subtree and keeps between frames
// for as long as the subtree's revision stays: where it can draw at all,
// so that a subtree off the screen is passed over without a look inside,
// and whether its subviews are a lattice of mirrored tiles of one bitmap,
// so that the table's field is drawn as one quad rather than a quad a tile.
#pragma once

#include <cstdint>
#include <optional>
#include <unordered_map>

#include "kit/bitmap.h"
#include "kit/view.h"

namespace render {

// Below this the platform treats a view as gone: it is neither drawn nor touched.
inline constexpr float kInvisibleAlpha = kit::kMinShownAlpha;
// A colour whose alpha rounds to zero in eight bits adds nothing.
inline constexpr float kNothingToDraw = 0.5f / 255;

// An axis-aligned box in double precision; empty unless x0 < x1 and y0 < y1.
struct Box {
  double x0 = 0, y0 = 0, x1 = 0, y1 = 0;
  bool empty() const { return !(x0 < x1 && y0 < y1); }
  // The smallest box holding both (an empty one adds nothing).
  Box unite(const Box& o) const;
  Box intersect(const Box& o) const;
};

// Subviews that are plain image views of one bitmap, all of one size, laid
// edge to edge from a top-left tile, row after row, each the mirror image
// of its neighbours: tile (i, j) is the first tile's picture flipped left
// to right when i is odd and top to bottom when j is odd. Mirrored-repeat
// texture addressing draws exactly that.
struct TileLattice {
  const kit::BitmapRef* bitmap = nullptr;  // the tiles' own; valid while the revision stays
  double originX = 0, originY = 0;         // tile (0, 0)'s top-left in the view's coordinates
  double pitchX = 0, pitchY = 0;
  int columns = 0, rows = 0;
  bool firstFlippedX = false, firstFlippedY = false;  // tile (0, 0)'s picture
};

struct SubtreeFacts {
  // Where the view and everything below it may draw, in the view's own
  // coordinates (within its bounds when it clips); empty when nothing does.
  Box extent;
  std::optional<TileLattice> lattice;
};

class SubtreeMemory {
 public:
  // The facts of view's subtree as drawn at time. They are learnt again
  // when the subtree has changed since, or was moving when they were learnt.
  const SubtreeFacts& factsOf(const kit::View& view, double time);

  // Closes a frame: views not asked about for a while are forgotten.
  void endFrame();

  // How many subtrees were looked into this frame rather than remembered.
  int learntThisFrame() const { return learnt_; }

 private:
  struct Entry {
    std::uint64_t revision = 0;
    bool settled = false;  // nothing in it was animating when learnt
    std::uint64_t lastUsedFrame = 0;
    SubtreeFacts facts;
  };
  Entry& entryFor(const kit::View& view, double time);
  void learn(const kit::View& view, double time, Entry& entry);

  // References to elements stay valid while others are added.
  std::unordered_map<const kit::View*, Entry> entries_;
  std::uint64_t frame_ = 1;
  int learnt_ = 0;
};

// Where a view without subviews draws, in its own coordinates.
Box ownExtent(const kit::View& view, const kit::ViewPresentation& p);

// The lattice view's subviews make at time, if they make one.
std::optional<TileLattice> tileLatticeOf(const kit::View& view, double time);

}  // namespace render
