// The frame as a flat list of quads and clip changes, made from a view tree
// on the CPU alone, so what is drawn can be checked without a GPU and the
// GL side is left with nothing but submission.
#pragma once

#include <array>
#include <cmath>
#include <cstdint>
#include <optional>
#include <vector>

#include "kit/bitmap.h"
#include "kit/geometry.h"
#include "kit/grey_bitmap_context.h"
#include "kit/image.h"
#include "kit/view.h"
#include "render/frame_settings.h"
#include "render/subtree_facts.h"
#include "render/text_rasterizer.h"

namespace render {

// A 2-D affine map in double precision, in the kit's row-vector convention
// (x' = a·x + c·y + tx). Deep trees with a 4096-point world under a
// rotation lose whole pixels' worth of precision in float; neighbouring
// tiles must meet exactly.
struct Affine {
  double a = 1, b = 0, c = 0, d = 1, tx = 0, ty = 0;

  static Affine from(const kit::AffineTransform& t) { return {t.a, t.b, t.c, t.d, t.tx, t.ty}; }
  static Affine translation(double x, double y) { return {1, 0, 0, 1, x, y}; }
  static Affine scale(double s) { return {s, 0, 0, s, 0, 0}; }
  // This map, then next.
  Affine then(const Affine& next) const;
  kit::Point apply(double x, double y) const {
    return {static_cast<float>(a * x + c * y + tx), static_cast<float>(b * x + d * y + ty)};
  }
  // The bounding box of the box mapped.
  Box mapBox(const Box& box) const;
  // The map back, or nothing when this one flattens the plane.
  std::optional<Affine> inverted() const;
  // Whether it keeps rectangles axis-aligned (no turn but quarter turns).
  bool keepsAxes() const;
};

// The map from a view's bounds to its superview's, with the values drawn
// at one time: translate(−anchor in bounds) · transform · translate(centre).
Affine viewToSuperview(const kit::View& view, const kit::ViewPresentation& p);

// Texture coordinates (u right, v down through the stored rows) of the
// displayed picture's top-left, top-right, bottom-right and bottom-left
// corners, for the eight orientation flags.
std::array<kit::Point, 4> orientedTexCoords(kit::ImageOrientation orientation);

struct PixelRect {
  float x0 = 0, y0 = 0, x1 = 0, y1 = 0;
  bool empty() const { return !(x0 < x1 && y0 < y1); }
  PixelRect intersect(const PixelRect& o) const;
  bool intersects(const PixelRect& o) const { return !intersect(o).empty(); }
};

// MaskedBitmap: a bitmap seen through a grey mask (DrawList::masks).
// MirroredTiles: a bitmap repeated over a lattice of tiles, each the mirror
// image of its neighbours; the texture coordinates count tiles (u from i
// to i + 1 over tile i), and a tile whose count is odd shows the picture
// flipped on that axis, as mirrored-repeat addressing draws it.
enum class QuadSource : std::uint8_t { Solid, Bitmap, Text, MaskedBitmap, MirroredTiles };

// The mask of a MaskedBitmap quad, and where the quad's corners fall on it.
struct QuadMask {
  const kit::GreyImageRef* mask = nullptr;  // valid while the tree is unchanged
  std::array<kit::Point, 4> texCoords{};
};

struct Quad {
  // Pixels, y down: the rectangle's top-left, top-right, bottom-right and
  // bottom-left corners.
  std::array<kit::Point, 4> corners;
  std::array<kit::Point, 4> texCoords{};
  // Straight alpha; the opacity inherited down the tree is in a.
  kit::Color color;
  QuadSource source = QuadSource::Solid;
  // Source Bitmap, MaskedBitmap and MirroredTiles: the image's own reference (valid while
  // the tree is unchanged); the texture cache keys on it. Source Text: an
  // index into DrawList::texts.
  const kit::BitmapRef* bitmap = nullptr;
  int text = -1;
  int mask = -1;  // source MaskedBitmap: an index into DrawList::masks
};

struct DrawCommand {
  enum class Kind : std::uint8_t { Quad, PushClip, PopClip };
  Kind kind = Kind::Quad;
  // The quad to draw, or the clip's shape (a view's bounds, in pixels).
  Quad quad;
  // Clips: whether the shape is an axis-aligned rectangle (a scissor is
  // enough), and its bounding box.
  bool axisAligned = true;
  PixelRect box;
};

struct DrawList {
  std::vector<DrawCommand> commands;
  std::vector<TextStyle> texts;
  std::vector<QuadMask> masks;
  int viewsVisited = 0;  // views whose presentation was read
  int viewsCulled = 0;   // views with something to draw, all of it off the viewport
                         // or outside the clip (a clipping subtree, or one wholly
                         // off the viewport, counts once; tiles of a lattice each)
  int quads = 0;
  // Kept from one list to the next: what is known of unchanged subtrees.
  SubtreeMemory subtrees;

  void clear() {
    commands.clear();
    texts.clear();
    masks.clear();
    viewsVisited = viewsCulled = quads = 0;
  }
};

// Calls f with each tile of a MirroredTiles quad as a Bitmap quad of its
// own, its picture flipped as mirrored-repeat addressing shows it: for
// whatever cannot repeat a texture.
template <typename F>
void forEachMirroredTile(const Quad& field, F&& f) {
  const kit::Point uv0 = field.texCoords[0], uv2 = field.texCoords[2];
  const int i0 = static_cast<int>(std::lround(uv0.x)), i1 = static_cast<int>(std::lround(uv2.x));
  const int j0 = static_cast<int>(std::lround(uv0.y)), j1 = static_cast<int>(std::lround(uv2.y));
  if (i1 <= i0 || j1 <= j0) return;
  const kit::Point o = field.corners[0];
  const kit::Point across{(field.corners[1].x - o.x) / static_cast<float>(i1 - i0),
                          (field.corners[1].y - o.y) / static_cast<float>(i1 - i0)};
  const kit::Point down{(field.corners[3].x - o.x) / static_cast<float>(j1 - j0),
                        (field.corners[3].y - o.y) / static_cast<float>(j1 - j0)};
  auto at = [&](int i, int j) {
    const auto di = static_cast<float>(i - i0), dj = static_cast<float>(j - j0);
    return kit::Point{o.x + di * across.x + dj * down.x, o.y + di * across.y + dj * down.y};
  };
  Quad tile = field;
  tile.source = QuadSource::Bitmap;
  for (int j = j0; j < j1; ++j)
    for (int i = i0; i < i1; ++i) {
      tile.corners = {at(i, j), at(i + 1, j), at(i + 1, j + 1), at(i, j + 1)};
      const float l = i % 2 != 0 ? 1.0f : 0.0f, t = j % 2 != 0 ? 1.0f : 0.0f;
      tile.texCoords = {kit::Point{l, t}, {1 - l, t}, {1 - l, 1 - t}, {l, 1 - t}};
      f(tile);
    }
}

// Walks root (in its own coordinates, origin at its bounds' origin) with
// the presentation values at settings.time, appending to out (cleared first).
void buildDrawList(const kit::View& root, const FrameSettings& settings, DrawList& out);

}  // namespace render
