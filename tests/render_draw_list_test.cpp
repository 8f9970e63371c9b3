// The compositor's walk of the view tree, on the CPU alone: what is drawn,
// where, how opaque, from which part of which picture, and what is left out.
#include "render/draw_list.h"

#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <numbers>
#include <vector>

#include "app/vitrane_view_controller.h"
#include "kit/activity_indicator.h"
#include "kit/button.h"
#include "kit/clock.h"
#include "kit/image_codec.h"
#include "kit/image_view.h"
#include "kit/label.h"
#include "tests/app_fixture.h"

namespace {

using kit::Color;
using kit::Point;
using kit::Rect;
using render::DrawCommand;
using render::DrawList;
using render::FrameSettings;
using render::Quad;
using render::QuadSource;

std::shared_ptr<kit::View> viewWithColor(const Rect& frame, Color color) {
  auto v = std::make_shared<kit::View>(frame);
  v->setBackgroundColor(color);
  return v;
}

FrameSettings screen(int w = 1000, int h = 1000) {
  FrameSettings s;
  s.viewportWidth = w;
  s.viewportHeight = h;
  return s;
}

DrawList build(const kit::View& root, const FrameSettings& s = screen()) {
  DrawList list;
  render::buildDrawList(root, s, list);
  return list;
}

std::vector<Quad> quadsOf(const DrawList& list, QuadSource source) {
  std::vector<Quad> out;
  for (const DrawCommand& c : list.commands)
    if (c.kind == DrawCommand::Kind::Quad && c.quad.source == source) out.push_back(c.quad);
  return out;
}

void expectPoint(Point actual, Point expected, float tolerance = 1e-3f) {
  EXPECT_NEAR(actual.x, expected.x, tolerance);
  EXPECT_NEAR(actual.y, expected.y, tolerance);
}

kit::BitmapRef grey(int w, int h) {
  return std::make_shared<const kit::Bitmap>(kit::Bitmap::make(w, h, kit::PixelFormat::Gray8));
}

// --- Opacity and visibility --------------------------------------------------

TEST(DrawListWalk, AlphaMultipliesDownTheTreeAndSkipsWhatCannotBeSeen) {
  auto root = viewWithColor({0, 0, 100, 100}, Color::white());
  auto half = viewWithColor({0, 0, 50, 50}, {1, 0, 0, 0.8f});
  half->setAlpha(0.5f);
  auto quarter = viewWithColor({0, 0, 10, 10}, Color::black());
  quarter->setAlpha(0.5f);
  half->addSubview(quarter);
  root->addSubview(half);

  auto hidden = viewWithColor({0, 0, 50, 50}, Color::black());
  hidden->setHidden(true);
  hidden->addSubview(viewWithColor({0, 0, 5, 5}, Color::black()));
  root->addSubview(hidden);
  auto faint = viewWithColor({0, 0, 50, 50}, Color::black());
  faint->setAlpha(0.009f);
  faint->addSubview(viewWithColor({0, 0, 5, 5}, Color::black()));
  root->addSubview(faint);
  auto justVisible = viewWithColor({0, 0, 50, 50}, Color::black());
  justVisible->setAlpha(0.01f);
  root->addSubview(justVisible);
  root->addSubview(viewWithColor({0, 0, 50, 50}, Color::clear()));  // nothing to draw

  const DrawList list = build(*root);
  const auto quads = quadsOf(list, QuadSource::Solid);
  ASSERT_EQ(quads.size(), 4u);
  EXPECT_FLOAT_EQ(quads[0].color.a, 1);
  EXPECT_FLOAT_EQ(quads[1].color.a, 0.4f);  // its own colour's 0.8 times its alpha
  EXPECT_FLOAT_EQ(quads[1].color.r, 1);
  EXPECT_FLOAT_EQ(quads[2].color.a, 0.25f);
  EXPECT_FLOAT_EQ(quads[3].color.a, 0.01f);
  // The hidden view is not even looked at; the faint one is, but not its subview.
  EXPECT_EQ(list.viewsVisited, 6);
}

TEST(DrawListWalk, AnimatedValuesAreTakenAtTheFrameTime) {
  kit::VirtualClock clock(10);
  kit::setMainClock(&clock);
  auto root = viewWithColor({0, 0, 100, 100}, Color::clear());
  auto fading = viewWithColor({0, 0, 10, 10}, Color::white());
  fading->setAlpha(0);
  root->addSubview(fading);
  {
    kit::AnimationBlock block(1.0);
    fading->setAlpha(1);
    fading->setCenter({55, 5});
  }
  kit::setMainClock(nullptr);

  FrameSettings s = screen();
  s.time = 10.5;  // half way through an ease-in-out: half way
  auto quads = quadsOf(build(*root, s), QuadSource::Solid);
  ASSERT_EQ(quads.size(), 1u);
  EXPECT_NEAR(quads[0].color.a, 0.5f, 1e-4f);
  expectPoint(quads[0].corners[0], {25, 0});
  s.time = 12;
  quads = quadsOf(build(*root, s), QuadSource::Solid);
  ASSERT_EQ(quads.size(), 1u);
  EXPECT_FLOAT_EQ(quads[0].color.a, 1);
  expectPoint(quads[0].corners[0], {50, 0});
  s.time = 10;  // at the start nothing shows yet
  EXPECT_TRUE(quadsOf(build(*root, s), QuadSource::Solid).empty());
}

// --- Geometry ------------------------------------------------------------------

TEST(DrawListWalk, CornersFollowAnchorsTransformsAndTheRootPlacement) {
  auto root = viewWithColor({0, 0, 1000, 1000}, Color::clear());
  auto outer = viewWithColor({100, 100, 200, 200}, Color::clear());
  outer->setTransform(kit::AffineTransform::makeRotation(0.4f));
  outer->setAnchorPoint({0.2f, 0.7f});
  auto middle = viewWithColor({0, 0, 100, 50}, Color::clear());
  middle->setBounds({-7, 3, 100, 50});
  middle->setTransform(kit::scaled(kit::AffineTransform::makeTranslation(5, -2), 1.5f, 0.5f));
  auto inner = viewWithColor({10, 10, 20, 30}, Color::white());
  inner->setAnchorPoint({1, 0});
  inner->setTransform(kit::AffineTransform::makeRotation(-1.1f));
  root->addSubview(outer);
  outer->addSubview(middle);
  middle->addSubview(inner);

  // Letterboxed at two pixels a point, the root's origin at (30, 40).
  FrameSettings s = screen(4000, 4000);
  s.pixelsPerPoint = 2;
  s.offsetX = 30;
  s.offsetY = 40;
  const auto quads = quadsOf(build(*root, s), QuadSource::Solid);
  ASSERT_EQ(quads.size(), 1u);
  const Rect b = inner->bounds();
  const Point corners[4] = {
      {b.minX(), b.minY()}, {b.maxX(), b.minY()}, {b.maxX(), b.maxY()}, {b.minX(), b.maxY()}};
  for (int i = 0; i < 4; ++i) {
    const Point inRoot = inner->convertPointToView(corners[i], root.get());
    expectPoint(quads[0].corners[i], {30 + 2 * inRoot.x, 40 + 2 * inRoot.y}, 2e-3f);
  }
}

// --- Pictures --------------------------------------------------------------------

// Where a displayed point lands in the stored rows, by interpolating the
// corner coordinates as the rasteriser does.
Point storedPointFor(const std::array<Point, 4>& uv, float x, float y) {
  auto lerp = [](Point a, Point b, float t) {
    return Point{a.x + (b.x - a.x) * t, a.y + (b.y - a.y) * t};
  };
  return lerp(lerp(uv[0], uv[1], x), lerp(uv[3], uv[2], x), y);
}

TEST(DrawListPictures, EveryOrientationShowsThePixelsAsTheDecoderTurnsThemUpright) {
  // Eight flat 8×8 blocks of distinct greys (JPEG keeps flat blocks), 4 by 2.
  kit::Bitmap stored = kit::Bitmap::make(32, 16, kit::PixelFormat::RGBA8);
  for (int y = 0; y < 16; ++y)
    for (int x = 0; x < 32; ++x) {
      const auto level = static_cast<std::uint8_t>(20 + 30 * (x / 8 + 4 * (y / 8)));
      std::uint8_t* p = stored.row(y) + x * 4;
      p[0] = p[1] = p[2] = level;
      p[3] = 255;
    }
  for (int flag = 0; flag < 8; ++flag) {
    const auto orientation = static_cast<kit::ImageOrientation>(flag);
    // EXIF tags in the order of the platform's flags.
    static constexpr int kExif[8] = {1, 3, 8, 6, 2, 4, 5, 7};
    const auto encoded = kit::encodeJpeg(stored, 100, kExif[flag]);
    ASSERT_TRUE(encoded);
    const std::vector<std::uint8_t>& jpeg = *encoded;
    kit::DecodeOptions upright;
    upright.applyOrientationToPixels = true;
    const auto shown = kit::decodeImage(jpeg.data(), jpeg.size(), upright);
    ASSERT_TRUE(shown) << shown.error().message;
    ASSERT_EQ(kit::orientationFromExif(kExif[flag]), orientation);

    const auto uv = render::orientedTexCoords(orientation);
    const int w = shown->bitmap->width, h = shown->bitmap->height;
    ASSERT_EQ(kit::isQuarterTurned(orientation), w == 16) << flag;
    for (int by = 0; by < h / 8; ++by)
      for (int bx = 0; bx < w / 8; ++bx) {
        const float x = (bx * 8 + 4.0f) / w, y = (by * 8 + 4.0f) / h;
        const Point s = storedPointFor(uv, x, y);
        const int sx = static_cast<int>(s.x * 32), sy = static_cast<int>(s.y * 16);
        const int expected =
            shown->bitmap->row(by * 8 + 4)[(bx * 8 + 4) * shown->bitmap->bytesPerPixel()];
        EXPECT_NEAR(stored.row(sy)[sx * 4], expected, 6)
            << "flag " << flag << " block " << bx << "," << by;
      }
  }
  // The platform's own words for one of them: Left shows the stored
  // picture turned a quarter counter-clockwise, so the stored top-right
  // corner is displayed at the top left.
  expectPoint(render::orientedTexCoords(kit::ImageOrientation::Left)[0], {1, 0});
}

TEST(DrawListPictures, ImageViewsDrawTheirBitmapOverTheirBackground) {
  auto root = viewWithColor({0, 0, 100, 100}, Color::clear());
  const kit::BitmapRef bitmap = grey(4, 2);
  auto image = std::make_shared<kit::ImageView>(
      std::make_shared<kit::Image>(bitmap, kit::ImageOrientation::UpMirrored));
  image->setFrame({10, 10, 40, 20});  // scaled to fill, whatever the picture's size
  image->setBackgroundColor(Color::black());
  image->setAlpha(0.5f);
  root->addSubview(image);
  root->addSubview(std::make_shared<kit::ImageView>());  // no picture: nothing

  const DrawList list = build(*root);
  ASSERT_EQ(list.quads, 2);
  EXPECT_EQ(list.commands[0].quad.source, QuadSource::Solid);
  const Quad& q = list.commands[1].quad;
  ASSERT_EQ(q.source, QuadSource::Bitmap);
  ASSERT_NE(q.bitmap, nullptr);
  EXPECT_EQ(q.bitmap->get(), bitmap.get());
  EXPECT_FLOAT_EQ(q.color.a, 0.5f);
  expectPoint(q.corners[2], {50, 30});
  expectPoint(q.texCoords[0], {1, 0});
}

// --- Culling and clipping ------------------------------------------------------

TEST(DrawListCulling, OnlyQuadsOnScreenAreKeptAndClippingViewsCullWholeSubtrees) {
  auto root = viewWithColor({0, 0, 100, 100}, Color::clear());
  // Off screen, but a subview reaches back onto it: the subview is drawn.
  auto away = viewWithColor({500, 0, 10, 10}, Color::white());
  away->addSubview(viewWithColor({-480, 10, 10, 10}, Color::white()));
  root->addSubview(away);
  // The same arrangement clipping: nothing of it is drawn, counted once.
  auto clipped = viewWithColor({500, 0, 10, 10}, Color::white());
  clipped->setClipsToBounds(true);
  clipped->addSubview(viewWithColor({-480, 10, 10, 10}, Color::white()));
  root->addSubview(clipped);
  // Touching the edge from outside is off screen (half-open edges).
  root->addSubview(viewWithColor({100, 0, 10, 10}, Color::white()));

  const DrawList list = build(*root, screen(100, 100));
  const auto quads = quadsOf(list, QuadSource::Solid);
  ASSERT_EQ(quads.size(), 1u);
  expectPoint(quads[0].corners[0], {20, 10});
  EXPECT_EQ(list.viewsCulled, 3);
  for (const DrawCommand& c : list.commands) EXPECT_EQ(c.kind, DrawCommand::Kind::Quad);
}

TEST(DrawListCulling, ClipsAreBalancedAndTurnedOnesAskForTheStencil) {
  auto root = viewWithColor({0, 0, 100, 100}, Color::clear());
  root->setClipsToBounds(true);
  auto turned = viewWithColor({20, 20, 40, 40}, Color::white());
  turned->setClipsToBounds(true);
  turned->setTransform(kit::AffineTransform::makeRotation(std::numbers::pi_v<float> / 4));
  auto back = viewWithColor({5, 5, 10, 20}, Color::white());
  back->setClipsToBounds(true);
  back->setTransform(kit::AffineTransform::makeRotation(-std::numbers::pi_v<float> / 4));
  turned->addSubview(back);
  root->addSubview(turned);
  root->addSubview(viewWithColor({200, 200, 5, 5}, Color::white()));  // outside the root's clip

  const DrawList list = build(*root, screen(1000, 1000));
  using K = DrawCommand::Kind;
  std::vector<K> kinds;
  for (const DrawCommand& c : list.commands) kinds.push_back(c.kind);
  EXPECT_EQ(kinds, (std::vector<K>{K::PushClip, K::PushClip, K::Quad, K::PushClip, K::Quad,
                                   K::PopClip, K::PopClip, K::PopClip}));
  EXPECT_TRUE(list.commands[0].axisAligned);
  EXPECT_FLOAT_EQ(list.commands[0].box.x1, 100);
  EXPECT_FALSE(list.commands[1].axisAligned);
  EXPECT_TRUE(list.commands[3].axisAligned);  // the two turns cancel
  EXPECT_EQ(list.viewsCulled, 1);
}

// The tile field at launch: thousands of tiles, only those on screen drawn.
class DrawListTileField : public apptest::LaunchedApp {
 protected:
  const kit::View& window() { return *runner.appDelegate()->window; }
  FrameSettings frame() {
    FrameSettings s = screen(768, 1024);
    s.time = runner.clock().now();
    return s;
  }
  int tilesOnScreen() {
    int n = 0;
    for (const auto& tile : vc().outlets.seamlessTiles->subviews()) {
      const Rect b = tile->bounds();
      float x0 = 1e9f, y0 = 1e9f, x1 = -1e9f, y1 = -1e9f;
      for (Point p : {Point{b.minX(), b.minY()}, Point{b.maxX(), b.minY()},
                      Point{b.maxX(), b.maxY()}, Point{b.minX(), b.maxY()}}) {
        const Point q = tile->convertPointToView(p, nullptr);
        x0 = std::min(x0, q.x), y0 = std::min(y0, q.y), x1 = std::max(x1, q.x),
        y1 = std::max(y1, q.y);
      }
      n += x0 < 768 && x1 > 0 && y0 < 1024 && y1 > 0;
    }
    return n;
  }
};

// The number of tiles a MirroredTiles quad spans.
int tilesIn(const Quad& q) {
  return static_cast<int>(
      std::lround((q.texCoords[2].x - q.texCoords[0].x) * (q.texCoords[2].y - q.texCoords[0].y)));
}

TEST_F(DrawListTileField, TheTilesOverTheScreenAreOneQuadAndTheRestAreNotLookedAt) {
  runner.deliverFrames(2);
  const DrawList list = build(window(), frame());
  EXPECT_TRUE(quadsOf(list, QuadSource::Bitmap).empty());
  const auto fields = quadsOf(list, QuadSource::MirroredTiles);
  ASSERT_EQ(fields.size(), 1u);
  const int visible = tilesOnScreen();
  EXPECT_GE(visible, 2);
  EXPECT_EQ(tilesIn(fields[0]), visible);  // unturned: the box of the screen is the screen
  EXPECT_EQ(fields[0].bitmap->get(),
            static_cast<const kit::ImageView&>(*vc().outlets.seamlessTiles->subviews()[0])
                .image()
                ->bitmap()
                .get());
  EXPECT_EQ(list.viewsCulled, 18 * 18 - visible);
  EXPECT_LT(list.viewsVisited, 100);

  // A small picture makes a field of 7056 tiles; turned and zoomed out a
  // few hundred of them still cover the screen, and no tile is visited.
  auto bitmap = std::make_shared<kit::Bitmap>(kit::Bitmap::make(100, 100, kit::PixelFormat::RGBA8));
  vc().updateTilePatch(std::make_shared<kit::Image>(std::move(bitmap)));
  runner.motion().current.attitude.yaw = std::numbers::pi / 2 + 0.5;
  vc().outlets.telescoperView->setTransform(kit::AffineTransform::makeScale(0.25f, 0.25f));
  runner.deliverFrames(2);
  const DrawList wide = build(window(), frame());
  const auto wideFields = quadsOf(wide, QuadSource::MirroredTiles);
  ASSERT_EQ(wideFields.size(), 1u);
  // The box of the turned screen holds every tile on it, and not all 7056.
  EXPECT_GE(tilesIn(wideFields[0]), tilesOnScreen());
  EXPECT_LT(tilesIn(wideFields[0]), 7056 / 2);
  EXPECT_LT(wide.viewsVisited, 100);

  // The largest field the table makes (a 26-point picture: 306 × 306 tiles)
  // at the smallest zoom is still one quad, and no tile is looked at.
  auto smallest = std::make_shared<kit::Bitmap>(kit::Bitmap::make(26, 26, kit::PixelFormat::RGBA8));
  vc().updateTilePatch(std::make_shared<kit::Image>(std::move(smallest)));
  ASSERT_EQ(vc().outlets.seamlessTiles->subviews().size(), 306u * 306u);
  vc().outlets.telescoperView->setTransform(kit::AffineTransform::makeScale(1 / 6.0f, 1 / 6.0f));
  runner.deliverFrames(2);
  DrawList largest;
  render::buildDrawList(window(), frame(), largest);
  ASSERT_EQ(quadsOf(largest, QuadSource::MirroredTiles).size(), 1u);
  EXPECT_LT(largest.viewsVisited, 100);
}

// --- Text, spinner, status bar ---------------------------------------------------

TEST(DrawListText, LabelsAndButtonTitlesBecomeTextBoxesInPixels) {
  auto root = viewWithColor({0, 0, 400, 400}, Color::clear());
  auto label = std::make_shared<kit::Label>();
  label->setFrame({10, 20, 200, 60});
  label->setText("two\nlines");
  label->fontSize = 14;
  label->boldFont = true;
  label->numberOfLines = 0;
  label->textAlignment = kit::TextAlignment::Right;
  label->textColor = {1, 0, 0, 1};
  root->addSubview(label);
  auto button = std::make_shared<kit::Button>();
  button->setFrame({10, 100, 120, 44});
  button->setTitle("Go", kit::ControlState::Normal);
  button->setTitle("Stop", kit::ControlState::Selected);
  button->setSelected(true);
  button->fontSize = 17;
  root->addSubview(button);
  root->addSubview(std::make_shared<kit::Label>());  // no text, nothing drawn

  FrameSettings s = screen();
  s.pixelsPerPoint = 2;
  const DrawList list = build(*root, s);
  const auto texts = quadsOf(list, QuadSource::Text);
  ASSERT_EQ(texts.size(), 2u);
  const render::TextStyle& l = list.texts.at(static_cast<size_t>(texts[0].text));
  EXPECT_EQ(l.text, "two\nlines");
  EXPECT_EQ(l.boxWidth, 400);
  EXPECT_EQ(l.boxHeight, 120);
  EXPECT_FLOAT_EQ(l.pixelSize, 28);
  EXPECT_TRUE(l.bold);
  EXPECT_EQ(l.maxLines, 0);
  EXPECT_EQ(l.alignment, kit::TextAlignment::Right);
  EXPECT_EQ(l.color, (Color{1, 0, 0, 1}));
  expectPoint(texts[0].corners[0], {20, 40});
  const render::TextStyle& b = list.texts.at(static_cast<size_t>(texts[1].text));
  EXPECT_EQ(b.text, "Stop");
  EXPECT_EQ(b.alignment, kit::TextAlignment::Center);
  EXPECT_EQ(b.maxLines, 1);
  EXPECT_EQ(b.color, Color::white());
}

TEST(DrawListText, TheSpinnerHasTwelveSpokesWhoseBrightestStepsRoundWhileAnimating) {
  auto root = viewWithColor({0, 0, 100, 100}, Color::clear());
  auto spinner = std::make_shared<kit::ActivityIndicatorView>();
  spinner->setFrame({30, 30, 40, 40});
  root->addSubview(spinner);
  spinner->hidesWhenStopped = false;
  auto brightest = [&](double t) {
    FrameSettings s = screen();
    s.time = t;
    const auto spokes = quadsOf(build(*root, s), QuadSource::Solid);
    EXPECT_EQ(spokes.size(), 12u);
    size_t best = 0;
    for (size_t i = 0; i < spokes.size(); ++i) {
      for (const Point& p : spokes[i].corners) {
        EXPECT_GE(p.x, 30);
        EXPECT_LE(p.x, 70);
      }
      if (spokes[i].color.a > spokes[best].color.a) best = i;
    }
    return best;
  };
  EXPECT_EQ(brightest(0.5), brightest(0));  // standing still when not animating
  spinner->startAnimating();
  const size_t first = brightest(0.01);
  EXPECT_EQ(brightest(0.01 + 1.0 / 12), (first + 1) % 12);
  EXPECT_EQ(brightest(1.01), first);  // one turn a second
  spinner->stopAnimating();
  spinner->hidesWhenStopped = true;
  spinner->stopAnimating();
  EXPECT_TRUE(build(*root).commands.empty());
}

TEST(DrawListText, TheStatusBarIsDrawnLastOverTheTopOfTheRoot) {
  auto root = viewWithColor({0, 0, 768, 1024}, Color::white());
  FrameSettings s = screen(1536, 2048);
  s.pixelsPerPoint = 2;
  EXPECT_EQ(build(*root, s).quads, 1);
  s.statusBarVisible = true;
  s.statusBarClock = render::statusBarClockText(13, 5);
  EXPECT_EQ(s.statusBarClock, "1:05 PM");
  const DrawList list = build(*root, s);
  ASSERT_EQ(list.quads, 3);
  const Quad& strip = list.commands[1].quad;
  EXPECT_EQ(strip.color, Color::black());
  expectPoint(strip.corners[2], {1536, 40});
  const Quad& clock = list.commands[2].quad;
  ASSERT_EQ(clock.source, QuadSource::Text);
  EXPECT_EQ(list.texts[static_cast<size_t>(clock.text)].text, "1:05 PM");
  EXPECT_EQ(render::statusBarClockText(0, 0), "12:00 AM");
  EXPECT_EQ(render::statusBarClockText(12, 59), "12:59 PM");
}

}  // namespace
