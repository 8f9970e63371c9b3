#include "kit/aiff.h"

#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <limits>
#include <new>

namespace kit {

namespace {

constexpr double kHighestRate = 1e6;  // Hz
// Larger than any sound a host plays; a bigger "sound" file is a mistake,
// and reading it whole would only exhaust memory.
constexpr std::uintmax_t kLargestFile = 256u << 20;

std::uint32_t be32(const std::uint8_t* p) {
  return static_cast<std::uint32_t>(p[0]) << 24 | static_cast<std::uint32_t>(p[1]) << 16 |
         static_cast<std::uint32_t>(p[2]) << 8 | p[3];
}
std::int16_t be16(const std::uint8_t* p) { return static_cast<std::int16_t>(p[0] << 8 | p[1]); }

// IEEE 754 80-bit extended: sign, 15-bit exponent biased by 16383, and a
// 64-bit mantissa whose integer bit is stored.
double extended(const std::uint8_t* p) {
  const int exponent = (p[0] & 0x7f) << 8 | p[1];
  if (exponent == 0x7fff) return std::numeric_limits<double>::quiet_NaN();  // infinities, NaNs
  std::uint64_t mantissa = 0;
  for (int i = 2; i < 10; ++i) mantissa = mantissa << 8 | p[i];
  const double magnitude = std::ldexp(static_cast<double>(mantissa), exponent - 16383 - 63);
  return p[0] & 0x80 ? -magnitude : magnitude;
}

// A chunk or form type for a message: the file's bytes are not trusted to
// be printable.
std::string typeName(const std::uint8_t* p) {
  std::string s = "'";
  for (int i = 0; i < 4; ++i) s += p[i] >= 0x20 && p[i] < 0x7f ? static_cast<char>(p[i]) : '?';
  return s + "'";
}

bool isType(const std::uint8_t* p, const char* type) { return std::memcmp(p, type, 4) == 0; }

AiffSound failure(std::string why) {
  AiffSound s;
  s.error = std::move(why);
  return s;
}

struct Format {
  int channels = 0;
  std::uint32_t frames = 0;
  int bits = 0;
  double rate = 0;
  bool littleEndian = false;
};

// COMM: channels (16), frames (32), bits per sample (16), rate (80); in
// AIFF-C then the compression type and its name.
std::string readFormat(const std::uint8_t* body, std::uint64_t size, bool compressed, Format& f) {
  const std::uint64_t needed = compressed ? 22 : 18;
  if (size < needed)
    return "the COMM chunk is " + std::to_string(size) + " bytes, too short for its " +
           std::to_string(needed);
  f.channels = be16(body);
  f.frames = be32(body + 2);
  f.bits = be16(body + 6);
  f.rate = extended(body + 8);
  if (compressed) {
    const std::uint8_t* type = body + 18;
    if (isType(type, "sowt"))
      f.littleEndian = true;
    else if (!isType(type, "NONE") && !isType(type, "twos"))
      return "the sound is compressed as " + typeName(type) +
             "; only uncompressed samples can be read";
  }
  if (f.channels < 1) return "the COMM chunk gives " + std::to_string(f.channels) + " channels";
  if (f.bits < 1 || f.bits > 32)
    return "the COMM chunk gives " + std::to_string(f.bits) + "-bit samples; 1 to 32 can be read";
  if (!std::isfinite(f.rate) || f.rate <= 0 || f.rate > kHighestRate) {
    char text[96];
    std::snprintf(text, sizeof text, "the COMM chunk gives a sample rate of %g Hz", f.rate);
    return text;
  }
  return {};
}

}  // namespace

AiffSound decodeAiff(const std::uint8_t* data, std::size_t size) {
  if (!data || size < 12)
    return failure("too short for an AIFF file (" + std::to_string(data ? size : 0) + " bytes)");
  if (!isType(data, "FORM"))
    return failure("not an AIFF file: it begins " + typeName(data) + ", not 'FORM'");
  const bool compressed = isType(data + 8, "AIFC");
  if (!compressed && !isType(data + 8, "AIFF"))
    return failure("not an AIFF file: its FORM holds " + typeName(data + 8));
  // Positions are 64-bit: a 32-bit size from the file added to a position
  // must not wrap where size_t is 32 bits.
  const std::uint64_t formSize = be32(data + 4);
  if (formSize > size - 8)
    return failure("truncated: the FORM says " + std::to_string(formSize) +
                   " bytes, the file has " + std::to_string(size - 8) + " after its header");
  const std::uint64_t end = 8 + formSize;

  Format format;
  bool haveFormat = false;
  const std::uint8_t* sound = nullptr;
  std::uint64_t soundSize = 0;
  // Fewer bytes than a chunk header at the end hold nothing.
  for (std::uint64_t pos = 12; pos < end && end - pos >= 8;) {
    const std::uint8_t* header = data + pos;
    const std::uint64_t chunkSize = be32(header + 4);
    const std::uint64_t bodyAt = pos + 8;
    if (chunkSize > end - bodyAt)
      return failure("truncated: the " + typeName(header) + " chunk says " +
                     std::to_string(chunkSize) + " bytes, " + std::to_string(end - bodyAt) +
                     " remain");
    const std::uint8_t* body = data + bodyAt;
    if (isType(header, "COMM")) {
      if (haveFormat) return failure("two COMM chunks");
      if (std::string why = readFormat(body, chunkSize, compressed, format); !why.empty())
        return failure(why);
      haveFormat = true;
    } else if (isType(header, "SSND")) {
      if (sound) return failure("two SSND chunks");
      if (chunkSize < 8)
        return failure("the SSND chunk is " + std::to_string(chunkSize) +
                       " bytes, too short for its header");
      // The samples start `offset` bytes into the data; the block size
      // only suggests an alignment for writing.
      const std::uint64_t offset = be32(body);
      if (offset > chunkSize - 8)
        return failure("the SSND chunk's samples start " + std::to_string(offset) +
                       " bytes in, beyond its " + std::to_string(chunkSize - 8) + " bytes");
      sound = body + 8 + offset;
      soundSize = chunkSize - 8 - offset;
    }
    // Chunks are padded to even sizes; a last chunk may lack its pad.
    pos = bodyAt + chunkSize + (chunkSize & 1);
  }
  if (!haveFormat) return failure("no COMM chunk: the sound's format is unknown");
  if (!sound) return failure("no SSND chunk: the file holds no samples");

  const int width = (format.bits + 7) / 8;
  const std::uint64_t count =
      static_cast<std::uint64_t>(format.frames) * static_cast<std::uint64_t>(format.channels);
  if (count * static_cast<std::uint64_t>(width) > soundSize)
    return failure("the SSND chunk holds " + std::to_string(soundSize) + " bytes of samples; " +
                   std::to_string(format.frames) + " frames of " + std::to_string(format.channels) +
                   " × " + std::to_string(format.bits) + "-bit samples need " +
                   std::to_string(count * static_cast<std::uint64_t>(width)));

  AiffSound out;
  out.channels = format.channels;
  out.sampleRate = format.rate;
  try {
    out.samples.resize(static_cast<std::size_t>(count));
  } catch (const std::bad_alloc&) {
    return failure("out of memory for " + std::to_string(count) + " samples");
  }
  // Each sample sits at the top of its bytes (AIFF left-justifies samples
  // of odd sizes): read into the top of 32 bits, the sign comes along.
  const double scale = 1.0 / 2147483648.0;
  const std::uint8_t* p = sound;
  for (float& sample : out.samples) {
    std::uint32_t word = 0;
    for (int i = 0; i < width; ++i) {
      const std::uint8_t byte = format.littleEndian ? p[width - 1 - i] : p[i];
      word |= static_cast<std::uint32_t>(byte) << (24 - 8 * i);
    }
    sample = static_cast<float>(static_cast<std::int32_t>(word) * scale);
    p += width;
  }
  return out;
}

AiffSound decodeAiffFile(const std::string& path) {
  namespace fs = std::filesystem;
  std::error_code ec;
  if (!fs::is_regular_file(path, ec)) return failure(path + ": not a file");
  const std::uintmax_t size = fs::file_size(path, ec);
  if (ec) return failure(path + ": " + ec.message());
  if (size > kLargestFile)
    return failure(path + ": " + std::to_string(size) + " bytes, too large for a sound");
  std::vector<std::uint8_t> bytes(static_cast<std::size_t>(size));
  std::ifstream in(path, std::ios::binary);
  if (!in.read(reinterpret_cast<char*>(bytes.data()), static_cast<std::streamsize>(bytes.size())))
    return failure(path + ": cannot be read");
  AiffSound sound = decodeAiff(bytes.data(), bytes.size());
  if (!sound) sound.error = path + ": " + sound.error;
  return sound;
}

}  // namespace kit
