// Grey 8-bit bitmap contexts: fills and scaled images under the normal and
// plus-darker modes, which samples a rectangle covers, snapshots and the
// record of what changed since an earlier one.
#include <gtest/gtest.h>

#include <memory>

#include "kit/grey_bitmap_context.h"

namespace {

using kit::BlendMode;
using kit::GreyBitmapContext;
using kit::SampleBox;

int at(const GreyBitmapContext& c, int x, int y) { return c.bitmap().row(y)[x]; }

kit::Image greyImage(int w, int h, std::uint8_t value) {
  auto b = std::make_shared<kit::Bitmap>(kit::Bitmap::make(w, h, kit::PixelFormat::Gray8));
  b->pixels.assign(b->pixels.size(), value);
  return kit::Image(b);
}

GreyBitmapContext white(int w, int h) {
  GreyBitmapContext c(w, h);
  c.setFillGray(1);
  c.fillRect({0, 0, static_cast<float>(w), static_cast<float>(h)});
  c.setBlendMode(BlendMode::PlusDarker);
  return c;
}

TEST(GreyBitmapContext, PlusDarkerAddsAndTakesAwayOneClampingAtBlack) {
  GreyBitmapContext c = white(8, 8);
  EXPECT_EQ(c.fractionBelowWhite(), 0);
  // 0.6 over white leaves 0.6; again over that leaves 0.2; a third time black.
  c.setFillGray(0.6f);
  c.fillRect({0, 0, 4, 8});
  EXPECT_EQ(at(c, 0, 0), 153);
  c.fillRect({0, 0, 2, 8});
  EXPECT_EQ(at(c, 0, 0), 51);
  EXPECT_EQ(at(c, 3, 0), 153);
  c.fillRect({0, 0, 1, 8});
  EXPECT_EQ(at(c, 0, 0), 0);
  EXPECT_EQ(at(c, 4, 0), 255);  // outside every fill
  // White takes nothing away.
  c.setFillGray(1);
  c.fillRect({0, 0, 8, 8});
  EXPECT_EQ(at(c, 3, 0), 153);
  EXPECT_DOUBLE_EQ(c.fractionBelowWhite(), 0.5);

  // A half-transparent black source darkens by half under either mode.
  GreyBitmapContext n = white(2, 1);
  n.setBlendMode(BlendMode::Normal);
  n.setFillGray(0, 0.5f);
  n.fillRect({0, 0, 1, 1});
  n.setBlendMode(BlendMode::PlusDarker);
  n.fillRect({1, 0, 1, 1});
  EXPECT_NEAR(at(n, 0, 0), 127, 1);
  EXPECT_NEAR(at(n, 1, 0), 127, 1);
}

TEST(GreyBitmapContext, ARectangleCoversTheSamplesWhoseCentresItHoldsAndNothingOutside) {
  GreyBitmapContext c = white(10, 10);
  c.setFillGray(0);
  c.fillRect({2.4f, 3.6f, 2.2f, 2.0f});  // centres 2.5 .. 4.5 across, 4.5 .. 5.5 down
  for (int y = 0; y < 10; ++y)
    for (int x = 0; x < 10; ++x) {
      const bool inside = x >= 2 && x <= 4 && y >= 4 && y <= 5;
      ASSERT_EQ(at(c, x, y), inside ? 0 : 255) << x << "," << y;
    }
  // Hanging over every edge, negative sizes, and nonsense: clipped, never
  // written outside the samples.
  GreyBitmapContext d = white(4, 4);
  d.setFillGray(0);
  d.fillRect({-100, -100, 101, 1000});
  d.fillRect({4, 4, -1, -1});
  d.fillRect({1, 1, std::numeric_limits<float>::quiet_NaN(), 2});
  d.drawImage({-50, 3, 1e9f, 1e9f}, greyImage(2, 2, 0));
  EXPECT_EQ(at(d, 0, 1), 0);  // the first column, top to bottom
  EXPECT_EQ(at(d, 1, 1), 255);
  EXPECT_EQ(at(d, 2, 2), 255);
  EXPECT_EQ(at(d, 1, 3), 0);  // the bottom row, from the image
  EXPECT_EQ(at(d, 3, 3), 0);
  EXPECT_EQ(d.bitmap().pixels.size(), 16u);
}

TEST(GreyBitmapContext, AnImageIsScaledIntoItsRectangleAndErasesWhereItIsDark) {
  // Left half black, right half white, stretched from 4 × 2 to 8 × 4.
  auto b = std::make_shared<kit::Bitmap>(kit::Bitmap::make(4, 2, kit::PixelFormat::Gray8));
  b->pixels = {0, 0, 255, 255, 0, 0, 255, 255};
  GreyBitmapContext c = white(12, 6);
  c.drawImage({2, 1, 8, 4}, kit::Image(b));
  EXPECT_EQ(at(c, 2, 1), 0);
  EXPECT_EQ(at(c, 4, 3), 0);
  EXPECT_EQ(at(c, 9, 4), 255);
  EXPECT_EQ(at(c, 1, 2), 255);  // left of the rectangle
  EXPECT_EQ(at(c, 2, 0), 255);  // above it
  // Between the halves the filter blends.
  EXPECT_GT(at(c, 5, 2), 0);
  EXPECT_LT(at(c, 6, 2), 255);
  EXPECT_LT(at(c, 5, 2), at(c, 6, 2));

  // Mirrored left to right, the dark half is on the right.
  GreyBitmapContext m = white(8, 4);
  m.drawImage({0, 0, 8, 4}, kit::Image(b, kit::ImageOrientation::UpMirrored));
  EXPECT_EQ(at(m, 7, 0), 0);
  EXPECT_EQ(at(m, 0, 0), 255);
  // A quarter turn clockwise: the stored left column becomes the top row.
  GreyBitmapContext t = white(2, 4);
  t.drawImage({0, 0, 2, 4}, kit::Image(b, kit::ImageOrientation::Right));
  EXPECT_EQ(at(t, 0, 0), 0);
  EXPECT_EQ(at(t, 1, 3), 255);
}

TEST(GreyBitmapContext, TransparentPartsOfAColourImageLeaveTheSamplesAlone) {
  auto b = std::make_shared<kit::Bitmap>(kit::Bitmap::make(2, 1, kit::PixelFormat::RGBA8));
  b->pixels = {0, 0, 0, 0, 0, 0, 0, 255};  // clear, then opaque black
  GreyBitmapContext c = white(2, 1);
  c.drawImage({0, 0, 2, 1}, kit::Image(b));
  EXPECT_EQ(at(c, 0, 0), 255);
  EXPECT_EQ(at(c, 1, 0), 0);
}

TEST(GreyBitmapContext, SnapshotsKeepTheirSamplesAndTellWhatChangedSinceAnEarlierOne) {
  GreyBitmapContext c = white(20, 20);
  const kit::GreyImageRef first = c.makeImage();
  c.setFillGray(0);
  c.fillRect({1, 2, 3, 4});
  c.fillRect({10, 10, 2, 2});
  const kit::GreyImageRef second = c.makeImage();
  EXPECT_EQ(first->bitmap().row(2)[1], 255);  // a copy, not a view
  EXPECT_EQ(second->bitmap().row(2)[1], 0);
  EXPECT_EQ(second->source(), first->source());
  EXPECT_EQ(second->changedSince(first->generation()), (SampleBox{1, 2, 12, 12}));
  EXPECT_EQ(second->changedSince(second->generation()), SampleBox{});
  // Nothing is known of the future, nor of another context's history.
  EXPECT_FALSE(first->changedSince(second->generation()));
  EXPECT_NE(GreyBitmapContext(1, 1).source(), c.source());
  // A drawing that touches no sample is no change.
  c.fillRect({-10, -10, 5, 5});
  EXPECT_EQ(c.makeImage()->generation(), second->generation());

  // Past what it remembers, a snapshot admits it cannot tell.
  for (std::size_t i = 0; i <= GreyBitmapContext::kRememberedDrawings; ++i)
    c.fillRect({0, 0, 1, 1});
  const kit::GreyImageRef late = c.makeImage();
  EXPECT_FALSE(late->changedSince(second->generation()));
  EXPECT_EQ(late->changedSince(late->generation() - 1), (SampleBox{0, 0, 1, 1}));
}

}  // namespace
