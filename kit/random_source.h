// The platform's uniform source of non-negative 31-bit integers.
#pragma once

#include <cstdint>
#include <random>

namespace kit {

class RandomSource {
 public:
  // The generator's default state unless seeded.
  RandomSource() = default;
  void seed(std::uint32_t value) { engine_.seed(value); }
  // 1 .. 2^31 − 2, uniformly.
  std::uint32_t next() { return static_cast<std::uint32_t>(engine_()); }

 private:
  std::minstd_rand engine_;
};

}  // namespace kit
