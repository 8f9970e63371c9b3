// The endless mirrored tile field, its per-frame re-centring, the wrap of
// pieces at the table square's edge and the orientation helpers.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "app/vitrane_view_controller.h"
#include "kit/log.h"
#include "tests/app_fixture.h"
#include "world/image_orientation.h"

namespace {

using O = kit::ImageOrientation;

kit::ImageRef imageOf(int width, int height, O orientation = O::Up, float scale = 1) {
  auto bitmap = std::make_shared<const kit::Bitmap>(
      kit::Bitmap::make(width, height, kit::PixelFormat::Gray8));
  return std::make_shared<const kit::Image>(bitmap, orientation, scale);
}

class SeamlessTiles : public apptest::LaunchedApp {
 protected:
  const std::vector<kit::ViewRef>& tiles() { return vc().outlets.seamlessTiles->subviews(); }
  const kit::Image& tileImage(size_t index) {
    return *static_cast<const kit::ImageView&>(*tiles().at(index)).image();
  }
  // Slides the table so that the screen centre lies over p of stretcherView.
  void putScreenCentreOver(kit::Point p) {
    kit::View& stretcher = *vc().outlets.stretcherView;
    const kit::Point now = vc().view()->convertPointToView(vc().geometry.center.anchor, &stretcher);
    const kit::Point c = stretcher.center();
    stretcher.setCenter({c.x + now.x - p.x, c.y + now.y - p.y});
  }
};

TEST_F(SeamlessTiles, DefaultFieldIsMirroredRowByRowOverOneBitmap) {
  ASSERT_EQ(tiles().size(), 18u * 18u);
  EXPECT_EQ(vc().outlets.seamlessTiles->bounds().size, (kit::Size{21600, 16200}));
  for (size_t k = 0; k < tiles().size(); ++k)
    ASSERT_EQ(tileImage(k).bitmap(), tileImage(0).bitmap()) << k;
  auto tile = [](int i, int j) { return static_cast<size_t>(j * 18 + i); };
  EXPECT_EQ(tileImage(tile(0, 0)).orientation(), O::Up);
  EXPECT_EQ(tileImage(tile(1, 0)).orientation(), O::UpMirrored);
  EXPECT_EQ(tileImage(tile(0, 1)).orientation(), O::DownMirrored);
  EXPECT_EQ(tileImage(tile(1, 1)).orientation(), O::Down);
  EXPECT_EQ(tileImage(tile(2, 2)).orientation(), O::Up);
  EXPECT_EQ(tiles()[tile(1, 0)]->frame(), (kit::Rect{1200, 0, 1200, 900}));
  EXPECT_EQ(tiles()[tile(0, 1)]->frame(), (kit::Rect{0, 900, 1200, 900}));
  EXPECT_EQ(tiles()[tile(17, 17)]->frame(), (kit::Rect{20400, 15300, 1200, 900}));
}

TEST_F(SeamlessTiles, CountsFollowThePitchAndARebuildReplacesEveryTile) {
  forgetLog();
  vc().updateTilePatch(imageOf(100, 100));
  std::vector<std::string> lines = newLog();
  ASSERT_EQ(lines.size(), 5u);
  EXPECT_EQ(lines[0], "The tile size is 100 by 100");
  EXPECT_EQ(lines[1], "Tile array is 84 by 84");
  EXPECT_EQ(tiles().size(), 84u * 84u);

  // Wider than the screen's diagonal: still the least field, 18.
  vc().updateTilePatch(imageOf(1300, 50));
  EXPECT_EQ(newLog().at(1), "Tile array is 18 by 162");
  EXPECT_EQ(tiles().size(), 18u * 162u);
  EXPECT_EQ(tileImage(0).bitmap()->width, 1300);
  EXPECT_EQ(tileImage(tiles().size() - 1).bitmap()->width, 1300);
}

TEST_F(SeamlessTiles, QuarterTurnedImagesTileTheirStoredBitmap) {
  const kit::ImageRef upright = imageOf(2592, 1936);
  for (O o : {O::Right, O::Left, O::LeftMirrored, O::RightMirrored}) {
    SCOPED_TRACE(static_cast<int>(o));
    vc().updateTilePatch(std::make_shared<const kit::Image>(upright->bitmap(), o));
    EXPECT_EQ(vc().tiles.tileHorizontalPitch, 2592);
    EXPECT_EQ(vc().tiles.tileVerticalPitch, 1936);
    EXPECT_EQ(tiles().size(), 18u * 18u);
    EXPECT_EQ(tiles()[1]->frame(), (kit::Rect{2592, 0, 2592, 1936}));
  }
}

// A point-sized picture would need tens of millions of tile views.
TEST_F(SeamlessTiles, ImagesTooSmallToTileAreRefused) {
  vc().outlets.seamlessTiles->setHidden(true);
  const kit::ViewRef firstTile = tiles().front();
  const kit::ImageRef tooSmall[] = {
      nullptr,       imageOf(0, 900),  imageOf(1200, 0), imageOf(1, 40, O::Up, 2.0f),
      imageOf(1, 1), imageOf(1, 1300), imageOf(25, 25)};
  for (const kit::ImageRef& image : tooSmall) {
    forgetLog();
    vc().updateTilePatch(image);
    const std::vector<std::string> lines = newLog();
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_EQ(lines[0].rfind("Refusing a table image of ", 0), 0u) << lines[0];
  }
  EXPECT_EQ(log().back(),
            "Refusing a table image of 25.0 by 25.0 points: its field would need 101124 tiles");
  EXPECT_EQ(tiles().size(), 18u * 18u);
  EXPECT_EQ(tiles().front(), firstTile);
  EXPECT_EQ(vc().tiles.tileHorizontalPitch, 1200);
  EXPECT_EQ(vc().tiles.tileVerticalPitch, 900);
  EXPECT_TRUE(vc().outlets.seamlessTiles->isHidden());

  vc().updateTilePatch(imageOf(26, 900));
  EXPECT_FALSE(vc().outlets.seamlessTiles->isHidden());
  EXPECT_EQ(tiles().size(), 306u * 18u);
}

TEST_F(SeamlessTiles, RecentringSnapsToTheLatticePointBelowAndLeft) {
  const std::pair<kit::Point, kit::Point> cases[] = {{{-1, 5}, {-2400, 0}},
                                                     {{2399.9f, 1800}, {0, 1800}},
                                                     {{2400, 1799}, {2400, 0}},
                                                     {{-4801, -1}, {-7200, -1800}}};
  for (const auto& [p, centre] : cases) {
    putScreenCentreOver(p);
    vc().adjustSeamlessPatch();
    EXPECT_EQ(vc().outlets.seamlessTiles->center(), centre) << p.x << "," << p.y;
  }
  // Every frame does it.
  putScreenCentreOver({9000, -3000});
  runner.deliverFrames(1);
  EXPECT_EQ(vc().outlets.seamlessTiles->center(), (kit::Point{7200, -3600}));
}

TEST_F(SeamlessTiles, PiecesWrapThroughTheEdgeWithASound) {
  kit::View piece({0, 0, 10, 10});
  vc().pieceThroughEdge(piece, {4100, -10});
  EXPECT_EQ(piece.center(), (kit::Point{4, 4086}));
  EXPECT_EQ(platform().sounds().played(), std::vector<std::string>{"Dit Hit 2"});
  vc().pieceThroughEdge(piece, {-4096, 8192});
  EXPECT_EQ(piece.center(), (kit::Point{0, 0}));
  vc().pieceThroughEdge(piece, {-10, 4100});
  EXPECT_EQ(piece.center(), (kit::Point{4086, 4}));
  EXPECT_EQ(platform().sounds().played().size(), 3u);
}

TEST(ImageOrientation, NamesAndQuarterTurns) {
  const std::pair<int, const char*> names[] = {{0, "Up"},
                                               {1, "Down"},
                                               {2, "Left"},
                                               {3, "Right"},
                                               {4, "Up Mirrored"},
                                               {5, "Down Mirrored"},
                                               {6, "Left Mirrored"},
                                               {7, "Right Mirrored"},
                                               {8, "invalid image orientation"},
                                               {-1, "invalid image orientation"}};
  for (const auto& [value, name] : names) {
    const kit::Image image(nullptr, static_cast<O>(value));
    EXPECT_EQ(orientationName(image), name);
    EXPECT_EQ(isUprightOrientation(image), value == 0 || value == 1 || value == 4 || value == 5)
        << name;
  }
}

TEST(ImageOrientation, RelativeTurnIsLogged) {
  kit::LogCapture capture;
  const kit::Image up(nullptr, O::Up), down(nullptr, O::Down), left(nullptr, O::Left);
  const kit::Image upMirrored(nullptr, O::UpMirrored), rightMirrored(nullptr, O::RightMirrored);
  const kit::Image invalid(nullptr, static_cast<O>(9));
  EXPECT_TRUE(imagesTurnedRelative(up, rightMirrored));
  EXPECT_FALSE(imagesTurnedRelative(down, upMirrored));
  EXPECT_FALSE(imagesTurnedRelative(left, invalid));
  EXPECT_EQ(capture.lines(),
            (std::vector<std::string>{
                "A is Up, B is Right Mirrored, relative turn is turned",
                "A is Down, B is Up Mirrored, relative turn is not turned",
                "A is Left, B is invalid image orientation, relative turn is not turned"}));
}

}  // namespace
