// Reading AIFF sounds into samples, for hosts whose audio cannot read the
// files themselves (a browser's Web Audio takes PCM only).
//
// Plain AIFF, and AIFF-C whose compression is none ('NONE', 'twos': signed
// big-endian) or 'sowt' (signed little-endian); samples of 1 to 32 bits,
// each in whole bytes as AIFF stores them. Everything in the file is taken
// as untrusted: a size that reaches past the data, a frame count the sound
// data cannot hold, an absurd rate, a missing chunk or a truncated file
// gives an error, never a read beyond the bytes given or an allocation
// larger than the file's samples.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace kit {

struct AiffSound {
  int channels = 0;
  double sampleRate = 0;       // frames per second
  std::vector<float> samples;  // -1 to 1, channels interleaved frame by frame
  std::string error;           // why there is no sound

  explicit operator bool() const { return error.empty(); }
  std::size_t frames() const {
    return channels > 0 ? samples.size() / static_cast<std::size_t>(channels) : 0;
  }
};

AiffSound decodeAiff(const std::uint8_t* data, std::size_t size);
AiffSound decodeAiffFile(const std::string& path);

}  // namespace kit
