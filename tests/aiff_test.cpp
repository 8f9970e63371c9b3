// AIFF decoding: the committed sounds, files built by hand in each sample
// layout, and damaged or hostile files, which must fail with a reason.
#include "kit/aiff.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <initializer_list>
#include <limits>
#include <string>
#include <vector>

namespace {

using Bytes = std::vector<std::uint8_t>;

void put(Bytes& b, std::uint64_t value, int bytes) {
  for (int i = bytes - 1; i >= 0; --i) b.push_back(static_cast<std::uint8_t>(value >> (8 * i)));
}
void put(Bytes& b, const char* type) {
  for (int i = 0; i < 4; ++i) b.push_back(static_cast<std::uint8_t>(type[i]));
}

Bytes chunk(const char* type, const Bytes& body) {
  Bytes b;
  put(b, type);
  put(b, body.size(), 4);
  b.insert(b.end(), body.begin(), body.end());
  if (body.size() % 2) b.push_back(0);
  return b;
}

Bytes form(const char* type, std::initializer_list<Bytes> chunks) {
  Bytes body;
  put(body, type);
  for (const Bytes& c : chunks) body.insert(body.end(), c.begin(), c.end());
  Bytes b;
  put(b, "FORM");
  put(b, body.size(), 4);
  b.insert(b.end(), body.begin(), body.end());
  return b;
}

Bytes comm(int channels, std::uint32_t frames, int bits, double rate,
           const char* compression = nullptr) {
  Bytes b;
  put(b, static_cast<std::uint16_t>(channels), 2);
  put(b, frames, 4);
  put(b, static_cast<std::uint16_t>(bits), 2);
  if (std::isnan(rate)) {
    put(b, 0x7fff, 2);
    put(b, 1, 8);
  } else if (rate == 0) {
    b.insert(b.end(), 10, 0);
  } else {
    int exponent = 0;
    const double mantissa = std::frexp(std::abs(rate), &exponent);  // 0.5 to 1
    put(b, (rate < 0 ? 0x8000 : 0) | (exponent + 16382), 2);
    put(b, static_cast<std::uint64_t>(std::ldexp(mantissa, 64)), 8);
  }
  if (compression) {
    put(b, compression);
    b.insert(b.end(), {4, 'n', 'o', 'n', 'e', 0});
  }
  return chunk("COMM", b);
}

Bytes ssnd(const Bytes& samples, std::uint32_t offset = 0) {
  Bytes b;
  put(b, offset, 4);
  put(b, 0, 4);
  b.insert(b.end(), offset, 0xee);
  b.insert(b.end(), samples.begin(), samples.end());
  return chunk("SSND", b);
}

// From a copy of exactly the file's size, so that a read past its end
// meets the sanitizers' guard rather than spare capacity.
kit::AiffSound decode(const Bytes& b) {
  const Bytes exact(b);
  return kit::decodeAiff(exact.data(), exact.size());
}

TEST(Aiff, DecodesTheCommittedSounds) {
  // tools/make_resources.py: mono, 16 bits, 44.1 kHz, faded in and out
  // to silence, peaking at -3 dB.
  struct Case {
    const char* name;
    std::size_t frames;
  } cases[] = {
      {"Dit Hit 2.aif", 5292}, {"BellTransitionTrimmed.aif", 52920}, {"Squeak.aif", 13230}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const kit::AiffSound s = kit::decodeAiffFile(std::string(VITRANE_RESOURCE_DIR) + "/" + c.name);
    ASSERT_TRUE(s) << s.error;
    EXPECT_EQ(s.channels, 1);
    EXPECT_EQ(s.sampleRate, 44100);
    ASSERT_EQ(s.frames(), c.frames);
    EXPECT_EQ(s.samples.front(), 0);
    EXPECT_EQ(s.samples.back(), 0);
    float peak = 0;
    for (float v : s.samples) peak = std::max(peak, std::abs(v));
    EXPECT_NEAR(peak, std::pow(10, -3.0 / 20), 1e-3);
  }
  const kit::AiffSound tick =
      kit::decodeAiffFile(std::string(VITRANE_RESOURCE_DIR) + "/Dit Hit 2.aif");
  EXPECT_EQ(tick.samples[1], -16 / 32768.f);  // 0xfff0
  EXPECT_EQ(tick.samples[3], 214 / 32768.f);  // 0x00d6
}

TEST(Aiff, DecodesEachSampleLayout) {
  // Two channels of 8 bits, an odd-sized chunk to skip before COMM, the
  // samples after four bytes of offset.
  const Bytes eight = form("AIFF", {chunk("NAME", {'a', 'b', 'c'}), comm(2, 3, 8, 22050),
                                    ssnd({0x80, 0x7f, 0x00, 0x40, 0xc0, 0x01}, 4)});
  kit::AiffSound s = decode(eight);
  ASSERT_TRUE(s) << s.error;
  EXPECT_EQ(s.channels, 2);
  EXPECT_EQ(s.sampleRate, 22050);
  EXPECT_EQ(s.samples, (std::vector<float>{-1, 127 / 128.f, 0, 0.5f, -0.5f, 1 / 128.f}));

  // AIFF-C little-endian 16 bits, with SSND before COMM.
  s = decode(
      form("AIFC", {ssnd({0x00, 0x40, 0x00, 0x80, 0xff, 0xff}), comm(1, 3, 16, 8000.5, "sowt")}));
  ASSERT_TRUE(s) << s.error;
  EXPECT_EQ(s.sampleRate, 8000.5);
  EXPECT_EQ(s.samples, (std::vector<float>{0.5f, -1, -1 / 32768.f}));

  // Uncompressed AIFF-C of 24 and 32 bits; 12 bits sit in the top of two bytes.
  s = decode(form("AIFC", {comm(1, 2, 24, 48000, "NONE"), ssnd({0x40, 0, 0, 0xc0, 0, 0})}));
  EXPECT_EQ(s.samples, (std::vector<float>{0.5f, -0.5f}));
  s = decode(form("AIFF", {comm(1, 1, 32, 48000), ssnd({0x80, 0, 0, 0})}));
  EXPECT_EQ(s.samples, (std::vector<float>{-1}));
  s = decode(form("AIFF", {comm(1, 1, 12, 48000), ssnd({0x7f, 0xf0})}));
  EXPECT_EQ(s.samples, (std::vector<float>{2047 / 2048.f}));
}

TEST(Aiff, RefusesDamagedFilesWithAReason) {
  const Bytes samples{1, 2, 3, 4, 5, 6};
  const Bytes good = form("AIFF", {comm(2, 3, 8, 22050), ssnd(samples, 4)});
  ASSERT_TRUE(decode(good));
  for (std::size_t n = 0; n < good.size(); ++n)
    EXPECT_FALSE(decode(Bytes(good.begin(), good.begin() + static_cast<long>(n)))) << n << " bytes";
  // Bytes too few for a chunk at the FORM's end say nothing and harm nothing.
  Bytes stray = good;
  stray.insert(stray.end(), {'S', 'S', 'N'});
  stray[7] += 3;
  EXPECT_TRUE(decode(stray));

  Bytes longChunk = good;
  longChunk[good.size() - 18 - 8 + 7] += 2;  // the SSND chunk's size
  Bytes farOffset = good;
  farOffset[good.size() - 18 + 3] = 20;  // samples start past the chunk's end
  Bytes riff = good;
  std::memcpy(riff.data(), "RIFF", 4);
  const double kNaN = std::numeric_limits<double>::quiet_NaN();
  struct Case {
    const char* what;
    Bytes file;
    const char* error;
  } cases[] = {
      {"a chunk past the end", longChunk, "truncated"},
      {"an offset past the chunk", farOffset, "beyond"},
      {"not a FORM", riff, "not an AIFF"},
      {"a FORM of something else", form("WAVE", {}), "not an AIFF"},
      {"more frames than samples", form("AIFF", {comm(2, 4, 8, 22050), ssnd(samples)}), "need"},
      {"an enormous frame count", form("AIFF", {comm(32767, 0xffffffff, 32, 22050), ssnd(samples)}),
       "need"},
      {"no channels", form("AIFF", {comm(0, 3, 8, 22050), ssnd(samples)}), "channels"},
      {"negative channels", form("AIFF", {comm(-2, 3, 8, 22050), ssnd(samples)}), "channels"},
      {"no bits", form("AIFF", {comm(2, 3, 0, 22050), ssnd(samples)}), "bit"},
      {"33 bits", form("AIFF", {comm(2, 3, 33, 22050), ssnd(samples)}), "bit"},
      {"rate 0", form("AIFF", {comm(2, 3, 8, 0), ssnd(samples)}), "sample rate"},
      {"negative rate", form("AIFF", {comm(2, 3, 8, -22050), ssnd(samples)}), "sample rate"},
      {"rate NaN", form("AIFF", {comm(2, 3, 8, kNaN), ssnd(samples)}), "sample rate"},
      {"rate 2 MHz", form("AIFF", {comm(2, 3, 8, 2e6), ssnd(samples)}), "sample rate"},
      {"a short COMM", form("AIFF", {chunk("COMM", Bytes(16)), ssnd(samples)}), "too short"},
      {"compressed", form("AIFC", {comm(2, 3, 8, 22050, "ima4"), ssnd(samples)}), "compressed"},
      {"no COMM", form("AIFF", {ssnd(samples)}), "no COMM"},
      {"no SSND", form("AIFF", {comm(2, 3, 8, 22050)}), "no SSND"},
      {"two COMMs", form("AIFF", {comm(2, 3, 8, 22050), comm(2, 3, 8, 22050), ssnd(samples)}),
       "two COMM"},
  };
  for (const Case& c : cases) {
    const kit::AiffSound s = decode(c.file);
    EXPECT_FALSE(s) << c.what;
    EXPECT_NE(s.error.find(c.error), std::string::npos) << c.what << ": " << s.error;
    EXPECT_TRUE(s.samples.empty()) << c.what;
  }
  EXPECT_NE(kit::decodeAiffFile("/nonexistent/Squeak.aif").error.find("/nonexistent/Squeak.aif"),
            std::string::npos);
}

}  // namespace
