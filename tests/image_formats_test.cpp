// WebP, HEIC and AVIF through the kit's image path: sizes, orientation,
// animation, and files that are damaged, lie, or need a codec the machine
// lacks.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <random>

#include "kit/image_codec.h"
#include "tests/photo_formats.h"

namespace {

using namespace kit;
using phototest::Bytes;

Result<DecodedImage> decode(const Bytes& data, DecodeOptions options = {}) {
  return decodeImage(data.data(), data.size(), options);
}

DecodeOptions fitting(float w, float h) {
  DecodeOptions o;
  o.fitWithin = {w, h};
  return o;
}

bool contains(const std::string& text, const std::string& part) {
  return text.find(part) != std::string::npos;
}

// Colour of the pixel at (x, y), within tolerance of the expected one.
::testing::AssertionResult near(const Bitmap& b, int x, int y, int r, int g, int bl,
                                int tolerance = 24) {
  const std::uint8_t* p = b.row(y) + x * 4;
  if (std::abs(p[0] - r) <= tolerance && std::abs(p[1] - g) <= tolerance &&
      std::abs(p[2] - bl) <= tolerance)
    return ::testing::AssertionSuccess();
  return ::testing::AssertionFailure()
         << "pixel (" << x << "," << y << ") is " << int(p[0]) << "," << int(p[1]) << ","
         << int(p[2]) << ", expected " << r << "," << g << "," << bl;
}

// Red at the left edge, green at the bottom: where the corners went says
// how the picture was turned.
void expectUprightGradient(const Bitmap& b) {
  EXPECT_TRUE(near(b, 0, 0, 0, 0, 60, 40));
  EXPECT_TRUE(near(b, b.width - 1, 0, 255, 0, 60, 40));
  EXPECT_TRUE(near(b, 0, b.height - 1, 0, 255, 60, 40));
}

bool heifEncoders() {
  return phototest::canEncodeHeif(heif_compression_HEVC) &&
         phototest::canEncodeHeif(heif_compression_AV1);
}

TEST(ImageFormats, KnownByTheirFirstBytesAndNamed) {
  const Bytes webp = phototest::webpBytes(8, 6);
  EXPECT_EQ(sniffImageFormat(webp.data(), webp.size()), ImageFormat::WebP);
  EXPECT_EQ(sniffImageFormat(webp.data(), 11), ImageFormat::Unknown);
  // An ISO media file that is no picture (a video) is not taken for one.
  const Bytes mp4 = {0, 0, 0, 24, 'f', 't', 'y', 'p', 'i', 's', 'o', 'm',
                     0, 0, 2, 0,  'i', 's', 'o', 'm', 'm', 'p', '4', '1'};
  EXPECT_EQ(sniffImageFormat(mp4.data(), mp4.size()), ImageFormat::Unknown);
  // The codec is named among the compatible brands, after a generic major one.
  const Bytes avifBrands = {0, 0, 0,   28,  'f', 't', 'y', 'p', 'm', 'i', 'f', '1', 0,   0,
                            0, 0, 'm', 'i', 'f', '1', 'm', 'i', 'a', 'f', 'a', 'v', 'i', 'f'};
  EXPECT_EQ(sniffImageFormat(avifBrands.data(), avifBrands.size()), ImageFormat::Avif);
  EXPECT_STREQ(imageFormatName(ImageFormat::Heic), "HEIC");
  EXPECT_TRUE(canDecodeImageFormat(ImageFormat::WebP));
  EXPECT_TRUE(canDecodeImageFormat(ImageFormat::Avif));
  if (!heifEncoders()) GTEST_SKIP() << "libheif has no HEVC or AV1 encoder here";
  const Bytes heic = phototest::heifBytes(16, 16);
  const Bytes avif = phototest::heifBytes(16, 16, {heif_compression_AV1});
  EXPECT_EQ(sniffImageFormat(heic.data(), heic.size()), ImageFormat::Heic);
  EXPECT_EQ(sniffImageFormat(avif.data(), avif.size()), ImageFormat::Avif);
}

TEST(ImageFormats, WebpDecodesToDisplaySizeLossyAndLossless) {
  for (bool lossless : {false, true}) {
    SCOPED_TRACE(lossless ? "lossless" : "lossy");
    const Bytes bytes = phototest::webpBytes(400, 300, lossless);
    const auto full = decode(bytes);
    ASSERT_TRUE(full) << full.error().message;
    EXPECT_EQ(full->bitmap->width, 400);
    EXPECT_EQ(full->bitmap->height, 300);
    expectUprightGradient(*full->bitmap);
    const auto small = decode(bytes, fitting(100, 100));
    ASSERT_TRUE(small) << small.error().message;
    EXPECT_EQ(small->bitmap->width, 100);
    EXPECT_EQ(small->bitmap->height, 75);
    expectUprightGradient(*small->bitmap);
  }
  // Transparency survives.
  const auto clear = decode(phototest::webpBytes(phototest::solid(8, 8, 10, 20, 30, 0), true));
  ASSERT_TRUE(clear);
  EXPECT_EQ(clear->bitmap->row(3)[3 * 4 + 3], 0);
}

TEST(ImageFormats, WebpExifOrientationBecomesTheFlagOrIsTurnedIntoThePixels) {
  const Bitmap picture = phototest::gradient(40, 20);
  for (bool jpegStyle : {false, true}) {
    const Bytes bytes = phototest::webpWithExif(picture, /*turn right*/ 6, jpegStyle);
    const auto flagged = decode(bytes);
    ASSERT_TRUE(flagged) << flagged.error().message;
    EXPECT_EQ(flagged->orientation, ImageOrientation::Right);
    EXPECT_EQ(flagged->bitmap->width, 40);  // as stored
    DecodeOptions upright = fitting(10, 1000);
    upright.applyOrientationToPixels = true;
    const auto turned = decode(bytes, upright);
    ASSERT_TRUE(turned) << turned.error().message;
    EXPECT_EQ(turned->orientation, ImageOrientation::Up);
    EXPECT_EQ(turned->bitmap->width, 10);  // shown 20 × 40, fitted by its width
    EXPECT_EQ(turned->bitmap->height, 20);
    // Turned right: the stored left edge (no red) is now the top.
    EXPECT_TRUE(near(*turned->bitmap, turned->bitmap->width - 1, 0, 0, 0, 60, 40));
  }
}

TEST(ImageFormats, AnimatedWebpShowsItsFirstFrameHoweverManyFollow) {
  // The first frame covers only the canvas's right half: the rest is clear.
  const Bytes partial = phototest::animatedWebp(
      64, 32,
      {{phototest::solid(32, 32, 200, 0, 0), 32, 0}, {phototest::solid(64, 32, 0, 0, 200), 0, 0}});
  for (float side : {0.0f, 16.0f}) {
    const auto first = decode(partial, fitting(side, side));
    ASSERT_TRUE(first) << first.error().message;
    const Bitmap& b = *first->bitmap;
    EXPECT_EQ(b.width, side ? 16 : 64);
    EXPECT_EQ(b.row(b.height / 2)[3], 0);  // left half transparent
    EXPECT_TRUE(near(b, b.width - 1, b.height / 2, 200, 0, 0));
  }

  std::vector<phototest::WebpFrame> frames;
  for (int i = 0; i < 1000; ++i)
    frames.push_back({phototest::solid(16, 16, static_cast<std::uint8_t>(i), 100, 0), 0, 0});
  const Bytes thousand = phototest::animatedWebp(16, 16, frames);
  const auto start = std::chrono::steady_clock::now();
  const auto first = decode(thousand);
  const auto elapsed = std::chrono::steady_clock::now() - start;
  ASSERT_TRUE(first) << first.error().message;
  EXPECT_TRUE(near(*first->bitmap, 8, 8, 0, 100, 0, 4));
  // Only the first frame is decoded, not a thousand.
  EXPECT_LT(elapsed, std::chrono::milliseconds(500));
}

TEST(ImageFormats, WebpThatLiesOrIsDamagedFailsWithTheReason) {
  const Bytes image = phototest::webpImageChunk(phototest::webpBytes(64, 48));
  // The container claims a larger canvas than the picture inside it.
  const auto lying = decode(phototest::webpFile({phototest::vp8x(0, 640, 480), image}));
  EXPECT_FALSE(lying);
  EXPECT_TRUE(contains(lying.error().message, "WebP: ")) << lying.error().message;
  // An animation's canvas beyond the limit is refused from its header,
  // before a canvas is taken, however small its frames.
  DecodeOptions limited;
  limited.maxPixels = 100'000'000;
  const auto huge = decode(
      phototest::animatedWebp(16000, 16000, {{phototest::solid(16, 16, 1, 2, 3), 0, 0}}), limited);
  EXPECT_FALSE(huge);
  EXPECT_TRUE(contains(huge.error().message, "image is 16000 x 16000 pixels, more than the limit"))
      << huge.error().message;
  // An animation whose first frame says it lies partly off its canvas.
  Bytes frameLie = phototest::animatedWebp(64, 64, {{phototest::solid(16, 16, 1, 2, 3), 0, 0}});
  const auto lyingFrame = decode(frameLie);
  ASSERT_TRUE(lyingFrame) << lyingFrame.error().message;  // the unchanged file decodes
  const std::size_t anmf = std::string(frameLie.begin(), frameLie.end()).find("ANMF");
  frameLie[anmf + 8] = 30;  // x offset / 2: 0 → 60, so the frame reaches x = 76
  EXPECT_FALSE(decode(frameLie));

  // Cut off anywhere, or with bytes changed: an error or a picture, never a crash.
  const Bytes good = phototest::webpBytes(32, 24);
  for (std::size_t cut = 1; cut < good.size(); cut += 7) {
    const auto r = decode(Bytes(good.begin(), good.begin() + static_cast<long>(cut)));
    EXPECT_FALSE(r) << "cut at " << cut;
    EXPECT_FALSE(r.error().message.empty());
  }
  std::mt19937 rng(7);
  for (int i = 0; i < 200; ++i) {
    Bytes damaged = good;
    for (int k = 0; k < 4; ++k)
      damaged[12 + rng() % (damaged.size() - 12)] ^= static_cast<std::uint8_t>(1 + rng() % 255);
    const auto r = decode(damaged);
    if (r)
      EXPECT_GT(r->bitmap->width, 0);
    else
      EXPECT_FALSE(r.error().message.empty());
  }
}

TEST(ImageFormats, HeicAndAvifDecodeUprightToDisplaySize) {
  if (!heifEncoders()) GTEST_SKIP() << "libheif has no HEVC or AV1 encoder here";
  struct Case {
    const char* name;
    phototest::HeifOptions options;
  };
  for (const Case& c : {Case{"HEIC", {heif_compression_HEVC}}, Case{"AVIF", {heif_compression_AV1}},
                        Case{"10-bit HEIC", {heif_compression_HEVC, 10}}}) {
    SCOPED_TRACE(c.name);
    const Bytes bytes = phototest::heifBytes(128, 96, c.options);
    ASSERT_FALSE(bytes.empty());
    const auto full = decode(bytes);
    ASSERT_TRUE(full) << full.error().message;
    EXPECT_EQ(full->bitmap->width, 128);
    EXPECT_EQ(full->bitmap->height, 96);
    expectUprightGradient(*full->bitmap);
    const auto small = decode(bytes, fitting(32, 32));
    ASSERT_TRUE(small) << small.error().message;
    EXPECT_EQ(small->bitmap->width, 32);
    EXPECT_EQ(small->bitmap->height, 24);
    expectUprightGradient(*small->bitmap);
  }
  // 10 bits a sample become 8 (made by tools/make_format_fixtures.sh, since
  // this libheif cannot write one): the same picture as the PNG it came from.
  const auto deep = decodeImageFile(std::string(VITRANE_TEST_DATA) + "/formats/icon-10bit.avif");
  ASSERT_TRUE(deep) << deep.error().message;
  const auto icon = decodeImageFile(std::string(VITRANE_RESOURCE_DIR) +
                                    "/icons/hicolor/64x64/apps/com.quillfen.Vitrane.png");
  ASSERT_TRUE(icon) << icon.error().message;
  ASSERT_EQ(deep->bitmap->width, 64);
  ASSERT_EQ(deep->bitmap->height, 64);
  for (int at : {20, 32, 44}) {
    const std::uint8_t* p = icon->bitmap->row(at) + at * 4;
    if (p[3] == 255) {
      EXPECT_TRUE(near(*deep->bitmap, at, at, p[0], p[1], p[2], 30)) << at;
    }
  }

  // A picture stored on its side with a rotation box comes upright.
  phototest::HeifOptions turned;
  turned.orientation = heif_orientation_rotate_90_cw;
  const auto r = decode(phototest::heifBytes(phototest::gradient(96, 64), turned));
  ASSERT_TRUE(r) << r.error().message;
  EXPECT_EQ(r->orientation, ImageOrientation::Up);
  EXPECT_EQ(r->bitmap->width, 64);
  EXPECT_EQ(r->bitmap->height, 96);
  // Turned clockwise: the stored bottom edge (green) is now the left.
  EXPECT_TRUE(near(*r->bitmap, 0, r->bitmap->height / 2, 127, 255, 60, 60));
}

TEST(ImageFormats, HeifThumbnailStandsInOnlyWhenItIsLargeEnough) {
  if (!heifEncoders()) GTEST_SKIP() << "libheif has no HEVC encoder here";
  const Bitmap picture = phototest::solid(256, 192, 0, 0, 220);
  const Bitmap preview = phototest::solid(256, 192, 220, 0, 0);
  phototest::HeifOptions options;
  options.thumbnailSide = 64;
  const Bytes bytes = phototest::heifBytes(picture, options, &preview);
  const auto small = decode(bytes, fitting(40, 40));
  ASSERT_TRUE(small) << small.error().message;
  EXPECT_EQ(small->bitmap->width, 40);
  EXPECT_TRUE(near(*small->bitmap, 20, 15, 220, 0, 0));  // from the thumbnail
  const auto large = decode(bytes, fitting(128, 128));
  ASSERT_TRUE(large) << large.error().message;
  EXPECT_EQ(large->bitmap->width, 128);
  EXPECT_TRUE(near(*large->bitmap, 64, 48, 0, 0, 220));  // thumbnail too small: the picture
}

TEST(ImageFormats, HeifWithoutItsCodecOrOverTheLimitOrDamagedFailsWithTheReason) {
  if (!heifEncoders()) GTEST_SKIP() << "libheif has no HEVC encoder here";
  const Bytes heic = phototest::heifBytes(64, 48);
  // A picture coded in a codec this machine's libheif does not have.
  const auto unknownCodec = decode(phototest::withFourcc(heic, "hvc1", "vvc1"));
  EXPECT_FALSE(unknownCodec);
  EXPECT_TRUE(contains(unknownCodec.error().message, "HEIC: ")) << unknownCodec.error().message;
  EXPECT_TRUE(contains(unknownCodec.error().message, "codec")) << unknownCodec.error().message;

  DecodeOptions limited;
  limited.maxPixels = 64 * 47;
  const auto huge = decode(heic, limited);
  EXPECT_FALSE(huge);
  EXPECT_TRUE(contains(huge.error().message, "image is 64 x 48 pixels, more than the limit"))
      << huge.error().message;

  for (std::size_t cut = 1; cut < heic.size(); cut += heic.size() / 40 + 1)
    EXPECT_FALSE(decode(Bytes(heic.begin(), heic.begin() + static_cast<long>(cut))))
        << "cut at " << cut;
  std::mt19937 rng(11);
  for (int i = 0; i < 60; ++i) {
    Bytes damaged = heic;
    for (int k = 0; k < 4; ++k)
      damaged[rng() % damaged.size()] ^= static_cast<std::uint8_t>(1 + rng() % 255);
    const auto r = decode(damaged);
    if (r)
      EXPECT_GT(r->bitmap->width, 0);
    else
      EXPECT_FALSE(r.error().message.empty());
  }
}

}  // namespace
