// What the table seen from above tells a newcomer: a legend for its
// outlines and marks, the photos where the picture lays them on the table,
// and the marks a slide leaves, which the screen itself never shows.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <numbers>
#include <set>
#include <string>

#include "app/device_facts.h"
#include "hosts/desktop/birds_eye.h"
#include "hosts/desktop/tablet_keys.h"
#include "kit/image_view.h"

namespace {

using desktop::BirdsEyeView;
using desktop::TabletKey;
using desktop::TabletKeyboard;
using Outline = desktop::BirdsEyeView::Outline;

constexpr double kPi = std::numbers::pi;
constexpr float kSide = desktop::kBirdsEyePoints;
constexpr double kScale =
    desktop::kBirdsEyePoints / BirdsEyeView::kSpan;            // panel points a table point
constexpr double kInch = TabletKeyboard::kSlideStep * kScale;  // a slide, in panel points

BirdsEyeView::State stateOf(const kit::SimulatedTablet& tablet) {
  BirdsEyeView::State s;
  s.time = tablet.now();
  s.pose = tablet.pose();
  s.pivot = tablet.defaultPivot();
  return s;
}

kit::Point tablePoint(const kit::TabletPose& pose, double sx, double sy) {
  const kit::Vector3 t = pose.tablePointUnder(sx, sy);
  return {static_cast<float>(t.x), static_cast<float>(t.y)};
}

bool inside(const kit::Rect& inner, const kit::Rect& outer) {
  return inner.origin.x >= outer.origin.x && inner.origin.y >= outer.origin.y &&
         inner.origin.x + inner.size.width <= outer.origin.x + outer.size.width &&
         inner.origin.y + inner.size.height <= outer.origin.y + outer.size.height;
}

// --- The legend --------------------------------------------------------------------

std::set<std::string> wordsOf(const std::vector<BirdsEyeView::LegendEntry>& legend) {
  std::set<std::string> words;
  for (const auto& e : legend) words.insert(e.words);
  return words;
}

TEST(DesktopBirdsEyeLegend, NamesEveryOutlineAndMarkInsideThePanelTheSensedPivotOnlyWhenShown) {
  kit::SimulatedTablet tablet{device::tabletBody()};
  BirdsEyeView view(tablet.geometry());
  BirdsEyeView::State s = stateOf(tablet);
  s.pictureScreenToTable = kit::AffineTransform{1, 0, 0, -1, 0, 0};
  s.picturePivot = kit::Point{384, 512};
  s.estimatedPivot = kit::Point{300, 600};
  view.update(s);
  const auto legend = view.legend();
  EXPECT_EQ(wordsOf(legend), (std::set<std::string>{"body", "screen", "picture", "tablet pivot",
                                                    "picture pivot", "sensed pivot"}));
  const kit::Rect panel{0, 0, kSide, kSide};
  EXPECT_TRUE(inside(view.legendFrame(), panel));
  for (std::size_t i = 0; i < legend.size(); ++i) {
    SCOPED_TRACE(legend[i].words);
    EXPECT_TRUE(inside(legend[i].frame, view.legendFrame()));
    // Room for a swatch and a word or two.
    EXPECT_GE(legend[i].frame.size.width, 60);
    EXPECT_GE(legend[i].frame.size.height, 9);
    for (std::size_t j = i + 1; j < legend.size(); ++j) {
      const kit::Rect a = legend[i].frame, b = legend[j].frame;
      const bool apart = a.origin.x + a.size.width <= b.origin.x + 0.01f ||
                         b.origin.x + b.size.width <= a.origin.x + 0.01f ||
                         a.origin.y + a.size.height <= b.origin.y + 0.01f ||
                         b.origin.y + b.size.height <= a.origin.y + 0.01f;
      EXPECT_TRUE(apart) << "overlaps " << legend[j].words;
    }
  }

  // The sensors have said nothing yet: no mark, and nothing to name.
  s.estimatedPivot.reset();
  view.update(s);
  EXPECT_EQ(wordsOf(view.legend()),
            (std::set<std::string>{"body", "screen", "picture", "tablet pivot", "picture pivot"}));
}

TEST(DesktopBirdsEyeLegend, AFlatTabletTurningAboutItsCentreStaysClearOfIt) {
  kit::SimulatedTablet tablet{device::tabletBody()};
  BirdsEyeView view(tablet.geometry());
  const float legendTop = view.legendFrame().origin.y;
  for (int step = 0; step <= 8; ++step) {
    if (step > 0) tablet.turn(kPi / 4, 0.5);
    tablet.step(step);
    view.update(stateOf(tablet));
    for (const Outline o : {Outline::Body, Outline::Screen})
      for (const kit::Point& p : view.outline(o))
        EXPECT_LT(p.y, legendTop - 2) << "after " << step << " eighths";
  }
}

// --- Photos on the table -----------------------------------------------------------

kit::ImageRef imageOf(int w, int h) {
  return std::make_shared<kit::Image>(
      std::make_shared<kit::Bitmap>(kit::Bitmap::make(w, h, kit::PixelFormat::RGBA8)));
}

// The picture's views as the application has them: a picture view turned
// and moved within the world, the photos layer filling it, and photos
// lying in the layer scaled and turned about their centres.
struct Picture {
  std::shared_ptr<kit::View> world = std::make_shared<kit::View>(kit::Rect{0, 0, 768, 1024});
  std::shared_ptr<kit::View> picture = std::make_shared<kit::View>(kit::Rect{0, 0, 4096, 4096});
  std::shared_ptr<kit::View> layer = std::make_shared<kit::View>(kit::Rect{0, 0, 4096, 4096});
  std::vector<std::shared_ptr<kit::ImageView>> photos;

  Picture() {
    world->addSubview(picture);
    picture->addSubview(layer);
    picture->setTransform(kit::AffineTransform::makeRotation(0.4f));
    picture->setCenter({-500, 300});
  }
  kit::ImageView& add(kit::Point centre, float scale, float angle, int w = 400, int h = 300) {
    auto photo = std::make_shared<kit::ImageView>(imageOf(w, h));
    photo->setCenter(centre);
    photo->setTransform(kit::rotated(kit::AffineTransform::makeScale(scale, scale), angle));
    layer->addSubview(photo);
    photos.push_back(photo);
    return *photo;
  }
};

// Where a photo's corner lies in the picture, worked out by hand: from its
// centre, scaled and turned.
kit::Point cornerInPicture(kit::Point centre, float scale, float angle, float dx, float dy) {
  const float c = std::cos(angle), s = std::sin(angle);
  return {centre.x + scale * (c * dx - s * dy), centre.y + scale * (s * dx + c * dy)};
}

TEST(DesktopBirdsEyePhotos, EachPhotoLiesWhereThePictureLaysItOnTheTable) {
  Picture p;
  struct Placed {
    kit::Point centre;
    float scale, angle;
  };
  const Placed placed[] = {
      {{2048, 2048}, 0.5f, 0.3f}, {{1700, 2300}, 0.25f, -2.0f}, {{2500, 1800}, 1.0f / 3, 1.2f}};
  for (const Placed& q : placed) p.add(q.centre, q.scale, q.angle);

  // The picture somewhere on the table, turned; the tablet turned and slid.
  const kit::AffineTransform pictureToTable = kit::AffineTransform::concat(
      {1, 0, 0, -1, -2048, 2048}, kit::AffineTransform::makeRotation(-0.7f));
  kit::SimulatedTablet tablet{device::tabletBody()};
  tablet.turn(1.1, 1);
  tablet.slide(400, -250, 1);
  tablet.step(5);
  BirdsEyeView view(tablet.geometry());
  view.setTable(std::nullopt, pictureToTable);
  BirdsEyeView::State s = stateOf(tablet);
  s.photos = desktop::photosOnTable(*p.layer, *p.picture);
  view.update(s);

  ASSERT_EQ(view.photosShown(), 3u);
  const float halfW = 200, halfH = 150;
  const float dx[4] = {-halfW, halfW, halfW, -halfW}, dy[4] = {-halfH, -halfH, halfH, halfH};
  for (std::size_t i = 0; i < 3; ++i) {
    const auto drawn = view.photoCorners(i);
    for (int k = 0; k < 4; ++k) {
      SCOPED_TRACE("photo " + std::to_string(i) + ", corner " + std::to_string(k));
      const kit::Point table = pictureToTable.apply(
          cornerInPicture(placed[i].centre, placed[i].scale, placed[i].angle, dx[k], dy[k]));
      const kit::Point expected = view.panelPoint(table.x, table.y);
      EXPECT_NEAR(drawn[k].x, expected.x, 1.0);
      EXPECT_NEAR(drawn[k].y, expected.y, 1.0);
    }
    const auto* shown = dynamic_cast<const kit::ImageView*>(&view.photoView(i));
    ASSERT_TRUE(shown);
    EXPECT_EQ(shown->image(), p.photos[i]->image());
  }
}

TEST(DesktopBirdsEyePhotos, NoneWhileTheLayerIsHiddenOrFadedOutNorThoseHiddenInIt) {
  Picture p;
  p.add({2048, 2048}, 0.5f, 0);
  p.add({2100, 2000}, 0.5f, 0).setHidden(true);
  p.add({2000, 2100}, 0.5f, 0).setAlpha(0);
  EXPECT_EQ(desktop::photosOnTable(*p.layer, *p.picture).size(), 1u);

  kit::SimulatedTablet tablet{device::tabletBody()};
  BirdsEyeView view(tablet.geometry());
  BirdsEyeView::State s = stateOf(tablet);
  s.photos = desktop::photosOnTable(*p.layer, *p.picture);
  view.update(s);
  EXPECT_EQ(view.photosShown(), 1u);

  p.layer->setAlpha(kit::kMinShownAlpha / 2);  // as Hide Photos leaves it
  s.photos = desktop::photosOnTable(*p.layer, *p.picture);
  EXPECT_TRUE(s.photos.empty());
  view.update(s);
  EXPECT_EQ(view.photosShown(), 0u);

  p.layer->setAlpha(1);
  p.layer->setHidden(true);
  EXPECT_TRUE(desktop::photosOnTable(*p.layer, *p.picture).empty());
}

TEST(DesktopBirdsEyePhotos, ThePanelsPhotoViewsAreKeptFromUpdateToUpdateAndNoMoreThanTheMost) {
  Picture p;
  for (int i = 0; i < 12; ++i) p.add({1800.0f + 40 * i, 2048}, 0.25f, 0.1f * i);
  kit::SimulatedTablet tablet{device::tabletBody()};
  BirdsEyeView view(tablet.geometry());
  BirdsEyeView::State s = stateOf(tablet);
  s.photos = desktop::photosOnTable(*p.layer, *p.picture);
  view.update(s);
  ASSERT_EQ(view.photosShown(), BirdsEyeView::kMostPhotos);
  std::vector<const kit::View*> first;
  for (std::size_t i = 0; i < view.photosShown(); ++i) first.push_back(&view.photoView(i));
  const auto before = view.photoCorners(0);

  // The photos drift on; the same views follow them.
  for (auto& photo : p.photos) photo->setCenter({photo->center().x + 300, photo->center().y});
  s.photos = desktop::photosOnTable(*p.layer, *p.picture);
  view.update(s);
  for (std::size_t i = 0; i < first.size(); ++i) EXPECT_EQ(&view.photoView(i), first[i]) << i;
  EXPECT_NEAR(view.photoCorners(0)[0].x - before[0].x, 300 * kScale, 0.05);

  // Hidden and shown again: still the same views, and no more of them.
  s.photos.clear();
  view.update(s);
  EXPECT_EQ(view.photosShown(), 0u);
  s.photos = desktop::photosOnTable(*p.layer, *p.picture);
  s.photos.resize(4);
  view.update(s);
  EXPECT_EQ(view.photosShown(), 4u);
  for (std::size_t i = 0; i < 4; ++i) EXPECT_EQ(&view.photoView(i), first[i]) << i;
}

// --- A slide's marks ----------------------------------------------------------------

struct Rig {
  kit::SimulatedTablet tablet{device::tabletBody()};
  TabletKeyboard keys{tablet};
  BirdsEyeView view{tablet.geometry()};

  // The panel at time t, given the keys' latest slide as the window gives it.
  void at(double t) {
    tablet.step(t);
    BirdsEyeView::State s = stateOf(tablet);
    if (const auto& slide = keys.lastSlide())
      s.slide = BirdsEyeView::State::Slide{slide->from, slide->ends};
    view.update(s);
  }
  double ends() const { return keys.lastSlide()->ends; }
};

TEST(DesktopBirdsEyeSlide, ASlideLeavesTheBodyWhereItWasAndAnArrowTheWayItWent) {
  Rig r;
  r.at(0);
  EXPECT_FALSE(r.view.slideMarks());
  const kit::TabletPose start = r.tablet.pose();
  r.keys.press(TabletKey::SlideRight, 1);  // unturned: east, to the panel's right
  r.at(1.1);
  ASSERT_TRUE(r.view.slideMarks());
  EXPECT_EQ(r.view.slideMarks()->strength, 1);

  // Once the view has glided after the tablet, the tablet is in the middle
  // again and the marks have gone with the table, an inch behind it.
  r.at(r.ends() + 0.3);
  const auto marks = r.view.slideMarks();
  ASSERT_TRUE(marks);
  const auto& body = r.view.outline(Outline::Body);
  const kit::TabletBody& g = r.tablet.geometry();
  const double left = g.bodyLeft(), right = left + g.bodyWidth(), top = g.bodyTop(),
               bottom = top + g.bodyHeight();
  for (int k = 0; k < 4; ++k) {
    const kit::Point was = tablePoint(start, k == 0 || k == 3 ? left : right, k < 2 ? top : bottom);
    SCOPED_TRACE(k);
    // Where the body was on the table, however the view has moved since.
    const kit::Point expected = r.view.panelPoint(was.x, was.y);
    EXPECT_NEAR(marks->body[k].x, expected.x, 1.5);
    EXPECT_NEAR(marks->body[k].y, expected.y, 1.5);
    EXPECT_NEAR(body[k].x - marks->body[k].x, kInch, 0.05);
    EXPECT_NEAR(body[k].y - marks->body[k].y, 0, 0.05);
  }
  EXPECT_NEAR(r.view.pivotMark().x, kSide / 2, 0.5);
  // The arrow goes right by the inch, from the edge the body led with.
  EXPECT_NEAR(marks->to.x - marks->from.x, kInch, 0.05);
  EXPECT_NEAR(marks->to.y - marks->from.y, 0, 0.05);
  EXPECT_NEAR(marks->from.x, marks->body[1].x, 0.05);
  EXPECT_NEAR(marks->to.x, body[1].x, 0.05);
  EXPECT_EQ(marks->caption, "slid 1 in from the yellow outline");
}

TEST(DesktopBirdsEyeSlide, TheArrowPointsTheWayTheTabletWentHoweverItIsTurned) {
  struct Case {
    double yaw;  // turned counter-clockwise from the start
    TabletKey key;
    float x, y;  // the panel's way: y down, north up
  };
  const Case cases[] = {
      {0, TabletKey::SlideUp, 0, -1},           // toward its top: north
      {0, TabletKey::SlideLeft, -1, 0},         // west
      {kPi / 2, TabletKey::SlideRight, 0, -1},  // its right points north now
      {kPi / 2, TabletKey::SlideDown, 1, 0},    // its bottom points east
      {kPi, TabletKey::SlideUp, 0, 1},          // upside down: its top is south
  };
  for (const Case& c : cases) {
    SCOPED_TRACE("yaw " + std::to_string(c.yaw) + ", key " +
                 std::to_string(static_cast<int>(c.key)));
    Rig r;
    if (c.yaw != 0) r.tablet.turn(c.yaw, 1);
    r.at(2);
    r.keys.press(c.key, 2);
    r.at(r.ends() + 0.1);
    const auto marks = r.view.slideMarks();
    ASSERT_TRUE(marks);
    EXPECT_NEAR(marks->to.x - marks->from.x, c.x * kInch, 0.05);
    EXPECT_NEAR(marks->to.y - marks->from.y, c.y * kInch, 0.05);
  }
}

TEST(DesktopBirdsEyeSlide, TheMarksFadeAndAreGoneALittleLater) {
  Rig r;
  r.at(0);
  r.keys.press(TabletKey::SlideDown, 0.5);
  const double ends = r.ends();
  r.at(ends + 0.2);
  ASSERT_TRUE(r.view.slideMarks());
  EXPECT_EQ(r.view.slideMarks()->strength, 1);
  r.at(ends + BirdsEyeView::kSlideMarkSeconds - BirdsEyeView::kSlideFadeSeconds / 2);
  ASSERT_TRUE(r.view.slideMarks());
  EXPECT_GT(r.view.slideMarks()->strength, 0.2);
  EXPECT_LT(r.view.slideMarks()->strength, 0.8);
  // The window keeps drawing until they are gone, and no longer.
  EXPECT_GT(r.view.changesUntil(), r.tablet.now());
  r.at(ends + BirdsEyeView::kSlideMarkSeconds + 0.05);
  EXPECT_FALSE(r.view.slideMarks());
  EXPECT_LE(r.view.changesUntil(), r.tablet.now());
  EXPECT_LT(ends + BirdsEyeView::kSlideMarkSeconds, 2);  // about a second
}

TEST(DesktopBirdsEyeSlide, SlidesInARunShowTheWholeWayFromWhereTheFirstBegan) {
  Rig r;
  r.at(0);
  r.keys.press(TabletKey::SlideRight, 0);
  r.at(r.ends());
  const auto first = r.view.slideMarks();
  ASSERT_TRUE(first);
  // The key held: its repeats slide on as each slide ends.
  r.keys.press(TabletKey::SlideRight, r.ends(), true);
  r.at(r.ends() + 0.1);
  const auto second = r.view.slideMarks();
  ASSERT_TRUE(second);
  EXPECT_NEAR(second->to.x - second->from.x, 2 * kInch, 0.05);
  EXPECT_EQ(second->caption, "slid 2 in from the yellow outline");
  EXPECT_EQ(second->strength, 1);

  // Long after, a new slide starts marks of its own.
  r.at(r.ends() + 3);
  EXPECT_FALSE(r.view.slideMarks());
  r.keys.press(TabletKey::SlideRight, r.tablet.now());
  r.at(r.ends());
  ASSERT_TRUE(r.view.slideMarks());
  EXPECT_NEAR(r.view.slideMarks()->to.x - r.view.slideMarks()->from.x, kInch, 0.05);
}

TEST(DesktopBirdsEyeSlide, ASlideQueuedBehindALiftIsMarkedFromWhereTheLiftLeavesTheTablet) {
  Rig r;
  r.keys.press(TabletKey::LiftLeft, 0);
  r.keys.press(TabletKey::SlideUp, 0.05);  // waits for the lift to end
  ASSERT_TRUE(r.keys.lastSlide());
  r.tablet.step(TabletKeyboard::kTiltSeconds);
  const kit::TabletPose lifted = r.tablet.pose();
  const kit::TabletPose& from = r.keys.lastSlide()->from;
  EXPECT_DOUBLE_EQ(from.roll, lifted.roll);
  EXPECT_NEAR(from.origin.x, lifted.origin.x, 1e-9);
  EXPECT_NEAR(from.origin.y, lifted.origin.y, 1e-9);
  EXPECT_NEAR(r.ends(), TabletKeyboard::kTiltSeconds + TabletKeyboard::kSlideSeconds, 1e-9);
}

}  // namespace
