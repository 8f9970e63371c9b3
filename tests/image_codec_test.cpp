#include "kit/image_codec.h"
#include "tests/temp_folder.h"

#include <gtest/gtest.h>
#include <unistd.h>
#include <zlib.h>

#include <array>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <map>
#include <random>
#include <span>

namespace {

using namespace kit;
using Bytes = std::vector<std::uint8_t>;
namespace fs = std::filesystem;

Bitmap noise(int w, int h, PixelFormat format, unsigned seed) {
  Bitmap b = Bitmap::make(w, h, format);
  std::mt19937 rng(seed);
  for (auto& p : b.pixels) p = static_cast<std::uint8_t>(rng());
  return b;
}

Bitmap gradient(int w, int h) {
  Bitmap b = Bitmap::make(w, h, PixelFormat::RGBA8);
  for (int i = 0; i < w * h; ++i) {
    const std::uint8_t rgba[4] = {static_cast<std::uint8_t>(i % w * 255 / w),
                                  static_cast<std::uint8_t>(i / w * 255 / h), 128, 255};
    std::copy(rgba, rgba + 4, &b.pixels[static_cast<std::size_t>(i) * 4]);
  }
  return b;
}

// One letter a 16-pixel block of solid colour: on the JPEG block grid, so
// the colours survive compression.
const std::map<char, std::array<int, 3>> kColors = {{'A', {255, 0, 0}},   {'B', {0, 255, 0}},
                                                    {'C', {0, 0, 255}},   {'D', {255, 255, 0}},
                                                    {'E', {0, 255, 255}}, {'F', {255, 0, 255}}};

Bitmap blocks(const std::vector<std::string>& rows, int size = 16) {
  Bitmap b = Bitmap::make(static_cast<int>(rows[0].size()) * size,
                          static_cast<int>(rows.size()) * size, PixelFormat::RGBA8);
  for (int y = 0; y < b.height; ++y)
    for (int x = 0; x < b.width; ++x) {
      const auto& c = kColors.at(rows[y / size][x / size]);
      std::uint8_t* p = b.row(y) + x * 4;
      for (int k = 0; k < 3; ++k) p[k] = static_cast<std::uint8_t>(c[k]);
      p[3] = 255;
    }
  return b;
}

std::vector<std::string> readBlocks(const Bitmap& b, int size = 16) {
  std::vector<std::string> rows(static_cast<std::size_t>(b.height / size));
  for (int by = 0; by < b.height / size; ++by)
    for (int bx = 0; bx < b.width / size; ++bx) {
      const std::uint8_t* p = b.row(by * size + size / 2) + (bx * size + size / 2) * 4;
      char best = '?';
      for (const auto& [letter, c] : kColors)
        if (std::abs(p[0] - c[0]) + std::abs(p[1] - c[1]) + std::abs(p[2] - c[2]) < 60)
          best = letter;
      rows[static_cast<std::size_t>(by)] += best;
    }
  return rows;
}

Bytes jpegOf(const Bitmap& b, int quality = 92, int exif = 0) {
  auto out = encodeJpeg(b, quality, exif);
  EXPECT_TRUE(out) << out.error().message;
  return out.valueOr({});
}

Bytes pngOf(const Bitmap& b) {
  auto out = encodePng(b);
  EXPECT_TRUE(out) << out.error().message;
  return out.valueOr({});
}

Result<DecodedImage> decode(const Bytes& data, DecodeOptions options = {}) {
  return decodeImage(data.data(), data.size(), options);
}

void putU32(Bytes& out, std::uint32_t v) {
  for (int shift = 24; shift >= 0; shift -= 8) out.push_back(static_cast<std::uint8_t>(v >> shift));
}

void appendChunk(Bytes& png, const std::string& type, const Bytes& data) {
  putU32(png, static_cast<std::uint32_t>(data.size()));
  Bytes body(type.begin(), type.end());
  body.insert(body.end(), data.begin(), data.end());
  png.insert(png.end(), body.begin(), body.end());
  putU32(png, static_cast<std::uint32_t>(crc32(0, body.data(), static_cast<uInt>(body.size()))));
}

using Chunks = std::vector<std::pair<std::string, Bytes>>;

// A PNG made without libpng from packed rows. Adam7 interlacing is done
// here for whole-byte pixels (bpp bytes each).
Bytes craftPng(std::uint32_t w, std::uint32_t h, std::uint8_t depth, std::uint8_t colorType,
               const std::vector<Bytes>& rows, const Chunks& extra = {}, int interlacedBpp = 0) {
  Bytes raw;
  const int passes[7][4] = {{0, 0, 8, 8}, {4, 0, 8, 8}, {0, 4, 4, 8}, {2, 0, 4, 4},
                            {0, 2, 2, 4}, {1, 0, 2, 2}, {0, 1, 1, 2}};
  const int plain[1][4] = {{0, 0, 1, 1}};
  const std::size_t bpp = static_cast<std::size_t>(interlacedBpp);
  for (const auto& [x0, y0, dx, dy] :
       interlacedBpp ? std::span<const int[4]>(passes) : std::span<const int[4]>(plain))
    for (std::uint32_t y = y0;
         y < std::min<std::size_t>(h, rows.size()) && static_cast<std::uint32_t>(x0) < w; y += dy) {
      raw.push_back(0);
      if (!interlacedBpp) raw.insert(raw.end(), rows[y].begin(), rows[y].end());
      for (std::uint32_t x = x0; interlacedBpp && x < w; x += dx)
        raw.insert(raw.end(), rows[y].begin() + x * bpp, rows[y].begin() + (x + 1) * bpp);
    }
  Bytes idat(compressBound(static_cast<uLong>(raw.size())));
  uLongf idatSize = idat.size();
  compress(idat.data(), &idatSize, raw.data(), static_cast<uLong>(raw.size()));
  idat.resize(idatSize);

  Bytes png = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
  Bytes ihdr;
  putU32(ihdr, w);
  putU32(ihdr, h);
  ihdr.insert(ihdr.end(),
              {depth, colorType, 0, 0, static_cast<std::uint8_t>(interlacedBpp ? 1 : 0)});
  appendChunk(png, "IHDR", ihdr);
  for (const auto& [type, data] : extra) appendChunk(png, type, data);
  appendChunk(png, "IDAT", idat);
  appendChunk(png, "IEND", {});
  return png;
}

// Inserts a segment straight after the JPEG's start marker.
Bytes withSegment(const Bytes& jpeg, std::uint8_t marker, const Bytes& body) {
  Bytes out(jpeg.begin(), jpeg.begin() + 2);
  const std::size_t length = body.size() + 2;
  out.insert(out.end(), {0xFF, marker, static_cast<std::uint8_t>(length >> 8),
                         static_cast<std::uint8_t>(length)});
  out.insert(out.end(), body.begin(), body.end());
  out.insert(out.end(), jpeg.begin() + 2, jpeg.end());
  return out;
}

// An Exif APP1 body written field by field in either byte order.
struct Exif {
  bool big;
  Bytes bytes;
  explicit Exif(bool bigEndian) : big(bigEndian), bytes{'E', 'x', 'i', 'f', 0, 0} {
    const std::uint8_t order = big ? 'M' : 'I';
    bytes.insert(bytes.end(), {order, order});
    u16(42);
  }
  Exif& u16(std::uint32_t v) {
    const auto hi = static_cast<std::uint8_t>(v >> 8), lo = static_cast<std::uint8_t>(v);
    bytes.insert(bytes.end(), {big ? hi : lo, big ? lo : hi});
    return *this;
  }
  Exif& u32(std::uint32_t v) {
    return big ? u16(v >> 16).u16(v & 0xFFFF) : u16(v & 0xFFFF).u16(v >> 16);
  }
  Exif& entry(std::uint32_t tag, std::uint32_t type, std::uint32_t count, std::uint32_t value) {
    u16(tag).u16(type).u32(count);
    return type == 3 ? u16(value).u16(0) : u32(value);
  }
  // As a camera writes it: IFD0 with a Make tag before the orientation.
  static Bytes typical(bool big, std::uint32_t orientation) {
    return Exif(big)
        .u32(8)
        .u16(2)
        .entry(0x010F, 2, 4, 0x41626300)
        .entry(0x0112, 3, 1, orientation)
        .u32(0)
        .bytes;
  }
};

struct TempDir {
  testing_files::TempFolder folder{"image-codec"};
  const fs::path& path = folder.path();
  std::string write(const std::string& name, const Bytes& data) const {
    std::ofstream(path / name, std::ios::binary)
        .write(reinterpret_cast<const char*>(data.data()),
               static_cast<std::streamsize>(data.size()));
    return (path / name).string();
  }
};

bool contains(const std::string& text, const std::string& part) {
  return text.find(part) != std::string::npos;
}

TEST(ImageCodec, FilesAreKnownByContentAndFailuresExplained) {
  const Bytes png = pngOf(noise(2, 2, PixelFormat::RGBA8, 1));
  EXPECT_EQ(sniffImageFormat(png.data(), png.size()), ImageFormat::Png);
  EXPECT_EQ(sniffImageFormat(png.data(), 7), ImageFormat::Unknown);
  EXPECT_EQ(sniffImageFormat(nullptr, 9), ImageFormat::Unknown);
  TempDir dir;
  const auto text = decodeImageFile(dir.write("holiday.jpg", {'h', 'e', 'l', 'l', 'o', '\n'}));
  EXPECT_FALSE(text);
  EXPECT_TRUE(contains(text.error().message, "not a JPEG, PNG, WebP, HEIC or AVIF"))
      << text.error().message;
  EXPECT_TRUE(decodeImageFile(dir.write("really-a-png.jpg", png)));

  const auto missing = decodeImageFile((dir.path / "nothing.png").string());
  EXPECT_TRUE(contains(missing.error().message, "nothing.png") &&
              contains(missing.error().message, "No such file"))
      << missing.error().message;
  EXPECT_EQ(decodeImageFile(dir.path.string()).error().message,
            dir.path.string() + " is a folder, not an image file");
  const std::string empty = dir.write("empty.png", {});
  EXPECT_EQ(decodeImageFile(empty).error().message, empty + " is empty");
}

TEST(ImageCodec, RoundTrips) {
  for (PixelFormat format : {PixelFormat::RGBA8, PixelFormat::Gray8}) {
    const Bitmap original = noise(37, 23, format, 7);
    const auto r = decode(pngOf(original));
    ASSERT_TRUE(r) << r.error().message;
    EXPECT_EQ(r->bitmap->format, format);
    EXPECT_EQ(r->bitmap->width, 37);
    EXPECT_EQ(r->bitmap->pixels, original.pixels);
  }

  const Bitmap original = gradient(64, 48);
  const auto jpeg = decode(jpegOf(original, 95));
  ASSERT_TRUE(jpeg) << jpeg.error().message;
  ASSERT_EQ(jpeg->bitmap->pixels.size(), original.pixels.size());
  long total = 0;
  for (std::size_t i = 0; i < original.pixels.size(); ++i)
    total += std::abs(jpeg->bitmap->pixels[i] - original.pixels[i]);
  EXPECT_LT(static_cast<double>(total) / original.pixels.size(), 2.0);
  EXPECT_EQ(jpeg->bitmap->pixels[3], 255);

  // Written beside the old file and renamed over it, leaving nothing else.
  TempDir dir;
  const std::string path = (dir.path / "out.png").string();
  Result<void> written = writePngFile(noise(5, 4, PixelFormat::RGBA8, 1), path);
  ASSERT_TRUE(written) << written.error().message;
  const Bitmap second = noise(9, 3, PixelFormat::Gray8, 2);
  written = writePngFile(second, path);
  ASSERT_TRUE(written) << written.error().message;
  EXPECT_EQ(decodeImageFile(path)->bitmap->pixels, second.pixels);
  EXPECT_EQ(std::distance(fs::directory_iterator(dir.path), fs::directory_iterator{}), 1);
  EXPECT_FALSE(writePngFile(second, (dir.path / "no-folder" / "x.png").string()));

  Bitmap shortBuffer = Bitmap::make(10, 10, PixelFormat::RGBA8);
  shortBuffer.pixels.pop_back();
  EXPECT_EQ(encodePng(shortBuffer).error().message,
            "bitmap's pixel buffer is smaller than its size");
  EXPECT_FALSE(encodeJpeg(shortBuffer, 90));
}

TEST(ImageCodec, PngVarietiesBecomeRgbaOrGray) {
  const Bytes plte = {255, 0, 0, 0, 255, 0, 0, 0, 255};
  struct Case {
    const char* name;
    Bytes png;
    PixelFormat format;
    Bytes pixels;
  };
  const Case cases[] = {
      {"palette + tRNS",
       craftPng(2, 1, 8, 3, {{0, 2}}, {{"PLTE", plte}, {"tRNS", {128}}}),
       PixelFormat::RGBA8,
       {255, 0, 0, 128, 0, 0, 255, 255}},
      {"2-bit palette",
       craftPng(3, 1, 2, 3, {{0b10'01'00'00}}, {{"PLTE", plte}}),
       PixelFormat::RGBA8,
       {0, 0, 255, 255, 0, 255, 0, 255, 255, 0, 0, 255}},
      {"1-bit grey", craftPng(4, 1, 1, 0, {{0b1011'0000}}), PixelFormat::Gray8, {255, 0, 255, 255}},
      {"16-bit grey",
       craftPng(2, 1, 16, 0, {{0xFF, 0xFF, 0x80, 0x80}}),
       PixelFormat::Gray8,
       {255, 128}},
      {"grey + key",
       craftPng(2, 1, 8, 0, {{9, 200}}, {{"tRNS", {0, 9}}}),
       PixelFormat::RGBA8,
       {9, 9, 9, 0, 200, 200, 200, 255}},
      {"grey + alpha", craftPng(1, 1, 8, 4, {{10, 20}}), PixelFormat::RGBA8, {10, 10, 10, 20}},
      {"RGB", craftPng(1, 1, 8, 2, {{1, 2, 3}}), PixelFormat::RGBA8, {1, 2, 3, 255}},
      {"16-bit RGBA",
       craftPng(1, 1, 16, 6, {{0xFF, 0xFF, 0, 0, 0x80, 0x80, 0xFF, 0xFF}}),
       PixelFormat::RGBA8,
       {255, 0, 128, 255}},
  };
  for (const Case& c : cases) {
    const auto r = decode(c.png);
    ASSERT_TRUE(r) << c.name << ": " << r.error().message;
    EXPECT_EQ(r->bitmap->format, c.format) << c.name;
    EXPECT_EQ(r->bitmap->pixels, c.pixels) << c.name;
  }
  // An odd size leaves some interlace passes partly empty.
  const Bitmap picture = noise(9, 7, PixelFormat::RGBA8, 3);
  std::vector<Bytes> rows;
  for (int y = 0; y < 7; ++y)
    rows.emplace_back(picture.row(y), picture.row(y) + picture.rowBytes());
  EXPECT_EQ(decode(craftPng(9, 7, 8, 6, rows, {}, 4))->bitmap->pixels, picture.pixels)
      << "interlaced";
}

TEST(ImageCodec, ExifOrientationBecomesTheFlag) {
  const std::map<int, ImageOrientation> flags = {{1, ImageOrientation::Up},
                                                 {2, ImageOrientation::UpMirrored},
                                                 {3, ImageOrientation::Down},
                                                 {4, ImageOrientation::DownMirrored},
                                                 {5, ImageOrientation::LeftMirrored},
                                                 {6, ImageOrientation::Right},
                                                 {7, ImageOrientation::RightMirrored},
                                                 {8, ImageOrientation::Left}};
  const Bytes plain = jpegOf(gradient(32, 16));
  for (const auto& [tag, flag] : flags) {
    const auto written = decode(jpegOf(gradient(32, 16), 90, tag));
    ASSERT_TRUE(written) << written.error().message;
    EXPECT_EQ(written->orientation, flag) << tag;
    EXPECT_EQ(written->bitmap->width, 32) << "pixels stay as stored";
    for (bool big : {false, true})
      EXPECT_EQ(decode(withSegment(plain, 0xE1, Exif::typical(big, tag)))->orientation, flag)
          << tag << big;
  }
  for (std::uint32_t outOfRange : {0u, 9u, 0xFFFFu})
    EXPECT_EQ(decode(withSegment(plain, 0xE1, Exif::typical(true, outOfRange)))->orientation,
              ImageOrientation::Up);
  // XMP shares the APP1 marker; an Exif segment after it still counts.
  const Bytes xmp = {'h', 't', 't', 'p', ':', '/', '/', 'n', 's', 0};
  EXPECT_EQ(decode(withSegment(withSegment(plain, 0xE1, Exif::typical(false, 6)), 0xE1, xmp))
                ->orientation,
            ImageOrientation::Right);

  // Hostile offsets and counts are ignored, never followed.
  std::vector<Bytes> hostile = {{'E', 'x', 'i', 'f', 0, 0, 'M', 'M', 0},
                                {'E', 'x', 'i', 'f', 0, 0, 'X', 'X', 0, 42, 0, 0, 0, 8}};
  for (bool big : {false, true}) {
    hostile.push_back(Exif(big).u32(0xFFFFFFF0).bytes);
    hostile.push_back(Exif(big).u32(9).u16(0).bytes);
    hostile.push_back(Exif(big).u32(8).u16(0xFFFF).entry(0x010F, 2, 1, 0).bytes);
    hostile.push_back(
        Exif(big).u32(8).u16(1).entry(0x010F, 2, 1, 0).u32(8).bytes);  // IFD chain loops
    hostile.push_back(Exif(big).u32(8).u16(1).entry(0x0112, 3, 1, 6).bytes);
    hostile.back().resize(hostile.back().size() - 6);  // entry cut short
    hostile.push_back(Exif(big).u32(8).u16(1).entry(0x0112, 3, 0, 6).u32(0).bytes);
    hostile.push_back(Exif(big).u32(8).u16(1).entry(0x0112, 4, 1, 0x80000006).u32(0).bytes);
  }
  for (std::size_t i = 0; i < hostile.size(); ++i) {
    const auto r = decode(withSegment(plain, 0xE1, hostile[i]));
    ASSERT_TRUE(r) << "case " << i << ": " << r.error().message;
    EXPECT_EQ(r->orientation, ImageOrientation::Up) << "case " << i;
  }
}

TEST(ImageCodec, OrientationAppliedToPixelsGivesTheUprightPicture) {
  // How a camera would store the scene {"ABC", "DEF"} for each EXIF tag.
  const std::map<int, std::vector<std::string>> stored = {
      {1, {"ABC", "DEF"}},     {2, {"CBA", "FED"}},     {3, {"FED", "CBA"}},
      {4, {"DEF", "ABC"}},     {5, {"AD", "BE", "CF"}}, {6, {"CF", "BE", "AD"}},
      {7, {"FC", "EB", "DA"}}, {8, {"DA", "EB", "FC"}}};
  for (const auto& [tag, layout] : stored) {
    const Bytes jpeg = jpegOf(blocks(layout), 95, tag);
    EXPECT_EQ(readBlocks(*decode(jpeg)->bitmap), layout) << tag;
    const auto turned = decode(jpeg, {.applyOrientationToPixels = true});
    ASSERT_TRUE(turned) << turned.error().message;
    EXPECT_EQ(turned->orientation, ImageOrientation::Up);
    EXPECT_EQ(readBlocks(*turned->bitmap), (std::vector<std::string>{"ABC", "DEF"})) << tag;
  }
}

TEST(ImageCodec, DamagedInputFailsAndNeverCrashes) {
  EXPECT_FALSE(decodeImage(nullptr, 0));
  EXPECT_FALSE(decode({}).error().message.empty());
  std::mt19937 rng(42);
  for (const Bytes& prefix :
       {Bytes{}, Bytes{0xFF, 0xD8, 0xFF}, Bytes{0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'}})
    for (int trial = 0; trial < 20; ++trial) {
      Bytes data = prefix;
      for (std::size_t i = rng() % 2000; i > 0; --i)
        data.push_back(static_cast<std::uint8_t>(rng()));
      EXPECT_FALSE(decode(data).error().message.empty());
    }

  const Bytes jpeg = jpegOf(noise(64, 48, PixelFormat::RGBA8, 5), 90);
  const Bytes png = pngOf(noise(40, 30, PixelFormat::RGBA8, 6));
  for (const Bytes* file : {&jpeg, &png}) {
    const std::size_t n = file->size();
    for (std::size_t cut :
         {std::size_t{1}, std::size_t{12}, std::size_t{40}, n / 4, n / 2, n - 12, n - 2, n - 1}) {
      const auto r = decodeImage(file->data(), cut);
      EXPECT_FALSE(r) << (file == &jpeg ? "JPEG" : "PNG") << " cut at " << cut << " of " << n;
      EXPECT_FALSE(r.error().message.empty());
    }
  }
  Bytes trailing = jpeg;  // bytes after the end marker are common and harmless
  trailing.insert(trailing.end(), 100, 0);
  EXPECT_TRUE(decode(trailing));
  Bytes flipped = png;
  flipped[flipped.size() / 2] ^= 0x55;
  EXPECT_FALSE(decode(flipped));

  // Random damage: a failure or a whole bitmap, nothing in between.
  for (const Bytes* file : {&jpeg, &png})
    for (int trial = 0; trial < 300; ++trial) {
      Bytes damaged = *file;
      for (int k = 1 + static_cast<int>(rng() % 4); k > 0; --k)
        damaged[rng() % damaged.size()] = static_cast<std::uint8_t>(rng());
      const auto r = decode(damaged, {.maxPixels = 1 << 20});
      if (r) {
        EXPECT_EQ(r->bitmap->pixels.size(), r->bitmap->rowBytes() * r->bitmap->height);
      } else {
        EXPECT_FALSE(r.error().message.empty());
      }
    }
}

TEST(ImageCodec, SizeLimitsAreCheckedFromTheHeader) {
  const auto start = std::chrono::steady_clock::now();
  const auto png = decode(craftPng(60000, 60000, 8, 6, {Bytes(16, 0)}));
  EXPECT_TRUE(contains(png.error().message, "60000 x 60000") &&
              contains(png.error().message, "limit"))
      << png.error().message;
  // Filling 14 GB would take far longer, or fail as "out of memory".
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(1));

  const Bytes small = pngOf(noise(10, 10, PixelFormat::RGBA8, 1));
  EXPECT_TRUE(decode(small, {.maxPixels = 100}));
  EXPECT_FALSE(decode(small, {.maxPixels = 99}));
  // A sequential JPEG reduced by libjpeg only ever holds the reduced pixels.
  const Bytes big = jpegOf(gradient(64, 64));
  EXPECT_FALSE(decode(big, {.maxPixels = 4095}));
  EXPECT_EQ(decode(big, {.maxPixels = 4095, .fitWithin = {8, 8}})->bitmap->width, 8);
}

TEST(ImageCodec, FitWithinKeepsAspectAndNeverEnlarges) {
  struct Case {
    int w, h;
    Size box;
    int fittedW, fittedH;
  };
  const Case cases[] = {
      {400, 300, {100, 100}, 100, 75},     {300, 400, {100, 100}, 75, 100},
      {100, 100, {500, 500}, 100, 100},    {400, 300, {0, 150}, 200, 150},
      {400, 300, {123, 1000}, 123, 92},     // libjpeg's eighths miss it
      {400, 300, {100.6f, 1000}, 100, 75},  // rounding stays inside
  };
  for (const Case& c : cases) {
    // Left half red, right half blue: the reduced picture must still be.
    Bitmap picture = Bitmap::make(c.w, c.h, PixelFormat::RGBA8);
    for (int i = 0; i < c.w * c.h; ++i) {
      const bool left = i % c.w < c.w / 2;
      picture.pixels[i * 4] = left ? 255 : 0;
      picture.pixels[i * 4 + 2] = left ? 0 : 255;
      picture.pixels[i * 4 + 3] = 255;
    }
    for (const Bytes& file : {pngOf(picture), jpegOf(picture)}) {
      const auto r = decode(file, {.fitWithin = c.box});
      ASSERT_TRUE(r) << r.error().message;
      const std::string what =
          std::to_string(c.w) + "x" + std::to_string(c.h) + " in " + describe(c.box);
      ASSERT_EQ(r->bitmap->width, c.fittedW) << what;
      ASSERT_EQ(r->bitmap->height, c.fittedH) << what;
      const std::uint8_t* left = r->bitmap->row(c.fittedH / 2) + (c.fittedW / 4) * 4;
      const std::uint8_t* right = r->bitmap->row(c.fittedH / 2) + (c.fittedW * 3 / 4) * 4;
      EXPECT_TRUE(left[0] > 230 && left[2] < 25 && right[0] < 25 && right[2] > 230) << what;
    }
  }

  // Stored landscape, shown portrait: the box applies to the picture as shown.
  const Bytes turned = jpegOf(gradient(400, 300), 90, 6);
  const auto stored = decode(turned, {.fitWithin = {200, 100}});
  EXPECT_EQ(stored->orientation, ImageOrientation::Right);
  EXPECT_EQ(std::pair(stored->bitmap->width, stored->bitmap->height), std::pair(100, 75));
  const auto shown = decode(turned, {.fitWithin = {200, 100}, .applyOrientationToPixels = true});
  EXPECT_EQ(std::pair(shown->bitmap->width, shown->bitmap->height), std::pair(75, 100));

  // A transparent pixel's colour must not darken the average; grey stays grey.
  const Bytes edge = craftPng(2, 1, 8, 6, {{255, 0, 0, 255, 0, 0, 0, 0}});
  EXPECT_EQ(decode(edge, {.fitWithin = {1, 1}})->bitmap->pixels, (Bytes{255, 0, 0, 128}));
  Bitmap gray = Bitmap::make(4, 4, PixelFormat::Gray8);
  std::fill(gray.pixels.begin(), gray.pixels.end(), 200);
  gray.pixels[0] = 0;
  EXPECT_EQ(decode(pngOf(gray), {.fitWithin = {2, 2}})->bitmap->pixels,
            (Bytes{150, 200, 200, 200}));
}

// A plain PNG is reduced as its rows arrive, an interlaced one after it is
// whole: the same picture must come out of both, to the byte.
TEST(ImageCodec, PngReducedRowByRowMatchesTheWholePictureReduced) {
  for (const bool rgba : {true, false}) {
    const int w = 53, h = 37, bpp = rgba ? 4 : 1;
    const Bitmap picture = noise(w, h, rgba ? PixelFormat::RGBA8 : PixelFormat::Gray8, 7);
    std::vector<Bytes> rows;
    for (int y = 0; y < h; ++y) rows.emplace_back(picture.row(y), picture.row(y) + w * bpp);
    const std::uint8_t colorType = rgba ? 6 : 0;
    const Bytes plain = craftPng(w, h, 8, colorType, rows);
    const Bytes interlaced = craftPng(w, h, 8, colorType, rows, {}, bpp);
    for (const Size box : {Size{10, 10}, Size{52, 0}, Size{0, 5}, Size{1, 1}}) {
      const auto a = decode(plain, {.fitWithin = box});
      const auto b = decode(interlaced, {.fitWithin = box});
      ASSERT_TRUE(a && b) << a.error().message << b.error().message;
      EXPECT_EQ(std::pair(a->bitmap->width, a->bitmap->height),
                std::pair(b->bitmap->width, b->bitmap->height));
      EXPECT_EQ(a->bitmap->pixels, b->bitmap->pixels)
          << (rgba ? "RGBA " : "grey ") << describe(box);
    }
  }
  // Cut off halfway through its rows: still a failure, not half a picture.
  Bitmap big = noise(64, 64, PixelFormat::RGBA8, 3);
  Bytes cut = pngOf(big);
  cut.resize(cut.size() / 2);
  EXPECT_FALSE(decode(cut, {.fitWithin = {8, 8}}));
}

}  // namespace
