// Which filtering a textured quad gets: the cheapest that draws the same
// picture.
#include <gtest/gtest.h>

#include <cmath>
#include <numbers>

#include "render/sampling.h"

namespace {

using render::Sampling;

// A square of side pixels turned by angle about its top-left corner, showing
// tiles × tiles repeats of its texture.
render::Quad square(double side, double angle, float tiles = 1) {
  const double c = std::cos(angle) * side, s = std::sin(angle) * side;
  render::Quad q;
  q.corners = {kit::Point{10, 10},
               {static_cast<float>(10 + c), static_cast<float>(10 + s)},
               {static_cast<float>(10 + c - s), static_cast<float>(10 + s + c)},
               {static_cast<float>(10 - s), static_cast<float>(10 + c)}};
  q.texCoords = {kit::Point{0, 0}, {tiles, 0}, {tiles, tiles}, {0, tiles}};
  return q;
}

TEST(RenderSampling, AtMostATexelAPixelReadsThePictureItself) {
  EXPECT_EQ(render::samplingFor(square(256, 0), 256, 256), Sampling::Smooth);
  EXPECT_EQ(render::samplingFor(square(512, 0.5), 256, 256),
            Sampling::Smooth);  // magnified, turned
}

TEST(RenderSampling, AnEvenScaleOfAPowerOfTwoReadsOneLevel) {
  const double turn = std::numbers::pi / 6;
  EXPECT_EQ(render::samplingFor(square(64, turn), 256, 256), Sampling::OneLevel);  // a quarter
  EXPECT_EQ(render::samplingFor(square(96, turn, 3), 128, 128),
            Sampling::OneLevel);  // three tiles at a quarter
  EXPECT_EQ(render::samplingFor(square(128, 0), 256, 256), Sampling::OneLevel);  // a half
  EXPECT_EQ(render::samplingFor(square(64.5, turn), 256, 256),
            Sampling::OneLevel);  // within the slack
}

TEST(RenderSampling, ScalesBetweenLevelsAndUnevenScalesBlendTwoLevels) {
  EXPECT_EQ(render::samplingFor(square(85, 0.3), 256, 256), Sampling::Trilinear);  // a third
  EXPECT_EQ(render::samplingFor(square(256.0 / 6, 0.3), 256, 256), Sampling::Trilinear);
  // A quarter across, a half down.
  render::Quad stretched = square(64, 0);
  stretched.corners[2].y = stretched.corners[3].y = 10 + 128;
  EXPECT_EQ(render::samplingFor(stretched, 256, 256), Sampling::Trilinear);
}

}  // namespace
