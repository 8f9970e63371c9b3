// How a textured quad is sampled. A software rasteriser (the headless
// runner's, a browser's without a GPU) pays for every texel it reads, and
// trilinear filtering reads eight a pixel from two mipmap levels; most
// quads need far less.
#pragma once

#include "render/draw_list.h"

namespace render {

enum class Sampling : unsigned char {
  Smooth,     // bilinear from the picture itself: at most one texel a pixel
  OneLevel,   // bilinear from the one mipmap level that fits exactly
  Trilinear,  // between the two levels around the scale
};

// For a quad over a texture of width × height texels. An affine quad has
// one scale all over; where that scale is the same along both edges (a
// turned, evenly scaled picture) and within kLevelSlack of a power of two
// (a quarter, an eighth: the table's long shot), the one level that fits
// gives what trilinear filtering gives, at half the reads.
Sampling samplingFor(const Quad& q, int width, int height);
inline constexpr double kLevelSlack = 0.02;  // in levels (log2 of the scale)

}  // namespace render
