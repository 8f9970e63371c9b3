// The compositor on a real GL ES context (EGL, Mesa's software rasteriser
// where there is no GPU): whole screens against golden pictures, and small
// scenes whose pixels are known.
//
// Goldens live in tests/data/golden/ and are made by this same snapshot
// code. After a deliberate change to what is drawn, look at the new
// pictures and commit them:
//
//     VITRANE_UPDATE_GOLDENS=1 build/vitrane_tests --gtest_filter='RenderGolden*'
//
// Tolerance: a pixel differs when one of its channels is more than 8 levels
// off, and a screen matches when at most 0.5 % of its pixels differ.
// llvmpipe gives the same pixels run after run on one machine, but other
// Mesa and LLVM versions and vector widths round filtering and blending a
// level or two differently, and other FreeType versions move glyph edges;
// text covers about 3 % of the launch screen and its edges a fraction of
// that. A lost button (1.5 % of the screen), the panel, a wrongly turned or
// mirrored table or a shifted tile field differ far more.
//
// Tests that need a context skip, saying why, where none can be made.
#include <gtest/gtest.h>

#include <GLES3/gl3.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <numbers>
#include <optional>
#include <string>
#include <tuple>
#include <vector>

#include "app/vitrane_view_controller.h"
#include "kit/image_codec.h"
#include "kit/image_view.h"
#include "kit/label.h"
#include "render/compositor.h"
#include "render/offscreen_context.h"
#include "tests/app_fixture.h"

namespace {

namespace fs = std::filesystem;

constexpr int kChannelTolerance = 8;
constexpr double kDifferingFraction = 0.005;

struct Rgba {
  int r, g, b, a;
};

Rgba pixel(const kit::Bitmap& b, int x, int y) {
  const std::uint8_t* p = b.row(y) + x * 4;
  return {p[0], p[1], p[2], p[3]};
}

int channelDifference(Rgba p, Rgba q) {
  return std::max(
      {std::abs(p.r - q.r), std::abs(p.g - q.g), std::abs(p.b - q.b), std::abs(p.a - q.a)});
}

// Pixels of two pictures of one size further apart than the goldens allow.
long pixelsDiffering(const kit::Bitmap& a, const kit::Bitmap& b) {
  long differing = 0;
  for (int y = 0; y < a.height; ++y)
    for (int x = 0; x < a.width; ++x)
      differing += channelDifference(pixel(a, x, y), pixel(b, x, y)) > kChannelTolerance;
  return differing;
}

::testing::AssertionResult near(Rgba actual, Rgba expected, int tolerance = 2) {
  if (channelDifference(actual, expected) <= tolerance) return ::testing::AssertionSuccess();
  return ::testing::AssertionFailure()
         << "(" << actual.r << "," << actual.g << "," << actual.b << "," << actual.a
         << ") instead of (" << expected.r << "," << expected.g << "," << expected.b << ","
         << expected.a << ")";
}

bool updatingGoldens() {
  const char* v = std::getenv("VITRANE_UPDATE_GOLDENS");
  return v && std::string(v) == "1";
}

void expectMatchesGolden(const kit::Bitmap& actual, const std::string& name) {
  const fs::path golden = fs::path(VITRANE_TEST_DATA) / "golden" / (name + ".png");
  if (updatingGoldens()) {
    fs::create_directories(golden.parent_path());
    const kit::Result<void> written = kit::writePngFile(actual, golden.string());
    ASSERT_TRUE(written) << written.error().message;
    std::printf("updated %s\n", golden.string().c_str());
    return;
  }
  const auto expected = kit::decodeImageFile(golden.string());
  ASSERT_TRUE(expected) << golden << ": " << expected.error().message
                        << " (make it with VITRANE_UPDATE_GOLDENS=1, see the top of this file)";
  const kit::Bitmap& e = *expected->bitmap;
  ASSERT_EQ(e.format, kit::PixelFormat::RGBA8);
  ASSERT_EQ(e.width, actual.width);
  ASSERT_EQ(e.height, actual.height);
  long differing = 0;
  int largest = 0;
  kit::Bitmap diff = kit::Bitmap::make(actual.width, actual.height, kit::PixelFormat::RGBA8);
  for (int y = 0; y < e.height; ++y)
    for (int x = 0; x < e.width; ++x) {
      const int d = channelDifference(pixel(actual, x, y), pixel(e, x, y));
      largest = std::max(largest, d);
      std::uint8_t* out = diff.row(y) + x * 4;
      out[0] = out[1] = out[2] = static_cast<std::uint8_t>(std::min(255, d * 8));
      out[3] = 255;
      if (d > kChannelTolerance) {
        ++differing;
        out[1] = out[2] = 0;
      }
    }
  const long allowed = static_cast<long>(kDifferingFraction * e.width * e.height);
  if (differing <= allowed) return;
  const fs::path keep = fs::temp_directory_path() / "vitrane-golden";
  fs::create_directories(keep);
  // Kept for a person to look at; the failure below is reported either way.
  (void)kit::writePngFile(actual, (keep / (name + "-actual.png")).string());
  (void)kit::writePngFile(diff, (keep / (name + "-diff.png")).string());
  ADD_FAILURE() << name << ": " << differing << " pixels differ by more than " << kChannelTolerance
                << " (at most " << allowed << " may), the largest difference is " << largest
                << "; the picture and the difference are in " << keep;
}

// --- Whole screens ------------------------------------------------------------

class RenderGolden : public apptest::LaunchedApp {
 protected:
  // The screen now, or nothing (and why) where no context can be made.
  std::optional<kit::Bitmap> snapshot() {
    try {
      return runner.snapshot();
    } catch (const render::OffscreenError& e) {
      skipReason = e.what();
      return std::nullopt;
    }
  }
  // Where a point of the tile field lies on the screen.
  kit::Point onScreen(kit::Point inField) {
    return vc().outlets.seamlessTiles->convertPointToView(inField, nullptr);
  }
  std::string skipReason;
};

TEST_F(RenderGolden, LaunchScreenAfterThePanelHasFadedIn) {
  runner.advanceTo(0.35);
  const auto shot = snapshot();
  if (!shot) GTEST_SKIP() << skipReason;
  expectMatchesGolden(*shot, "launch");
}

TEST_F(RenderGolden, WorldTurnedByThirtyDegrees) {
  runner.motion().current.attitude.yaw = std::numbers::pi / 2 + std::numbers::pi / 6;
  runner.deliverFrames(2);
  const auto shot = snapshot();
  if (!shot) GTEST_SKIP() << skipReason;
  expectMatchesGolden(*shot, "turned30");
}

// Mirrored neighbours meet without a seam: on either side of a tile edge
// the pixels repeat as in a mirror, column for column.
TEST_F(RenderGolden, MirroredTilesMeetWithoutASeam) {
  runner.deliverFrames(2);  // the panel has not begun to show
  const auto shot = snapshot();
  if (!shot) GTEST_SKIP() << skipReason;
  const float pitchX = static_cast<float>(vc().tiles.tileHorizontalPitch);
  const float pitchY = static_cast<float>(vc().tiles.tileVerticalPitch);
  const kit::Point origin = onScreen({0, 0});
  // The first edge of each kind well inside the screen, below the status bar.
  const float edgeX = origin.x + pitchX * std::ceil((100 - origin.x) / pitchX);
  const float edgeY = origin.y + pitchY * std::ceil((100 - origin.y) / pitchY);
  ASSERT_LT(edgeX, 760);
  ASSERT_LT(edgeY, 1000);
  ASSERT_EQ(edgeX, std::round(edgeX));  // on a pixel boundary at launch
  ASSERT_EQ(edgeY, std::round(edgeY));
  const int ex = static_cast<int>(edgeX), ey = static_cast<int>(edgeY);
  int mismatches = 0;
  for (int k = 0; k < 4; ++k) {
    for (int y = 30; y < 1010; ++y)
      mismatches += !near(pixel(*shot, ex - 1 - k, y), pixel(*shot, ex + k, y));
    for (int x = 10; x < 758; ++x)
      mismatches += !near(pixel(*shot, x, ey - 1 - k), pixel(*shot, x, ey + k));
  }
  EXPECT_EQ(mismatches, 0);
  // Not merely a flat picture: the two columns beside the edge differ from
  // columns further off.
  int textured = 0;
  for (int y = 30; y < 1010; ++y)
    textured += !near(pixel(*shot, ex, y), pixel(*shot, ex + 40, y), 8);
  EXPECT_GT(textured, 100);
}

// --- Small scenes with known pixels ----------------------------------------------

// Each scene on the OpenGL ES 3 path and on the 2.0 fallback.
class GlScene : public ::testing::TestWithParam<int> {
 protected:
  static constexpr int kSize = 64;

  void SetUp() override {
    try {
      gl = std::make_unique<render::OffscreenContext>(kSize, kSize);
      compositor = std::make_unique<render::Compositor>(GetParam());
    } catch (const render::OffscreenError& e) {
      GTEST_SKIP() << e.what();
    }
    root->setBackgroundColor(kit::Color::white());
  }

  kit::Bitmap draw(kit::Color clear = kit::Color::black()) {
    gl->makeCurrent();
    render::FrameSettings s;
    s.viewportWidth = s.viewportHeight = kSize;
    s.clearColor = clear;
    compositor->draw(*root, s);
    return gl->readPixels();
  }

  std::shared_ptr<kit::ImageView> imageView(const kit::Rect& frame, kit::BitmapRef bitmap,
                                            kit::ImageOrientation o = kit::ImageOrientation::Up) {
    auto v = std::make_shared<kit::ImageView>(std::make_shared<kit::Image>(std::move(bitmap), o));
    v->setFrame(frame);
    root->addSubview(v);
    return v;
  }

  static kit::BitmapRef filled(int w, int h, Rgba c) {
    auto b = std::make_shared<kit::Bitmap>(kit::Bitmap::make(w, h, kit::PixelFormat::RGBA8));
    for (std::size_t i = 0; i < b->pixels.size(); i += 4) {
      b->pixels[i] = static_cast<std::uint8_t>(c.r);
      b->pixels[i + 1] = static_cast<std::uint8_t>(c.g);
      b->pixels[i + 2] = static_cast<std::uint8_t>(c.b);
      b->pixels[i + 3] = static_cast<std::uint8_t>(c.a);
    }
    return b;
  }

  std::unique_ptr<render::OffscreenContext> gl;
  std::unique_ptr<render::Compositor> compositor;  // after gl: it goes first
  std::shared_ptr<kit::View> root = std::make_shared<kit::View>(kit::Rect{0, 0, kSize, kSize});
};

TEST_P(GlScene, StraightAlphaBlendsOverWhatIsBehind) {
  auto tint = std::make_shared<kit::View>(kit::Rect{0, 0, 32, 32});
  tint->setBackgroundColor({1, 0, 0, 0.5f});
  root->addSubview(tint);
  imageView({32, 0, 32, 32}, filled(4, 4, {0, 0, 255, 128}));
  imageView({0, 32, 32, 32}, filled(4, 4, {0, 255, 0, 255}))->setAlpha(0.5f);
  kit::Bitmap g = kit::Bitmap::make(2, 2, kit::PixelFormat::Gray8);
  g.pixels.assign(4, 100);
  imageView({32, 32, 32, 32}, std::make_shared<kit::Bitmap>(std::move(g)));

  const kit::Bitmap out = draw();
  EXPECT_TRUE(near(pixel(out, 16, 16), {255, 128, 128, 255}));
  EXPECT_TRUE(near(pixel(out, 48, 16), {127, 127, 255, 255}));
  EXPECT_TRUE(near(pixel(out, 16, 48), {128, 255, 128, 255}));
  EXPECT_TRUE(near(pixel(out, 48, 48), {100, 100, 100, 255}));  // grey as luminance
}

TEST_P(GlScene, TheOrientationFlagTurnsThePictureTheRightWay) {
  // Stored: red green / blue white.
  auto b = std::make_shared<kit::Bitmap>(kit::Bitmap::make(2, 2, kit::PixelFormat::RGBA8));
  b->pixels = {255, 0, 0, 255, 0, 255, 0, 255, 0, 0, 255, 255, 255, 255, 255, 255};
  auto v = imageView({0, 0, kSize, kSize}, b, kit::ImageOrientation::Left);
  const Rgba red{255, 0, 0, 255}, green{0, 255, 0, 255}, blue{0, 0, 255, 255},
      white{255, 255, 255, 255};
  kit::Bitmap out = draw();
  // A quarter turn counter-clockwise: the right column becomes the top row.
  EXPECT_TRUE(near(pixel(out, 4, 4), green));
  EXPECT_TRUE(near(pixel(out, 60, 4), white));
  EXPECT_TRUE(near(pixel(out, 4, 60), red));
  EXPECT_TRUE(near(pixel(out, 60, 60), blue));
  v->setImage(std::make_shared<kit::Image>(b, kit::ImageOrientation::DownMirrored));
  out = draw();
  EXPECT_TRUE(near(pixel(out, 4, 4), blue));
  EXPECT_TRUE(near(pixel(out, 60, 60), green));
}

TEST_P(GlScene, ClipsCutTheirSubviewsEvenWhenTurned) {
  root->setBackgroundColor(kit::Color::black());
  auto square = std::make_shared<kit::View>(kit::Rect{0, 0, 20, 20});
  square->setClipsToBounds(true);
  auto inside = std::make_shared<kit::View>(kit::Rect{-10, -10, 100, 100});
  inside->setBackgroundColor(kit::Color::white());
  square->addSubview(inside);
  root->addSubview(square);
  auto diamond = std::make_shared<kit::View>(kit::Rect{20, 20, 30, 30});  // centre (35, 35)
  diamond->setClipsToBounds(true);
  diamond->setTransform(kit::AffineTransform::makeRotation(std::numbers::pi_v<float> / 4));
  auto filling = std::make_shared<kit::View>(kit::Rect{-50, -50, 200, 200});
  filling->setBackgroundColor({0, 0, 1, 1});
  diamond->addSubview(filling);
  root->addSubview(diamond);

  const kit::Bitmap out = draw();
  const Rgba black{0, 0, 0, 255}, white{255, 255, 255, 255}, blue{0, 0, 255, 255};
  EXPECT_TRUE(near(pixel(out, 10, 10), white));
  EXPECT_TRUE(near(pixel(out, 25, 5), black));  // right of the square: scissored off
  EXPECT_TRUE(near(pixel(out, 35, 35), blue));
  EXPECT_TRUE(near(pixel(out, 35, 16), blue));  // near the diamond's top vertex (35, 13.8)
  // Inside the diamond's box but outside the diamond: the stencil holds it back.
  EXPECT_TRUE(near(pixel(out, 22, 22), black));
  EXPECT_TRUE(near(pixel(out, 48, 48), black));
}

TEST_P(GlScene, AQuadJoinsAnEarlierCallOnlyWhereNothingDrawnBetweenOverlapsIt) {
  const Rgba red{255, 0, 0, 255}, blue{0, 0, 255, 255};
  auto solid = [&](const kit::Rect& frame) {
    auto v = std::make_shared<kit::View>(frame);
    v->setBackgroundColor({1, 0, 0, 1});
    root->addSubview(v);
  };
  solid({0, 0, 16, 16});
  imageView({20, 0, 16, 16}, filled(16, 16, blue));
  solid({40, 0, 16, 16});  // beside the picture: drawn with the first red square
  solid({24, 4, 8, 8});    // on the picture: after it
  const kit::Bitmap out = draw();
  const render::FrameStats stats = compositor->lastFrameStats();
  EXPECT_EQ(stats.drawCalls, 3);  // the solids before the picture, the picture, the solid on it
  EXPECT_TRUE(near(pixel(out, 28, 8), red));
  EXPECT_TRUE(near(pixel(out, 22, 2), blue));
  EXPECT_TRUE(near(pixel(out, 48, 8), red));
  EXPECT_TRUE(near(pixel(out, 8, 8), red));
}

TEST_P(GlScene, TextsShareOneTextureAndOneCallAndLookAsEachAlone) {
  auto label = [&](const kit::Rect& frame, const char* text, kit::Color colour) {
    auto l = std::make_shared<kit::Label>();
    l->setFrame(frame);
    l->setText(text);
    l->fontSize = 12;
    l->textColor = colour;
    root->addSubview(l);
    return l;
  };
  const std::vector<std::tuple<kit::Rect, const char*, kit::Color>> texts = {
      {{2, 2, 60, 16}, "Show", {0, 0, 0, 1}},
      {{2, 22, 60, 16}, "Photos", {0.8f, 0, 0, 1}},
      {{2, 42, 60, 16}, "Wq", {0, 0, 0.8f, 1}}};
  for (const auto& [frame, text, colour] : texts) label(frame, text, colour);
  const kit::Bitmap together = draw();
  EXPECT_EQ(compositor->lastFrameStats().drawCalls, 2);  // the background, the three texts

  // Each alone, from a fresh compositor: the same pixels where it lies.
  for (const auto& [frame, text, colour] : texts) {
    root->removeAllSubviews();
    label(frame, text, colour);
    compositor = std::make_unique<render::Compositor>(GetParam());
    const kit::Bitmap alone = draw();
    int worst = 0;
    for (int y = static_cast<int>(frame.minY()); y < static_cast<int>(frame.maxY()); ++y)
      for (int x = static_cast<int>(frame.minX()); x < static_cast<int>(frame.maxX()); ++x)
        worst = std::max(worst, channelDifference(pixel(together, x, y), pixel(alone, x, y)));
    EXPECT_LE(worst, 1) << text;
  }
}

TEST_P(GlScene, OneTextureABitmapSharedByItsViewsAndGoneWithIt) {
  kit::BitmapRef shared = filled(8, 8, {255, 0, 0, 255});
  for (int i = 0; i < 8; ++i) imageView({i * 8.0f, 0, 8, 8}, shared);
  auto lone = imageView({0, 40, 8, 8}, filled(8, 8, {0, 0, 255, 255}));
  draw();
  const render::FrameStats first = compositor->lastFrameStats();
  EXPECT_EQ(first.quadsDrawn, 10);  // with the root's background
  EXPECT_EQ(first.drawCalls, 3);    // background, the eight tiles, the lone one
  lone->setImage(nullptr);
  const kit::Bitmap out = draw();
  EXPECT_EQ(compositor->lastFrameStats().texturesAlive, first.texturesAlive - 1);
  EXPECT_TRUE(near(pixel(out, 4, 44), {255, 255, 255, 255}));
  EXPECT_TRUE(near(pixel(out, 60, 4), {255, 0, 0, 255}));
}

TEST_P(GlScene, APictureLargerThanTheLargestTextureIsScaledDownToFit) {
  GLint largest = 0;
  glGetIntegerv(GL_MAX_TEXTURE_SIZE, &largest);
  ASSERT_GT(largest, 0);
  const int width = largest + 16;
  auto b = std::make_shared<kit::Bitmap>(kit::Bitmap::make(width, 2, kit::PixelFormat::RGBA8));
  for (int y = 0; y < 2; ++y)
    for (int x = 0; x < width; ++x) {
      std::uint8_t* p = b->row(y) + x * 4;
      p[x < width / 2 ? 0 : 2] = 255;
      p[3] = 255;
    }
  auto v = imageView({0, 0, kSize, kSize}, b);
  const kit::Bitmap out = draw();
  EXPECT_TRUE(near(pixel(out, 8, 32), {255, 0, 0, 255}));
  EXPECT_TRUE(near(pixel(out, 56, 32), {0, 0, 255, 255}));
  EXPECT_EQ(v->image()->size().width, width);  // the model keeps its picture
}

TEST_P(GlScene, ZoomedOutDetailAveragesInsteadOfShimmering) {
  // One-pixel black and white columns, shown at an eighth of their size.
  auto b = std::make_shared<kit::Bitmap>(kit::Bitmap::make(512, 512, kit::PixelFormat::Gray8));
  for (int y = 0; y < 512; ++y)
    for (int x = 0; x < 512; ++x) b->row(y)[x] = x % 2 ? 255 : 0;
  auto v = imageView({0, 0, kSize, kSize}, b);
  v->setTransform(kit::AffineTransform::makeRotation(0.3f));
  const kit::Bitmap out = draw();
  int off = 0;
  for (int y = 24; y < 40; ++y)
    for (int x = 24; x < 40; ++x) off += !near(pixel(out, x, y), {128, 128, 128, 255}, 16);
  EXPECT_EQ(off, 0);
}

TEST_P(GlScene, AFieldOfMirroredTilesIsOneDrawShowingEachTileTheRightWayRound) {
  // Stored: red green / blue white; tiles of 8 × 8 points, mirrored as the table's are.
  auto b = std::make_shared<kit::Bitmap>(kit::Bitmap::make(2, 2, kit::PixelFormat::RGBA8));
  b->pixels = {255, 0, 0, 255, 0, 255, 0, 255, 0, 0, 255, 255, 255, 255, 255, 255};
  using O = kit::ImageOrientation;
  const O byParity[4] = {O::Up, O::UpMirrored, O::DownMirrored, O::Down};
  auto field = std::make_shared<kit::View>(kit::Rect{0, 0, kSize, kSize});
  for (int j = 0; j < 8; ++j)
    for (int i = 0; i < 8; ++i) {
      auto tile = std::make_shared<kit::ImageView>(
          std::make_shared<kit::Image>(b, byParity[i % 2 + 2 * (j % 2)]));
      tile->setFrame({i * 8.0f, j * 8.0f, 8, 8});
      field->addSubview(tile);
    }
  root->addSubview(field);
  root->setClipsToBounds(true);  // a clip round the whole viewport hides nothing
  const Rgba red{255, 0, 0, 255}, green{0, 255, 0, 255}, blue{0, 0, 255, 255},
      white{255, 255, 255, 255};
  const kit::Bitmap out = draw();
  const render::FrameStats stats = compositor->lastFrameStats();
  EXPECT_EQ(stats.drawCalls, 1);
  EXPECT_EQ(stats.quadsHidden, 1);  // the root's white, under the opaque field
  // Each tile's top-left texel, by the tile's parities.
  EXPECT_TRUE(near(pixel(out, 1, 1), red));
  EXPECT_TRUE(near(pixel(out, 9, 1), green));
  EXPECT_TRUE(near(pixel(out, 1, 9), blue));
  EXPECT_TRUE(near(pixel(out, 9, 9), white));
  EXPECT_TRUE(near(pixel(out, 57, 57), white));
  // Neighbours meet on the same colour: no seam.
  for (int x = 6; x < 10; ++x) EXPECT_TRUE(near(pixel(out, x, 1), green)) << x;
  for (int y = 6; y < 10; ++y) EXPECT_TRUE(near(pixel(out, 1, y), blue)) << y;

  // Half transparent, the field hides nothing beneath it.
  field->setAlpha(0.5f);
  const kit::Bitmap faded = draw();
  EXPECT_EQ(compositor->lastFrameStats().quadsHidden, 0);
  EXPECT_TRUE(near(pixel(faded, 1, 1), {255, 128, 128, 255}));
}

TEST_P(GlScene, AFieldAsOneQuadLooksAsItsTilesDrawnOneByOneAtEveryZoomTheTableTakes) {
  // A picture with detail in every texel, so that a tile drawn the wrong
  // way round or a seam between tiles shows.
  auto b = std::make_shared<kit::Bitmap>(kit::Bitmap::make(8, 8, kit::PixelFormat::RGBA8));
  for (int y = 0; y < 8; ++y)
    for (int x = 0; x < 8; ++x) {
      std::uint8_t* p = b->row(y) + x * 4;
      p[0] = static_cast<std::uint8_t>(x * 32);
      p[1] = static_cast<std::uint8_t>(y * 32);
      p[2] = static_cast<std::uint8_t>((x * y * 37) % 256);
      p[3] = 255;
    }
  using O = kit::ImageOrientation;
  const O byParity[4] = {O::Up, O::UpMirrored, O::DownMirrored, O::Down};
  constexpr int kTiles = 48;  // 384 points: over the viewport however turned at zoom 2
  auto field = std::make_shared<kit::View>(kit::Rect{0, 0, kTiles * 8.0f, kTiles * 8.0f});
  for (int j = 0; j < kTiles; ++j)
    for (int i = 0; i < kTiles; ++i) {
      auto tile = std::make_shared<kit::ImageView>(
          std::make_shared<kit::Image>(b, byParity[i % 2 + 2 * (j % 2)]));
      tile->setFrame({i * 8.0f, j * 8.0f, 8, 8});
      field->addSubview(tile);
    }
  field->setCenter({kSize / 2.0f + 3, kSize / 2.0f + 5});  // off the pixel grid's symmetry
  root->addSubview(field);
  // An empty view inside one tile draws nothing but makes the field an
  // ordinary subtree, drawn tile by tile.
  auto breaker = std::make_shared<kit::View>(kit::Rect{0, 0, 1, 1});

  for (float zoom : {1 / 6.0f, 0.25f, 1 / 3.0f, 0.5f, 0.75f, 1.0f, 1.5f, 2.0f}) {
    SCOPED_TRACE(testing::Message() << "zoom " << zoom);
    using T = kit::AffineTransform;
    field->setTransform(
        T::concat(T::makeRotation(std::numbers::pi_v<float> / 6), T::makeScale(zoom, zoom)));
    breaker->removeFromSuperview();
    const kit::Bitmap asOne = draw();
    const int fieldQuads = compositor->lastFrameStats().quadsDrawn;
    field->subviews()[kTiles + 1]->addSubview(breaker);
    const kit::Bitmap tileByTile = draw();
    ASSERT_LT(fieldQuads, 3);
    ASSERT_GT(compositor->lastFrameStats().quadsDrawn, 10);

    EXPECT_LE(pixelsDiffering(asOne, tileByTile), kDifferingFraction * kSize * kSize);
  }
}

TEST_P(GlScene, OpaqueQuadsShareTheCallOfTheTranslucentOneTheyLieOnWhileTheyAreSmall) {
  auto solid = [&](const kit::Rect& frame, kit::Color c) {
    auto v = std::make_shared<kit::View>(frame);
    v->setBackgroundColor(c);
    root->addSubview(v);
    return v;
  };
  solid({8, 8, 48, 48}, {0, 0, 0, 0.5f});  // a panel
  solid({12, 12, 16, 8}, {0, 0, 1, 1});    // and its buttons
  solid({36, 12, 16, 8}, {0, 0, 1, 1});
  const kit::Bitmap out = draw();
  // The white under everything, then the panel with its buttons.
  EXPECT_EQ(compositor->lastFrameStats().drawCalls, 2);
  EXPECT_TRUE(near(pixel(out, 4, 4), {255, 255, 255, 255}));
  EXPECT_TRUE(near(pixel(out, 30, 40), {128, 128, 128, 255}));
  EXPECT_TRUE(near(pixel(out, 14, 14), {0, 0, 255, 255}));
  EXPECT_TRUE(near(pixel(out, 50, 18), {0, 0, 255, 255}));

  // Blending half the viewport to draw it opaque costs more than a call.
  solid({8, 24, 48, 32}, {1, 0, 0, 1});
  const kit::Bitmap more = draw();
  EXPECT_EQ(compositor->lastFrameStats().drawCalls, 3);
  EXPECT_TRUE(near(pixel(more, 30, 40), {255, 0, 0, 255}));
  EXPECT_TRUE(near(pixel(more, 14, 14), {0, 0, 255, 255}));
}

TEST_P(GlScene, ABlackShadeOverTheWholeViewportDarkensWhatIsUnderItWithoutAPassOfItsOwn) {
  imageView({0, 0, 32, 32}, filled(4, 4, {255, 0, 0, 255}));
  auto glass = std::make_shared<kit::View>(kit::Rect{32, 0, 16, 16});
  glass->setBackgroundColor({0, 1, 0, 0.5f});
  root->addSubview(glass);
  // Larger than the viewport, as a shadow round the screen is.
  auto shade = std::make_shared<kit::View>(kit::Rect{-8, -8, 80, 80});
  shade->setBackgroundColor({0, 0, 0, 0.25f});
  root->addSubview(shade);
  auto above = std::make_shared<kit::View>(kit::Rect{40, 40, 8, 8});
  above->setBackgroundColor({1, 0, 0, 1});
  root->addSubview(above);

  const kit::Bitmap out = draw();
  const render::FrameStats stats = compositor->lastFrameStats();
  EXPECT_EQ(stats.quadsFolded, 1);
  EXPECT_EQ(stats.quadsDrawn, 4);  // the white, the picture, the glass and the square above
  EXPECT_TRUE(near(pixel(out, 60, 4), {191, 191, 191, 255}));
  EXPECT_TRUE(near(pixel(out, 8, 8), {191, 0, 0, 255}));
  EXPECT_TRUE(near(pixel(out, 40, 8), {96, 191, 96, 255}));
  EXPECT_TRUE(near(pixel(out, 44, 44), {255, 0, 0, 255}));  // above the shade: as it is

  // A grey shade adds light as well as taking it: drawn as it is.
  shade->setBackgroundColor({0.5f, 0.5f, 0.5f, 0.25f});
  const kit::Bitmap grey = draw();
  EXPECT_EQ(compositor->lastFrameStats().quadsFolded, 0);
  EXPECT_TRUE(near(pixel(grey, 60, 4), {223, 223, 223, 255}));
  EXPECT_TRUE(near(pixel(grey, 8, 8), {223, 32, 32, 255}));

  // Over a frame that is not opaque the shade also adds to its alpha: drawn as it is.
  shade->setBackgroundColor({0, 0, 0, 0.25f});
  root->setBackgroundColor({1, 1, 1, 0.5f});
  const kit::Bitmap seeThrough = draw({0, 0, 0, 0});
  EXPECT_EQ(compositor->lastFrameStats().quadsFolded, 0);
  EXPECT_TRUE(near(pixel(seeThrough, 60, 4), {153, 153, 153, 160}));  // straight alpha
}

INSTANTIATE_TEST_SUITE_P(Gles, GlScene, ::testing::Values(3, 2),
                         [](const ::testing::TestParamInfo<int>& v) {
                           return "Es" + std::to_string(v.param);
                         });

}  // namespace
