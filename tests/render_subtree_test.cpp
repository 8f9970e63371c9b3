// What the walk keeps between frames: subtrees off the screen passed over,
// lattices of mirrored tiles drawn as one quad, and the revisions that say
// when either must be looked at again. Whatever is remembered, the list
// must be the one a fresh walk makes.
#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <memory>
#include <numbers>
#include <vector>

#include "kit/animation.h"
#include "kit/clock.h"
#include "kit/image_view.h"
#include "kit/label.h"
#include "render/draw_list.h"

namespace {

using kit::ImageOrientation;
using kit::Point;
using kit::Rect;
using render::DrawCommand;
using render::DrawList;
using render::FrameSettings;
using render::Quad;
using render::QuadSource;

FrameSettings screen(double time = 0) {
  FrameSettings s;
  s.viewportWidth = 200;
  s.viewportHeight = 100;
  s.time = time;
  return s;
}

std::vector<Quad> quadsOf(const DrawList& list, QuadSource source) {
  std::vector<Quad> out;
  for (const DrawCommand& c : list.commands)
    if (c.kind == DrawCommand::Kind::Quad && c.quad.source == source) out.push_back(c.quad);
  return out;
}

ImageOrientation mirrored(int column, int row) {
  static constexpr ImageOrientation kByParity[4] = {
      ImageOrientation::Up, ImageOrientation::UpMirrored, ImageOrientation::DownMirrored,
      ImageOrientation::Down};
  return kByParity[(column % 2) + 2 * (row % 2)];
}

// A field of columns × rows tiles of one bitmap at (10, 20), 10 × 5 points each,
// laid out as the table's field is.
struct Field {
  std::shared_ptr<kit::View> root = std::make_shared<kit::View>(Rect{0, 0, 200, 100});
  std::shared_ptr<kit::View> holder = std::make_shared<kit::View>(Rect{10, 20, 180, 70});
  kit::BitmapRef bitmap =
      std::make_shared<const kit::Bitmap>(kit::Bitmap::make(4, 2, kit::PixelFormat::RGBA8));
  int columns, rows;

  Field(int columns, int rows, int flip = 0) : columns(columns), rows(rows) {
    root->addSubview(holder);
    for (int j = 0; j < rows; ++j)
      for (int i = 0; i < columns; ++i) {
        auto tile = std::make_shared<kit::ImageView>(
            std::make_shared<kit::Image>(bitmap, mirrored(i + flip, j + flip)));
        tile->setFrame({i * 10.0f, j * 5.0f, 10, 5});
        holder->addSubview(tile);
      }
  }
  kit::ImageView& tile(int i, int j) {
    return static_cast<kit::ImageView&>(
        *holder->subviews()[static_cast<std::size_t>(j * columns + i)]);
  }
};

void expectSameCommands(const DrawList& a, const DrawList& b) {
  ASSERT_EQ(a.commands.size(), b.commands.size());
  for (std::size_t i = 0; i < a.commands.size(); ++i) {
    const Quad &p = a.commands[i].quad, &q = b.commands[i].quad;
    EXPECT_EQ(a.commands[i].kind, b.commands[i].kind) << i;
    EXPECT_EQ(p.source, q.source) << i;
    EXPECT_EQ(p.bitmap, q.bitmap) << i;
    EXPECT_FLOAT_EQ(p.color.a, q.color.a) << i;
    for (int k = 0; k < 4; ++k) {
      EXPECT_FLOAT_EQ(p.corners[k].x, q.corners[k].x) << i;
      EXPECT_FLOAT_EQ(p.corners[k].y, q.corners[k].y) << i;
      EXPECT_FLOAT_EQ(p.texCoords[k].x, q.texCoords[k].x) << i;
      EXPECT_FLOAT_EQ(p.texCoords[k].y, q.texCoords[k].y) << i;
    }
  }
}

// --- Lattices -------------------------------------------------------------------

TEST(TileLattice, MirroredNeighboursOfOneBitmapAreOneQuadWhoseCoordinatesCountTiles) {
  Field field(4, 3);
  DrawList list;
  render::buildDrawList(*field.root, screen(), list);
  EXPECT_TRUE(quadsOf(list, QuadSource::Bitmap).empty());
  const auto quads = quadsOf(list, QuadSource::MirroredTiles);
  ASSERT_EQ(quads.size(), 1u);
  const Quad& q = quads[0];
  EXPECT_EQ(q.bitmap->get(), field.bitmap.get());
  EXPECT_FLOAT_EQ(q.corners[0].x, 10);
  EXPECT_FLOAT_EQ(q.corners[0].y, 20);
  EXPECT_FLOAT_EQ(q.corners[2].x, 50);
  EXPECT_FLOAT_EQ(q.corners[2].y, 35);
  EXPECT_EQ(q.texCoords[0], (Point{0, 0}));
  EXPECT_EQ(q.texCoords[2], (Point{4, 3}));
  EXPECT_EQ(list.viewsVisited, 2);  // the root and the holder, no tile

  // A field whose first tile is flipped both ways starts one tile on, on both axes.
  Field flipped(4, 3, 1);
  render::buildDrawList(*flipped.root, screen(), list);
  const auto shifted = quadsOf(list, QuadSource::MirroredTiles);
  ASSERT_EQ(shifted.size(), 1u);
  EXPECT_EQ(shifted[0].texCoords[0], (Point{1, 1}));
  EXPECT_EQ(shifted[0].texCoords[2], (Point{5, 4}));
}

TEST(TileLattice, OnlyTheTilesUnderTheScreenAreSpannedAndTheRestCountAsCulled) {
  Field field(30, 30);  // 300 × 150 points from (10, 20): past the 200 × 100 screen
  DrawList list;
  render::buildDrawList(*field.root, screen(), list);
  const auto quads = quadsOf(list, QuadSource::MirroredTiles);
  ASSERT_EQ(quads.size(), 1u);
  // Columns 0 to 18 reach x < 200, rows 0 to 15 reach y < 100.
  EXPECT_EQ(quads[0].texCoords[2], (Point{19, 16}));
  EXPECT_FLOAT_EQ(quads[0].corners[2].x, 200);
  EXPECT_FLOAT_EQ(quads[0].corners[2].y, 100);
  EXPECT_EQ(list.viewsCulled, 900 - 19 * 16);

  // Slid so that its corner is off the screen's top-left.
  field.holder->setCenter({-100, -50});
  render::buildDrawList(*field.root, screen(), list);
  const auto slid = quadsOf(list, QuadSource::MirroredTiles);
  ASSERT_EQ(slid.size(), 1u);
  // The holder's top-left is at (−190, −85): tile (19, 17) is the first on the screen.
  EXPECT_EQ(slid[0].texCoords[0], (Point{19, 17}));
  EXPECT_FLOAT_EQ(slid[0].corners[0].x, 0);
  EXPECT_FLOAT_EQ(slid[0].corners[0].y, 0);
}

TEST(TileLattice, AnythingThatIsNotSuchAFieldIsDrawnTileByTile) {
  const std::vector<std::pair<const char*, std::function<void(Field&)>>> breakers = {
      {"a tile not mirrored like its neighbours",
       [](Field& f) {
         f.tile(1, 1).setImage(std::make_shared<kit::Image>(f.bitmap, ImageOrientation::Up));
       }},
      {"a tile turned a quarter",
       [](Field& f) {
         f.tile(0, 0).setImage(std::make_shared<kit::Image>(f.bitmap, ImageOrientation::Left));
       }},
      {"a tile of another bitmap",
       [](Field& f) {
         f.tile(2, 1).setImage(std::make_shared<kit::Image>(
             std::make_shared<const kit::Bitmap>(kit::Bitmap::make(4, 2, kit::PixelFormat::RGBA8)),
             mirrored(2, 1)));
       }},
      {"a tile off the lattice",
       [](Field& f) {
         f.tile(3, 2).setCenter({36, 12.6f});
       }},
      {"a tile half transparent", [](Field& f) { f.tile(0, 1).setAlpha(0.5f); }},
      {"a tile with a background",
       [](Field& f) {
         f.tile(0, 1).setBackgroundColor({1, 0, 0, 1});
       }},
      {"a tile turned",
       [](Field& f) { f.tile(1, 0).setTransform(kit::AffineTransform::makeRotation(0.1f)); }},
      {"a tile with a subview",
       [](Field& f) { f.tile(1, 0).addSubview(std::make_shared<kit::View>()); }},
      {"a label among them",
       [](Field& f) {
         auto label = std::make_shared<kit::Label>();
         label->setFrame({40, 10, 10, 5});
         f.holder->addSubview(label);
       }},
  };
  for (const auto& [what, breakIt] : breakers) {
    SCOPED_TRACE(what);
    Field field(4, 3);
    DrawList list;
    render::buildDrawList(*field.root, screen(), list);  // remembered as a lattice first
    breakIt(field);
    render::buildDrawList(*field.root, screen(), list);
    EXPECT_TRUE(quadsOf(list, QuadSource::MirroredTiles).empty());
    EXPECT_EQ(quadsOf(list, QuadSource::Bitmap).size(), 12u);
    DrawList fresh;
    render::buildDrawList(*field.root, screen(), fresh);
    expectSameCommands(list, fresh);
  }
}

// --- Memory -----------------------------------------------------------------------

TEST(SubtreeMemory, ASubtreeOffTheScreenIsPassedOverWithoutALookInside) {
  Field field(4, 3);
  auto away = std::make_shared<kit::View>(Rect{300, 0, 50, 50});
  for (int i = 0; i < 10; ++i) {
    auto v = std::make_shared<kit::View>(Rect{i * 2.0f, 0, 2, 2});
    v->setBackgroundColor({0, 0, 1, 1});
    away->addSubview(v);
  }
  field.root->addSubview(away);
  DrawList list;
  render::buildDrawList(*field.root, screen(), list);
  EXPECT_EQ(list.viewsVisited, 3);
  EXPECT_EQ(list.quads, 1);

  // One of its subviews reaches back onto the screen: the subtree is walked.
  away->subviews()[9]->setCenter({-250, 10});
  render::buildDrawList(*field.root, screen(), list);
  EXPECT_EQ(list.viewsVisited, 3 + 10);
  EXPECT_EQ(quadsOf(list, QuadSource::Solid).size(), 1u);
  DrawList fresh;
  render::buildDrawList(*field.root, screen(), fresh);
  expectSameCommands(list, fresh);

  // Hidden again, so passed over again.
  away->subviews()[9]->setHidden(true);
  render::buildDrawList(*field.root, screen(), list);
  EXPECT_EQ(list.viewsVisited, 3);
}

TEST(SubtreeMemory, MovingViewsAreDrawnWhereTheyAreAtTheFramesTime) {
  kit::VirtualClock clock{10};
  kit::setMainClock(&clock);
  Field field(4, 3);
  DrawList list;
  render::buildDrawList(*field.root, screen(10), list);
  auto same = [&](double t) {
    render::buildDrawList(*field.root, screen(t), list);
    DrawList fresh;
    render::buildDrawList(*field.root, screen(t), fresh);
    expectSameCommands(list, fresh);
  };
  {
    kit::AnimationBlock block(1.0, kit::AnimationCurve::Linear);
    field.holder->setCenter({150, 55});  // the field slides, still a field
  }
  for (double t : {10.0, 10.25, 10.5, 11.0, 12.0}) {
    SCOPED_TRACE(t);
    same(t);
    ASSERT_EQ(quadsOf(list, QuadSource::MirroredTiles).size(), 1u);
    EXPECT_FLOAT_EQ(quadsOf(list, QuadSource::MirroredTiles)[0].corners[0].x,
                    10 + 50 * std::min(1.0, t - 10));
  }
  clock.set(12);
  {
    kit::AnimationBlock block(1.0, kit::AnimationCurve::Linear);
    field.tile(0, 0).setCenter({-500, 2.5f});  // a tile flies off: no longer a field
  }
  for (double t : {12.0, 12.5, 13.0, 14.0}) {
    SCOPED_TRACE(t);
    same(t);
    EXPECT_TRUE(quadsOf(list, QuadSource::MirroredTiles).empty());
    EXPECT_EQ(quadsOf(list, QuadSource::Bitmap).size(), t == 12.0 ? 12u : 11u);
  }
  kit::setMainClock(nullptr);
}

// --- Revisions --------------------------------------------------------------------

TEST(ViewRevisions, AChangeRenumbersTheViewsWhoseDrawingItTouches) {
  auto root = std::make_shared<kit::View>(Rect{0, 0, 100, 100});
  auto middle = std::make_shared<kit::View>(Rect{0, 0, 50, 50});
  auto leaf = std::make_shared<kit::ImageView>();
  auto sibling = std::make_shared<kit::View>();
  root->addSubview(middle);
  root->addSubview(sibling);
  middle->addSubview(leaf);
  struct Seen {
    std::uint64_t root, middle, leaf, sibling;
  };
  auto now = [&] {
    return Seen{root->subtreeRevision(), middle->subtreeRevision(), leaf->subtreeRevision(),
                sibling->subtreeRevision()};
  };
  // Which of root, middle, leaf must have a new number after each change.
  const std::vector<std::tuple<const char*, std::function<void()>, bool, bool, bool>> changes = {
      {"the leaf's centre",
       [&] {
         leaf->setCenter({5, 5});
       },
       true, true, false},
      {"the leaf's alpha", [&] { leaf->setAlpha(0.5f); }, true, true, false},
      {"the leaf hidden", [&] { leaf->setHidden(true); }, true, true, false},
      {"the leaf's anchor point",
       [&] {
         leaf->setAnchorPoint({0, 0});
       },
       true, true, false},
      {"the leaf's transform", [&] { leaf->setTransform(kit::AffineTransform::makeScale(2, 2)); },
       true, true, false},
      {"the leaf's picture", [&] { leaf->setImage(nullptr); }, true, true, true},
      {"the leaf's bounds",
       [&] {
         leaf->setBounds({0, 0, 3, 3});
       },
       true, true, true},
      {"the leaf's background",
       [&] {
         leaf->setBackgroundColor({1, 0, 0, 1});
       },
       true, true, true},
      {"the leaf asked to be drawn again", [&] { leaf->setNeedsDisplay(); }, true, true, true},
      {"the middle's subviews", [&] { middle->addSubview(std::make_shared<kit::View>()); }, true,
       true, false},
      {"the middle clipping", [&] { middle->setClipsToBounds(true); }, true, true, false},
      {"the leaf taken away", [&] { leaf->removeFromSuperview(); }, true, true, false},
  };
  for (const auto& [what, change, rootChanges, middleChanges, leafChanges] : changes) {
    SCOPED_TRACE(what);
    const Seen before = now();
    change();
    const Seen after = now();
    EXPECT_EQ(after.root != before.root, rootChanges);
    EXPECT_EQ(after.middle != before.middle, middleChanges);
    EXPECT_EQ(after.leaf != before.leaf, leafChanges);
    EXPECT_EQ(after.sibling, before.sibling);
  }
  // Setting what is already there changes nothing.
  const Seen before = now();
  middle->setCenter(middle->center());
  middle->setAlpha(middle->alpha());
  EXPECT_EQ(now().root, before.root);
  // A new view never shows a number seen before.
  EXPECT_GT(std::make_shared<kit::View>()->subtreeRevision(), now().root);
}

}  // namespace
