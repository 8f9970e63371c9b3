// The rub-to-reveal fake screen: where the brush lands for pans and taps,
// when the whole screen goes, the status bar it shows and hides, starting
// it again, and the picture drawn through the mask on a real GL context.
#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <optional>
#include <string>

#include "app/vitrane_view_controller.h"
#include "fakescreen/rubbed_view.h"
#include "kit/gesture_recognizer.h"
#include "render/compositor.h"
#include "render/gl_program.h"
#include "render/mask_texture.h"
#include "render/offscreen_context.h"
#include "tests/app_fixture.h"

namespace {

using kit::GestureState;

kit::ImageRef solidImage(int w, int h, kit::PixelFormat format, std::uint8_t value) {
  auto b = std::make_shared<kit::Bitmap>(kit::Bitmap::make(w, h, format));
  b->pixels.assign(b->pixels.size(), value);
  return std::make_shared<kit::Image>(b);
}

// The box of mask samples that are no longer white (empty: none).
kit::SampleBox darkenedBox(const kit::GreyBitmapContext& mask) {
  kit::SampleBox box;
  for (int y = 0; y < mask.height(); ++y) {
    const std::uint8_t* row = mask.bitmap().row(y);
    for (int x = 0; x < mask.width(); ++x)
      if (row[x] != 255) box = box.unite({x, y, x + 1, y + 1});
  }
  return box;
}

class FakeScreen : public apptest::LaunchedApp {
 protected:
  RubbedView& fake() { return *vc().outlets.iPhoneDesktopView; }

  // Starts the trick with a brush that is black all over, so each stamp
  // darkens exactly its rectangle.
  void startWithSolidBrush() {
    vc().showFakeScreen();
    fake().updateRubbingImages(fake().revealedImage(),
                               solidImage(80, 80, kit::PixelFormat::Gray8, 0));
    forgetLog();
  }
  void pan(GestureState state, kit::Point p, int touches = 1) {
    kit::PanGestureRecognizer& g = *fake().rubPanGesture();
    g.setTouches(p, touches);
    g.setState(state);
  }
  kit::SampleBox stamped() { return darkenedBox(*fake().alphaContext()); }
  bool statusBarHidden() { return platform().application().isStatusBarHidden(); }
};

TEST_F(FakeScreen, StartingHidesThePanelShowsTheStatusBarAndAWhiteMaskPivotingAtTheCentre) {
  runner.advanceTo(0.35);  // the panel has faded in
  platform().application().setStatusBarHidden(true);
  vc().pivot.moveTo(vc().geometry.topLeft.anchor);
  forgetLog();
  vc().showFakeScreen();
  EXPECT_EQ(newLog(), std::vector<std::string>{"Disappearing Screen Demo."});
  EXPECT_EQ(vc().outlets.instructionsView->alpha(), 0.0f);
  EXPECT_TRUE(vc().fakeScreen.rubbingLayerVisible);
  EXPECT_FALSE(statusBarHidden());
  EXPECT_EQ(platform().application().lastStatusBarAnimation(), kit::StatusBarAnimation::Slide);
  EXPECT_EQ(vc().pivot.currentAnchor(), vc().geometry.center.anchor);
  EXPECT_TRUE(vc().pivot.anchorSetByTwist());
  EXPECT_FALSE(fake().isHidden());
  EXPECT_TRUE(fake().isUserInteractionEnabled());
  EXPECT_FALSE(fake().begunRub);
  ASSERT_NE(fake().alphaContext(), nullptr);
  EXPECT_EQ(fake().alphaContext()->width(), 768);
  EXPECT_EQ(fake().alphaContext()->height(), 1024);
  EXPECT_EQ(fake().erasedFraction(), 0);
  // The fake screen is what a finger now touches.
  EXPECT_EQ(vc().view()->hitTest({400, 600}), &fake());
  // Its recognisers: up to three fingers rub, one taps, a 3 s press shows the panel.
  EXPECT_EQ(fake().rubPanGesture()->maximumNumberOfTouches, 3);
  EXPECT_EQ(fake().rubTapGesture()->numberOfTapsRequired, 1);
  EXPECT_EQ(fake().veryLongPressGesture()->minimumPressDuration, 3.0);
  EXPECT_EQ(fake().gestureRecognizers().size(), 3u);
}

TEST_F(FakeScreen, AOneFingerPanStampsAtThePreviousPointStretchedOverLongMoves) {
  startWithSolidBrush();
  pan(GestureState::Began, {100, 100});
  EXPECT_EQ(stamped(), (kit::SampleBox{50, 50, 150, 150}));
  EXPECT_FALSE(fake().isMidPan);
  EXPECT_TRUE(fake().begunRub);
  // A small step stamps the first point again; the new point is not stamped.
  pan(GestureState::Changed, {130, 100});
  EXPECT_EQ(stamped(), (kit::SampleBox{50, 50, 150, 150}));
  EXPECT_TRUE(fake().isMidPan);
  // A long jump stretches the stamp right from the previous point.
  pan(GestureState::Changed, {430, 120});
  EXPECT_EQ(stamped(), (kit::SampleBox{50, 50, 380, 150}));  // (80, 50, 300, 100) added
  EXPECT_EQ(fake().rubbedRect, kit::Rect(100, 100, 330, 20));
  pan(GestureState::Ended, {430, 120});
  EXPECT_FALSE(fake().isMidPan);
  EXPECT_EQ(stamped(), (kit::SampleBox{50, 50, 380, 150}));  // the last point is never stamped
}

TEST_F(FakeScreen, TheJumpOfTheExampleAndTwoOrThreeFingerStamps) {
  startWithSolidBrush();
  pan(GestureState::Began, {100, 100});
  pan(GestureState::Changed, {400, 120});
  EXPECT_EQ(stamped(), (kit::SampleBox{50, 50, 350, 150}));  // (50, 50, 300, 100)

  for (int fingers : {2, 3}) {
    startWithSolidBrush();
    pan(GestureState::Began, {300, 300}, fingers);
    EXPECT_EQ(stamped(), (kit::SampleBox{200, 200, 400, 400})) << fingers;
    pan(GestureState::Changed, {320, 300}, fingers);
    EXPECT_EQ(stamped(), (kit::SampleBox{200, 200, 400, 400})) << fingers;
  }
}

TEST_F(FakeScreen, ATapErasesASquareAndHidesThePanelButNeverCountsTowardTheEnd) {
  startWithSolidBrush();
  vc().showInstructionsPanel();
  kit::TapGestureRecognizer& tap = *fake().rubTapGesture();
  tap.setTouches({300, 300}, 1);
  tap.setState(GestureState::Began);  // not yet a tap
  EXPECT_EQ(stamped(), kit::SampleBox{});
  tap.setState(GestureState::Ended);
  EXPECT_EQ(stamped(), (kit::SampleBox{250, 250, 350, 350}));
  EXPECT_EQ(vc().outlets.instructionsView->alpha(), 0.0f);
  EXPECT_FALSE(fake().begunRub);
  EXPECT_FALSE(statusBarHidden());
  // Taps all over the screen never make it vanish.
  for (float y = 50; y < 1100; y += 100)
    for (float x = 50; x < 768; x += 100) {
      tap.setTouches({x, y}, 1);
      tap.setState(GestureState::Ended);
    }
  EXPECT_FALSE(fake().isHidden());
  EXPECT_EQ(fake().erasedFraction(), 1.0);
}

TEST_F(FakeScreen, TheScreenGoesOnlyWhenTheRubbedBoxIsLargerThanThreeQuartersOfIt) {
  startWithSolidBrush();
  // 768 × 768 = 589,824 = 0.75 × 768 × 1024 exactly: not enough.
  pan(GestureState::Began, {0, 100});
  pan(GestureState::Changed, {768, 868});
  EXPECT_EQ(fake().rubbedRect, kit::Rect(0, 100, 768, 768));
  EXPECT_FALSE(fake().isHidden());
  // A fraction more whose whole-number part is the same: still not.
  pan(GestureState::Changed, {768, 868.0006f});
  ASSERT_EQ(static_cast<long>(fake().rubbedRect.size.width * fake().rubbedRect.size.height),
            589824);
  EXPECT_GT(fake().rubbedRect.size.width * fake().rubbedRect.size.height, 589824.0f);
  EXPECT_FALSE(fake().isHidden());
  EXPECT_TRUE(newLog().empty());
  // One more whole square point: gone.
  pan(GestureState::Changed, {768, 868.002f});
  EXPECT_EQ(newLog(), std::vector<std::string>{"Finish uncovering with width"});
  EXPECT_TRUE(fake().isHidden());
  EXPECT_FALSE(fake().isUserInteractionEnabled());
  EXPECT_TRUE(statusBarHidden());
  EXPECT_EQ(platform().application().lastStatusBarAnimation(), kit::StatusBarAnimation::Fade);
  EXPECT_EQ(fake().rubbedRect, kit::Rect(0, 0, 768, 1024));
  EXPECT_FALSE(fake().begunRub);
  // The event's own stamp lands in the new mask...
  EXPECT_EQ(stamped(), (kit::SampleBox{718, 818, 768, 918}));
  // ...and nothing takes a touch there now: the world beneath gets it.
  EXPECT_NE(vc().view()->hitTest({400, 600}), &fake());
  pan(GestureState::Ended, {768, 868.002f});

  // The next start shows a whole, white picture again.
  vc().showFakeScreen();
  EXPECT_FALSE(fake().isHidden());
  EXPECT_TRUE(fake().isUserInteractionEnabled());
  EXPECT_EQ(fake().erasedFraction(), 0);
  EXPECT_FALSE(fake().begunRub);
  EXPECT_FALSE(statusBarHidden());
  EXPECT_EQ(vc().view()->hitTest({400, 600}), &fake());
  // setupRubbing gives the view its recognisers once only.
  EXPECT_EQ(fake().gestureRecognizers().size(), 3u);
}

TEST_F(FakeScreen, RubbingTheStatusBarStripHidesIt) {
  startWithSolidBrush();
  pan(GestureState::Began, {300, 20});
  EXPECT_FALSE(statusBarHidden());
  pan(GestureState::Changed, {300, 19.5f});
  EXPECT_TRUE(statusBarHidden());
  EXPECT_EQ(platform().application().lastStatusBarAnimation(), kit::StatusBarAnimation::Fade);
  // Only the rubbing's start shows it again.
  pan(GestureState::Changed, {300, 400});
  EXPECT_TRUE(statusBarHidden());
  vc().showFakeScreen();
  EXPECT_FALSE(statusBarHidden());
}

TEST_F(FakeScreen, AVeryLongPressShowsThePanel) {
  vc().showFakeScreen();
  kit::LongPressGestureRecognizer& press = *fake().veryLongPressGesture();
  press.setTouches({400, 500}, 1);
  press.setState(GestureState::Ended);
  EXPECT_EQ(vc().outlets.instructionsView->alpha(), 0.0f);
  press.setState(GestureState::Began);
  EXPECT_EQ(vc().outlets.instructionsView->alpha(), 1.0f);
  vc().hideInstructionsPanel();
  press.setState(GestureState::Changed);
  EXPECT_EQ(vc().outlets.instructionsView->alpha(), 1.0f);
}

TEST_F(FakeScreen, ThePanelItBringsBackLiesOverItAndTakesItsTouches) {
  vc().showFakeScreen();
  kit::LongPressGestureRecognizer& press = *fake().veryLongPressGesture();
  press.setTouches({400, 500}, 1);
  press.setState(GestureState::Began);

  kit::View& main = *vc().view();
  kit::Button& button = *vc().outlets.showFakeScreenButton;
  const kit::Point onButton = button.convertPointToView(
      {button.bounds().size.width / 2, button.bounds().size.height / 2}, &main);
  EXPECT_EQ(main.hitTest(onButton), &button);
  // Hidden again, the panel lets the fake screen have its touches.
  vc().hideInstructionsPanel();
  EXPECT_EQ(main.hitTest(onButton), &fake());
}

TEST_F(FakeScreen, EachRedrawTakesOneFreshSnapshotOfTheMask) {
  vc().showFakeScreen();
  fake().displayIfNeeded();
  const kit::GreyImageRef first = fake().alphaCGImage();
  ASSERT_NE(first, nullptr);
  EXPECT_EQ(fake().drawing().size(), 1u);
  EXPECT_EQ(fake().drawing()[0].mask, first);
  // Requests between redraws make one redraw.
  pan(GestureState::Began, {200, 200});
  pan(GestureState::Changed, {210, 200});
  EXPECT_EQ(fake().alphaCGImage(), first);
  fake().displayIfNeeded();
  const kit::GreyImageRef second = fake().alphaCGImage();
  EXPECT_NE(second, first);
  EXPECT_EQ(second->bitmap().pixels, fake().alphaContext()->bitmap().pixels);
  // The view gave the old one up; the snapshot and its drawing hold the new one.
  EXPECT_EQ(first.use_count(), 1);
  EXPECT_EQ(second.use_count(), 3);
}

// --- The picture through the mask, drawn ----------------------------------------

struct Rgba {
  int r, g, b, a;
};

Rgba pixel(const kit::Bitmap& b, int x, int y) {
  const std::uint8_t* p = b.row(y) + x * 4;
  return {p[0], p[1], p[2], p[3]};
}

::testing::AssertionResult near(Rgba actual, Rgba expected, int tolerance = 3) {
  const int d = std::max({std::abs(actual.r - expected.r), std::abs(actual.g - expected.g),
                          std::abs(actual.b - expected.b), std::abs(actual.a - expected.a)});
  if (d <= tolerance) return ::testing::AssertionSuccess();
  return ::testing::AssertionFailure()
         << "(" << actual.r << "," << actual.g << "," << actual.b << "," << actual.a
         << ") instead of (" << expected.r << "," << expected.g << "," << expected.b << ","
         << expected.a << ")";
}

TEST_F(FakeScreen, TheSnapshotShowsTheTableThroughWhatWasRubbedAndThePictureElsewhere) {
  std::optional<kit::Bitmap> table;
  try {
    table = runner.snapshot();
  } catch (const render::OffscreenError& e) {
    GTEST_SKIP() << e.what();
  }
  vc().showFakeScreen();
  kit::TapGestureRecognizer& tap = *fake().rubTapGesture();
  tap.setTouches({300, 800}, 1);
  tap.setState(GestureState::Ended);
  ASSERT_EQ(fake().alphaContext()->bitmap().row(800)[300], 0);  // the brush's black centre
  const kit::Bitmap shot = runner.snapshot();
  EXPECT_TRUE(near(pixel(shot, 300, 800), pixel(*table, 300, 800), 6));
  // Elsewhere, the fake home screen as it is stored.
  const kit::Bitmap& picture = *fake().revealedImage()->bitmap();
  ASSERT_EQ(picture.format, kit::PixelFormat::RGBA8);
  for (const auto& [x, y] :
       {std::pair{600, 800}, std::pair{100, 300}, std::pair{700, 1000}, std::pair{300, 680}}) {
    const std::uint8_t* p = picture.row(y) + x * 4;
    EXPECT_TRUE(near(pixel(shot, x, y), {p[0], p[1], p[2], 255})) << x << "," << y;
  }
  // With the status bar's black strip across the top.
  EXPECT_TRUE(near(pixel(shot, 20, 10), {0, 0, 0, 255}));
}

// A fake screen alone on a small blue scene, on the OpenGL ES 3 path and on
// the 2.0 fallback, with a brush that is black all over.
class MaskedScene : public ::testing::TestWithParam<int> {
 protected:
  static constexpr int kSize = 256;

  void SetUp() override {
    try {
      gl = std::make_unique<render::OffscreenContext>(kSize, kSize);
      compositor = std::make_unique<render::Compositor>(GetParam());
    } catch (const render::OffscreenError& e) {
      GTEST_SKIP() << e.what();
    }
    root->setBackgroundColor({0, 0, 1, 1});
    fake->setFrame({0, 0, kSize, kSize});
    fake->updateRubbingImages(solidImage(kSize, kSize, kit::PixelFormat::RGBA8, 255),
                              solidImage(8, 8, kit::PixelFormat::Gray8, 0));
    fake->setupRubbing();
    root->addSubview(fake);
  }

  kit::Bitmap draw() {
    gl->makeCurrent();
    render::FrameSettings s;
    s.viewportWidth = s.viewportHeight = kSize;
    compositor->draw(*root, s);
    return gl->readPixels();
  }

  void tap(kit::Point p) {
    fake->rubTapGesture()->setTouches(p, 1);
    fake->rubTapGesture()->setState(GestureState::Ended);
  }

  std::unique_ptr<render::OffscreenContext> gl;
  std::unique_ptr<render::Compositor> compositor;
  std::shared_ptr<kit::View> root = std::make_shared<kit::View>(kit::Rect{0, 0, kSize, kSize});
  std::shared_ptr<RubbedView> fake = std::make_shared<RubbedView>();
};

TEST_P(MaskedScene, ThePictureShowsWhereTheMaskIsWhiteAndWhatIsBehindWhereItIsBlack) {
  const Rgba white{255, 255, 255, 255}, blue{0, 0, 255, 255};
  kit::Bitmap out = draw();
  EXPECT_TRUE(near(pixel(out, 60, 60), white));
  tap({60, 60});
  out = draw();
  EXPECT_TRUE(near(pixel(out, 60, 60), blue));
  EXPECT_TRUE(near(pixel(out, 14, 14), blue));  // the square's corner
  EXPECT_TRUE(near(pixel(out, 8, 8), white));   // outside it
  EXPECT_TRUE(near(pixel(out, 200, 200), white));
  // A second stamp updates the texture in place.
  tap({190, 190});
  out = draw();
  EXPECT_TRUE(near(pixel(out, 190, 190), blue));
  EXPECT_TRUE(near(pixel(out, 60, 60), blue));
  EXPECT_TRUE(near(pixel(out, 240, 20), white));
  // Half-transparent, the picture blends with what is behind.
  fake->setAlpha(0.5f);
  out = draw();
  EXPECT_TRUE(near(pixel(out, 240, 20), {128, 128, 255, 255}));
  EXPECT_TRUE(near(pixel(out, 190, 190), blue));
}

TEST_P(MaskedScene, AStampUploadsItsRectangleAndNotTheWholeMask) {
  gl->makeCurrent();
  render::GlCapabilities caps = render::queryGlCapabilities();
  caps.majorVersion = std::min(caps.majorVersion, GetParam());
  render::MaskTextures masks(caps);
  fake->displayIfNeeded();
  const render::MaskTextures::Texture fresh = masks.textureFor(*fake->alphaCGImage());
  ASSERT_NE(fresh.id, 0u);
  EXPECT_TRUE(fresh.white);  // hides nothing: what is drawn through it covers what is below
  EXPECT_EQ(masks.uploadedSamples(), static_cast<std::uint64_t>(kSize) * kSize);
  tap({100, 100});
  fake->displayIfNeeded();
  EXPECT_FALSE(masks.textureFor(*fake->alphaCGImage()).white);
  EXPECT_EQ(masks.uploadedSamples(), static_cast<std::uint64_t>(kSize) * kSize + 100 * 100);
  // Asked again with nothing new: nothing copied.
  masks.textureFor(*fake->alphaCGImage());
  EXPECT_EQ(masks.uploadedSamples(), static_cast<std::uint64_t>(kSize) * kSize + 100 * 100);
  // A fresh mask (a new start) is a new texture, filled whole.
  fake->setupRubbing();
  fake->setNeedsDisplay();
  fake->displayIfNeeded();
  EXPECT_TRUE(masks.textureFor(*fake->alphaCGImage()).white);
  EXPECT_EQ(masks.uploadedSamples(), 2ull * kSize * kSize + 100 * 100);
  EXPECT_EQ(masks.size(), 2);
  masks.collect();
  masks.textureFor(*fake->alphaCGImage());
  masks.collect();  // the old mask was not asked for since: gone
  EXPECT_EQ(masks.size(), 1);
  EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
}

INSTANTIATE_TEST_SUITE_P(Gles, MaskedScene, ::testing::Values(3, 2),
                         [](const ::testing::TestParamInfo<int>& v) {
                           return "Es" + std::to_string(v.param);
                         });

}  // namespace
