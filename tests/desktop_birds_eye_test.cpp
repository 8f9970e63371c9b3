// The table seen from above: where the panel goes in windows of every
// shape, the window the program opens with, and what the panel draws for
// the tablet's poses.
#include "hosts/desktop/birds_eye.h"

#include <gtest/gtest.h>

#include <cmath>
#include <numbers>

#include "app/device_facts.h"
#include "hosts/desktop/screen_mapping.h"
#include "kit/image_view.h"

namespace desktop {
// For readable failures.
void PrintTo(const PanelRect& r, std::ostream* out) {
  *out << "{" << r.x << ", " << r.y << ", " << r.side
       << (r.overScreen ? ", over the screen}" : "}");
}
void PrintTo(const WindowSize& s, std::ostream* out) { *out << s.width << "x" << s.height; }
}  // namespace desktop

namespace {

using desktop::BirdsEyeMode;
using desktop::BirdsEyeView;
using desktop::PanelRect;
using desktop::placeBirdsEye;
using Outline = desktop::BirdsEyeView::Outline;

constexpr double kPi = std::numbers::pi;

// --- Placement -----------------------------------------------------------------

TEST(DesktopBirdsEyePlacement, BesideTheScreenWhenTheBarsHaveRoom) {
  struct Case {
    int w, h;
    PanelRect expected;
  };
  const Case cases[] = {
      // The window opened on a 1400 × 1400 display: 0.948 pixels a point,
      // bars of 266 pixels; the panel sits 11 pixels off the screen's edge.
      {1260, 971, {1005, 11, 243}},
      // A narrower bar limits the panel to the bar less its margins.
      {1000, 800, {809, 9, 182}},
      // A tall window: under the screen, flush with its right edge less the margin.
      {800, 1400, {646, 1246, 141}},
      // Twice the pixels, twice the panel.
      {2520, 1942, {2011, 23, 486}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::to_string(c.w) + "x" + std::to_string(c.h));
    EXPECT_EQ(placeBirdsEye(c.w, c.h, BirdsEyeMode::Auto), c.expected);
    EXPECT_EQ(placeBirdsEye(c.w, c.h, BirdsEyeMode::Shown), c.expected);
    EXPECT_EQ(placeBirdsEye(c.w, c.h, BirdsEyeMode::Hidden), std::nullopt);
  }
}

TEST(DesktopBirdsEyePlacement, BesideTheScreenItNeverCoversItAndStaysInTheWindow) {
  for (int w = 200; w <= 3000; w += 37)
    for (int h = 200; h <= 3000; h += 41) {
      const auto panel = desktop::birdsEyeBesideScreen(w, h);
      if (!panel) continue;
      SCOPED_TRACE(std::to_string(w) + "x" + std::to_string(h));
      const desktop::Letterbox box = desktop::fitScreen(w, h);
      const bool apart = panel->x >= box.x + box.width || panel->y >= box.y + box.height;
      EXPECT_TRUE(apart);
      EXPECT_FALSE(panel->overScreen);
      EXPECT_GE(panel->side, desktop::kSmallestPanelBeside);
      EXPECT_GE(panel->x, 0);
      EXPECT_GE(panel->y, 0);
      EXPECT_LE(panel->x + panel->side, w);
      EXPECT_LE(panel->y + panel->side, h);
    }
}

TEST(DesktopBirdsEyePlacement, WithoutRoomItIsHiddenUnlessAskedForAndThenOverTheTopRightCorner) {
  // The screen's own shape: no bars at all.
  EXPECT_EQ(placeBirdsEye(768, 1024, BirdsEyeMode::Auto), std::nullopt);
  EXPECT_EQ(placeBirdsEye(768, 1024, BirdsEyeMode::Shown), (PanelRect{500, 12, 256, true}));
  // Bars too narrow to be worth it.
  EXPECT_EQ(placeBirdsEye(900, 1024, BirdsEyeMode::Auto), std::nullopt);
  const auto over = placeBirdsEye(900, 1024, BirdsEyeMode::Shown);
  ASSERT_TRUE(over);
  EXPECT_TRUE(over->overScreen);
  EXPECT_EQ(over->x + over->side + 12, 900);
  // A third of the shorter side at most, and nothing when that is too small.
  EXPECT_EQ(placeBirdsEye(300, 400, BirdsEyeMode::Shown), (PanelRect{195, 5, 100, true}));
  EXPECT_EQ(placeBirdsEye(100, 120, BirdsEyeMode::Shown), std::nullopt);
  EXPECT_EQ(placeBirdsEye(0, 0, BirdsEyeMode::Shown), std::nullopt);
}

TEST(DesktopBirdsEyePlacement, TheKeyFlipsWhatIsSeen) {
  using desktop::toggledBirdsEye;
  EXPECT_EQ(toggledBirdsEye(BirdsEyeMode::Auto, 1260, 971), BirdsEyeMode::Hidden);
  EXPECT_EQ(toggledBirdsEye(BirdsEyeMode::Auto, 768, 1024), BirdsEyeMode::Shown);
  EXPECT_EQ(toggledBirdsEye(BirdsEyeMode::Shown, 768, 1024), BirdsEyeMode::Hidden);
  EXPECT_EQ(toggledBirdsEye(BirdsEyeMode::Hidden, 1260, 971), BirdsEyeMode::Shown);
}

TEST(DesktopBirdsEyePlacement, TheFirstWindowHasRoomForThePanelWhenTheDisplayAffordsIt) {
  using desktop::WindowSize;
  EXPECT_EQ(desktop::initialWindowSize(1400, 1400), (WindowSize{1260, 971}));
  EXPECT_EQ(desktop::initialWindowSize(1920, 1080), (WindowSize{1260, 972}));
  EXPECT_EQ(desktop::initialWindowSize(3840, 2160), (WindowSize{1328, 1024}));
  // A low display limits the screen whatever the width.
  EXPECT_EQ(desktop::initialWindowSize(800, 600), (WindowSize{700, 540}));
  // Too narrow a display, or too small: the screen alone, as large as fits.
  EXPECT_EQ(desktop::initialWindowSize(1024, 1400), (WindowSize{768, 1024}));
  EXPECT_EQ(desktop::initialWindowSize(500, 400), (WindowSize{270, 360}));
  EXPECT_EQ(desktop::initialWindowSize(0, 0), (WindowSize{768, 1024}));
  // Whenever the window is widened for it, the panel shows there by itself.
  for (int w = 600; w <= 4000; w += 50)
    for (int h = 500; h <= 2500; h += 50) {
      const WindowSize s = desktop::initialWindowSize(w, h);
      if (s.width * 1024 > s.height * 768 + 1024) {
        EXPECT_TRUE(placeBirdsEye(s.width, s.height, BirdsEyeMode::Auto)) << w << "x" << h;
      }
    }
}

TEST(DesktopBirdsEyePlacement, AnAffineMapIsReadOffItsPoints) {
  const kit::AffineTransform m = kit::AffineTransform::concat(
      kit::AffineTransform::makeRotation(0.7f), {1.5f, 0, 0, -1.5f, 2048, -300});
  const kit::AffineTransform read =
      desktop::affineThrough([&](kit::Point p) { return m.apply(p); });
  for (const kit::Point p : {kit::Point{0, 0}, kit::Point{3000, -2000}, kit::Point{-700, 1500}}) {
    EXPECT_NEAR(read.apply(p).x, m.apply(p).x, 0.01);
    EXPECT_NEAR(read.apply(p).y, m.apply(p).y, 0.01);
  }
}

// --- What the panel shows ---------------------------------------------------------

constexpr float kMid = desktop::kBirdsEyePoints / 2;
constexpr double kScale =
    desktop::kBirdsEyePoints / BirdsEyeView::kSpan;  // panel points a table point

// Screen point to the table point under it at launch (heading north, flat).
const kit::AffineTransform kLaunchScreenToTable{1, 0, 0, -1, 0, 0};

BirdsEyeView::State stateOf(const kit::SimulatedTablet& tablet) {
  BirdsEyeView::State s;
  s.time = tablet.now();
  s.pose = tablet.pose();
  s.pivot = tablet.defaultPivot();
  return s;
}

void expectNear(kit::Point a, kit::Point b, double tolerance = 0.01) {
  EXPECT_NEAR(a.x, b.x, tolerance);
  EXPECT_NEAR(a.y, b.y, tolerance);
}

TEST(DesktopBirdsEyeView, AtLaunchTheTabletIsCentredAndThePictureLiesOnTheScreen) {
  kit::SimulatedTablet tablet{device::tabletBody()};
  BirdsEyeView view(tablet.geometry());
  BirdsEyeView::State s = stateOf(tablet);
  s.pictureScreenToTable = kLaunchScreenToTable;
  s.picturePivot = kit::Point{384, 512};
  view.update(s);

  expectNear(view.pivotMark(), {kMid, kMid});
  ASSERT_TRUE(view.picturePivotMark());
  expectNear(*view.picturePivotMark(), {kMid, kMid});
  const auto& screen = view.outline(Outline::Screen);
  // North up, east right, at the panel's scale.
  expectNear(screen[0],
             {static_cast<float>(kMid - 384 * kScale), static_cast<float>(kMid - 512 * kScale)});
  expectNear(screen[2],
             {static_cast<float>(kMid + 384 * kScale), static_cast<float>(kMid + 512 * kScale)});
  ASSERT_TRUE(view.isOutlineShown(Outline::Picture));
  for (int i = 0; i < 4; ++i) expectNear(view.outline(Outline::Picture)[i], screen[i]);
  // The body is larger than the screen all round.
  const auto& body = view.outline(Outline::Body);
  EXPECT_LT(body[0].x, screen[0].x);
  EXPECT_LT(body[0].y, screen[0].y);
  EXPECT_GT(body[2].x, screen[2].x);
  EXPECT_GT(body[2].y, screen[2].y);

  // Without the picture's map there is no outline of it to draw.
  view.update(stateOf(tablet));
  EXPECT_FALSE(view.isOutlineShown(Outline::Picture));
  EXPECT_FALSE(view.picturePivotMark());
}

TEST(DesktopBirdsEyeView, ACounterClockwiseTurnShowsCounterClockwiseAboutAStillPivot) {
  kit::SimulatedTablet tablet{device::tabletBody()};
  BirdsEyeView view(tablet.geometry());
  view.update(stateOf(tablet));
  tablet.turn(kPi / 2, 1);
  tablet.step(2);
  view.update(stateOf(tablet));
  expectNear(view.pivotMark(), {kMid, kMid});
  // The screen's top-left corner, north-west of the centre, goes south-west.
  const kit::Point topLeft = view.outline(Outline::Screen)[0];
  expectNear(topLeft,
             {static_cast<float>(kMid - 512 * kScale), static_cast<float>(kMid + 384 * kScale)});
}

TEST(DesktopBirdsEyeView, ALiftTakesThePivotToTheRestingCornerAndTheViewGlidesAfterIt) {
  kit::SimulatedTablet tablet{device::tabletBody()};
  BirdsEyeView view(tablet.geometry());
  view.update(stateOf(tablet));
  // The pivot moves as the key goes down, before the side has risen.
  tablet.lift(kit::TabletSide::Right, 5 * kPi / 180, 0.3);
  view.update(stateOf(tablet));
  const kit::Point corner{static_cast<float>(kMid + (-72.06 - 384) * kScale),
                          static_cast<float>(kMid + (1112.6 - 512) * kScale)};
  expectNear(view.pivotMark(), corner);
  tablet.step(BirdsEyeView::kGlideSeconds);
  view.update(stateOf(tablet));
  const double left = 1 / std::exp(1.0);  // of the way still to go
  expectNear(view.pivotMark(), {static_cast<float>(kMid + (corner.x - kMid) * left),
                                static_cast<float>(kMid + (corner.y - kMid) * left)});
  tablet.step(5);
  view.update(stateOf(tablet));
  expectNear(view.pivotMark(), {kMid, kMid});
}

TEST(DesktopBirdsEyeView, ALiftedTurnGoesAboutTheStillCentreWithTheWholeTabletInView) {
  kit::SimulatedTablet tablet{device::tabletBody()};
  BirdsEyeView view(tablet.geometry());
  tablet.lift(kit::TabletSide::Right, 5 * kPi / 180, 0.3);
  tablet.step(1);
  view.update(stateOf(tablet));
  const kit::Point centre = view.viewCentre();
  auto screenMiddle = [&] {
    const auto& screen = view.outline(Outline::Screen);
    return kit::Point{(screen[0].x + screen[2].x) / 2, (screen[0].y + screen[2].y) / 2};
  };
  const kit::Point before = screenMiddle();
  for (int quarter = 1; quarter <= 4; ++quarter) {
    tablet.turn(kPi / 2, 1);
    tablet.step(1 + quarter);
    view.update(stateOf(tablet));
    expectNear(view.pivotMark(), {kMid, kMid});
    expectNear(view.viewCentre(), centre, 1e-9);
    for (const kit::Point& p : view.outline(Outline::Body)) {
      EXPECT_GT(std::min(p.x, p.y), 0) << "quarter " << quarter;
      EXPECT_LT(std::max(p.x, p.y), desktop::kBirdsEyePoints) << "quarter " << quarter;
    }
    // Half a turn about that corner carries the screen's centre through it.
    if (quarter == 2) expectNear(screenMiddle(), {2 * kMid - before.x, 2 * kMid - before.y});
  }
}

TEST(DesktopBirdsEyeView, ASlideCarriesTheViewAlongAndTheTableSlidesUnderTheTablet) {
  kit::SimulatedTablet tablet{device::tabletBody()};
  BirdsEyeView view(tablet.geometry());
  view.update(stateOf(tablet));
  const kit::Vector3 start = tablet.pose().tablePointUnder(384, 512);
  tablet.slide(300, 0, 0.5);  // east
  tablet.step(5);
  view.update(stateOf(tablet));
  expectNear(view.pivotMark(), {kMid, kMid});
  expectNear(view.panelPoint(start), {static_cast<float>(kMid - 300 * kScale), kMid});
}

// One bitmap for all four faces, as the picture's field has.
desktop::TileField fieldOf(float pitchX, float pitchY) {
  auto bitmap = std::make_shared<kit::Bitmap>(kit::Bitmap::make(4, 3, kit::PixelFormat::RGBA8));
  desktop::TileField f;
  for (int k = 0; k < 4; ++k) f.faces[k] = std::make_shared<kit::Image>(bitmap);
  f.origin = {100, 50};
  f.pitchX = pitchX;
  f.pitchY = pitchY;
  return f;
}

TEST(DesktopBirdsEyeView, TheTilesCoverThePanelWhereverItLooks) {
  kit::SimulatedTablet tablet{device::tabletBody()};
  BirdsEyeView view(tablet.geometry());
  // A picture turned and shifted from the table, as after the picture's launch.
  const kit::AffineTransform pictureToTable = kit::AffineTransform::concat(
      {1, 0, 0, 1, -2048, -2048},
      kit::AffineTransform::concat(kit::AffineTransform::makeRotation(0.3f), kLaunchScreenToTable));
  view.setTable(fieldOf(1200, 900), pictureToTable);
  for (double slide : {0.0, 5000.0}) {
    tablet.slide(slide, -slide / 2, 0.5);
    tablet.step(tablet.movesEnd() + 1);
    view.update(stateOf(tablet));
    const kit::View& table = *view.root()->subviews().front();
    ASSERT_GT(view.tilesShown(), 0u);
    EXPECT_LE(view.tilesShown(), 30u);
    for (const kit::Point corner : {kit::Point{0, 0}, kit::Point{255.5f, 0}, kit::Point{0, 255.5f},
                                    kit::Point{255.5f, 255.5f}, kit::Point{kMid, kMid}}) {
      bool covered = false;
      for (const auto& tile : table.subviews())
        covered =
            covered || tile->pointInside(tile->convertPointFromView(corner, view.root().get()));
      EXPECT_TRUE(covered) << "slide " << slide << ", panel point " << corner.x << "," << corner.y;
    }
  }
  // Neighbouring tiles show the mirrored faces.
  const auto& tiles = view.root()->subviews().front()->subviews();
  const auto* first = dynamic_cast<const kit::ImageView*>(tiles[0].get());
  const auto* second = dynamic_cast<const kit::ImageView*>(tiles[1].get());
  ASSERT_TRUE(first && second);
  EXPECT_NE(first->image(), second->image());
}

TEST(DesktopBirdsEyeView, APictureOfFewPointsLeavesThePlainTable) {
  kit::SimulatedTablet tablet{device::tabletBody()};
  BirdsEyeView view(tablet.geometry());
  view.setTable(fieldOf(2, 2), kLaunchScreenToTable);
  view.update(stateOf(tablet));
  EXPECT_EQ(view.tilesShown(), 0u);
  view.setTable(std::nullopt, kLaunchScreenToTable);
  view.update(stateOf(tablet));
  EXPECT_EQ(view.tilesShown(), 0u);
}

TEST(DesktopBirdsEyeView, ThePanelTakesNoTouches) {
  BirdsEyeView view{device::tabletBody()};
  view.update(stateOf(kit::SimulatedTablet{device::tabletBody()}));
  for (const kit::Point p : {kit::Point{kMid, kMid}, kit::Point{5, 5}})
    EXPECT_EQ(view.root()->hitTest(p), nullptr);
}

}  // namespace
