#include "render/sampling.h"

#include <cmath>

namespace render {

Sampling samplingFor(const Quad& q, int width, int height) {
  // Texels a pixel along the quad's top and left edges.
  auto along = [&](int from, int to) {
    const double pixels =
        std::hypot(q.corners[to].x - q.corners[from].x, q.corners[to].y - q.corners[from].y);
    const double texels = std::hypot((q.texCoords[to].x - q.texCoords[from].x) * width,
                                     (q.texCoords[to].y - q.texCoords[from].y) * height);
    return pixels > 0 ? texels / pixels : 0.0;
  };
  const double across = along(0, 1), down = along(0, 3);
  if (!(across > 1.001 || down > 1.001)) return Sampling::Smooth;
  const double level = std::log2(across);
  const bool even = std::fabs(std::log2(down) - level) < kLevelSlack;
  return even && std::fabs(level - std::round(level)) < kLevelSlack ? Sampling::OneLevel
                                                                    : Sampling::Trilinear;
}

}  // namespace render
