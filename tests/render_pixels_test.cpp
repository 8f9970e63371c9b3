// The compositor's CPU-side pictures: pixels prepared for upload, text set
// with FreeType, and the cache that keeps set text between frames.
#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <string>

#include "render/text_cache.h"
#include "render/text_rasterizer.h"
#include "render/texture_pixels.h"

namespace {

using render::TextStyle;

kit::Bitmap rgba(int w, int h, std::uint8_t r, std::uint8_t g, std::uint8_t b, std::uint8_t a) {
  kit::Bitmap bm = kit::Bitmap::make(w, h, kit::PixelFormat::RGBA8);
  for (std::size_t i = 0; i < bm.pixels.size(); i += 4) {
    bm.pixels[i] = r;
    bm.pixels[i + 1] = g;
    bm.pixels[i + 2] = b;
    bm.pixels[i + 3] = a;
  }
  return bm;
}

// --- Texture pixels ------------------------------------------------------------

TEST(TexturePixels, OpaquePicturesGoAsTheyAreAndTransparentOnesPremultiplied) {
  const kit::Bitmap opaque = rgba(3, 2, 200, 100, 50, 255);
  const render::TexturePixels same = render::prepareTexturePixels(opaque, 4096);
  EXPECT_EQ(same.data, opaque.pixels.data());  // no copy for the common case
  EXPECT_EQ(same.width, 3);

  const kit::Bitmap half = rgba(3, 2, 200, 100, 50, 128);
  const render::TexturePixels pre = render::prepareTexturePixels(half, 4096);
  ASSERT_NE(pre.data, half.pixels.data());
  EXPECT_EQ(pre.data[0], 100);
  EXPECT_EQ(pre.data[1], 50);
  EXPECT_EQ(pre.data[2], 25);
  EXPECT_EQ(pre.data[3], 128);

  kit::Bitmap gray = kit::Bitmap::make(2, 2, kit::PixelFormat::Gray8);
  gray.pixels = {0, 10, 20, 30};
  EXPECT_EQ(render::prepareTexturePixels(gray, 4096).data, gray.pixels.data());
}

TEST(TexturePixels, PicturesTooLargeAreAveragedDownKeepingTheirShape) {
  // Columns alternately black and white, alpha alternately 0 and 255.
  kit::Bitmap stripes = kit::Bitmap::make(400, 100, kit::PixelFormat::RGBA8);
  for (int y = 0; y < 100; ++y)
    for (int x = 0; x < 400; ++x) {
      std::uint8_t* p = stripes.row(y) + x * 4;
      p[0] = p[1] = p[2] = 255;
      p[3] = x % 2 ? 255 : 0;
    }
  const render::TexturePixels t = render::prepareTexturePixels(stripes, 100);
  EXPECT_EQ(t.width, 100);
  EXPECT_EQ(t.height, 25);
  ASSERT_EQ(t.owned.size(), 100u * 25 * 4);
  for (std::size_t i = 0; i < t.owned.size(); i += 4) {
    // Premultiplied before averaging: half-covered white, not grey.
    ASSERT_EQ(t.owned[i], 128) << i;
    ASSERT_EQ(t.owned[i + 3], 128) << i;
  }
  // A sliver keeps at least one pixel across.
  const render::TexturePixels sliver =
      render::prepareTexturePixels(rgba(5000, 1, 1, 2, 3, 255), 1000);
  EXPECT_EQ(sliver.width, 1000);
  EXPECT_EQ(sliver.height, 1);
  EXPECT_EQ(sliver.owned[1], 2);
}

TEST(TexturePixels, ABitmapShorterThanItsSizeIsNotRead) {
  kit::Bitmap broken = kit::Bitmap::make(10, 10, kit::PixelFormat::RGBA8);
  broken.pixels.resize(10 * 9 * 4);
  EXPECT_EQ(render::prepareTexturePixels(broken, 4096).width, 0);
  EXPECT_EQ(render::prepareTexturePixels(kit::Bitmap{}, 4096).width, 0);
}

// --- Text ------------------------------------------------------------------------

struct Ink {
  int x0 = 1 << 30, y0 = 1 << 30, x1 = -1, y1 = -1;  // inclusive bounds of the ink
  long total = 0;
};

Ink inkOf(const kit::Bitmap& b) {
  Ink ink;
  for (int y = 0; y < b.height; ++y)
    for (int x = 0; x < b.width; ++x) {
      const int a = b.row(y)[x * 4 + 3];
      if (a < 64) continue;
      ink.total += a;
      ink.x0 = std::min(ink.x0, x), ink.x1 = std::max(ink.x1, x);
      ink.y0 = std::min(ink.y0, y), ink.y1 = std::max(ink.y1, y);
    }
  return ink;
}

class Text : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!rasterizer.error().empty()) GTEST_SKIP() << rasterizer.error();
  }
  TextStyle style(std::string text, int w, int h) {
    TextStyle s;
    s.text = std::move(text);
    s.pixelSize = 20;
    s.color = {0.2f, 0.4f, 0.6f, 1};
    s.boxWidth = w;
    s.boxHeight = h;
    return s;
  }
  render::TextRasterizer rasterizer;
};

TEST_F(Text, ALineIsCentredVerticallyAndAlignedAsAsked) {
  TextStyle s = style("Show Photos", 300, 60);
  const kit::BitmapRef left = rasterizer.rasterize(s);
  ASSERT_TRUE(left);
  ASSERT_EQ(left->width, 300);
  ASSERT_EQ(left->height, 60);
  EXPECT_EQ(left->pixels[0], 51);  // the colour everywhere; coverage in alpha
  EXPECT_EQ(left->pixels[2], 153);
  const Ink l = inkOf(*left);
  EXPECT_LE(l.x0, 3);
  EXPECT_NEAR((l.y0 + l.y1) / 2.0, 30, 5);

  s.alignment = kit::TextAlignment::Center;
  const Ink c = inkOf(*rasterizer.rasterize(s));
  EXPECT_NEAR(c.x0, 299 - c.x1, 3);
  s.alignment = kit::TextAlignment::Right;
  const Ink r = inkOf(*rasterizer.rasterize(s));
  EXPECT_GE(r.x1, 296);
  EXPECT_EQ(r.x1 - r.x0, l.x1 - l.x0);
}

TEST_F(Text, LongTextWrapsWhereLinesMayAndIsCutShortWhereNot) {
  const std::string words = "Lay the tablet flat on a table: the table shows through the glass.";
  TextStyle s = style(words, 200, 200);
  s.maxLines = 0;
  const Ink wrapped = inkOf(*rasterizer.rasterize(s));
  EXPECT_GT(wrapped.y1 - wrapped.y0, 3 * 20);  // four lines or so
  EXPECT_LE(wrapped.x1, 199);

  s.maxLines = 1;
  const Ink one = inkOf(*rasterizer.rasterize(s));
  EXPECT_LT(one.y1 - one.y0, 25);
  EXPECT_GT(one.x1, 180);  // filled to the end, ending in an ellipsis

  s.maxLines = 2;
  const Ink two = inkOf(*rasterizer.rasterize(s));
  EXPECT_GT(two.y1 - two.y0, 25);
  EXPECT_LT(two.y1 - two.y0, 2 * 25 + 5);

  // A word wider than the box is broken, not lost past its edge.
  s = style(std::string(40, 'W'), 100, 200);
  s.maxLines = 0;
  const Ink broken = inkOf(*rasterizer.rasterize(s));
  EXPECT_GT(broken.y1 - broken.y0, 40);
}

TEST_F(Text, BoldIsHeavierAndBrokenUtf8StillDraws) {
  TextStyle s = style("Vitrane", 200, 40);
  const long regular = inkOf(*rasterizer.rasterize(s)).total;
  s.bold = true;
  EXPECT_GT(inkOf(*rasterizer.rasterize(s)).total, regular * 5 / 4);

  for (const char* bad : {"\xff\xfe", "caf\xc3", "\xe2\x82", "\xc0\xaf", "\xed\xa0\x80"}) {
    const kit::BitmapRef b = rasterizer.rasterize(style(bad, 100, 30));
    ASSERT_TRUE(b) << bad;
    EXPECT_GT(inkOf(*b).total, 0) << bad;
  }
  EXPECT_FALSE(rasterizer.rasterize(style("x", 0, 30)));
  EXPECT_FALSE(rasterizer.rasterize(style("x", 30, render::TextRasterizer::kLargestBox + 1)));
}

TEST_F(Text, TheCacheSetsTextOnceAndLetsGoOfTextNoLongerShown) {
  render::TextCache cache(rasterizer);
  const TextStyle a = style("one", 100, 30), b = style("two", 100, 30);
  kit::BitmapRef first = cache.pictureFor(a);
  std::weak_ptr<const kit::Bitmap> watch = first;
  EXPECT_EQ(cache.pictureFor(a), first);
  TextStyle recoloured = a;
  recoloured.color = kit::Color::white();
  EXPECT_NE(cache.pictureFor(recoloured), first);
  cache.endFrame();
  for (std::uint64_t frame = 1; frame < render::TextCache::kKeepFrames + 1; ++frame) {
    cache.pictureFor(b);
    cache.endFrame();
  }
  EXPECT_EQ(cache.size(), 1);
  first.reset();
  EXPECT_TRUE(watch.expired());  // so its texture goes too
  EXPECT_NE(cache.pictureFor(a), nullptr);
}

}  // namespace
