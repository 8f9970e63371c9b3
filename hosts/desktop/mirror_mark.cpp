#include "hosts/desktop/mirror_mark.h"

#include <algorithm>
#include <cmath>

#include "hosts/desktop/screen_mapping.h"

namespace desktop {

namespace {

// A white ring with a dark rim, so it shows on light and dark tables alike,
// drawn at twice the points for a sharp edge.
kit::ImageRef ringImage() {
  constexpr int kPixels = static_cast<int>(2 * MirrorMark::kSide);
  constexpr float kOuter = kPixels / 2.0f - 1, kWidth = 6, kRim = 2;
  auto bitmap =
      std::make_shared<kit::Bitmap>(kit::Bitmap::make(kPixels, kPixels, kit::PixelFormat::RGBA8));
  for (int y = 0; y < kPixels; ++y)
    for (int x = 0; x < kPixels; ++x) {
      const float r = std::hypot(x + 0.5f - kPixels / 2.0f, y + 0.5f - kPixels / 2.0f);
      // Distance inside the band between the two circles, for soft edges.
      const float inside = std::min(kOuter - r, r - (kOuter - kWidth - 2 * kRim));
      const float coverage = std::clamp(inside + 0.5f, 0.0f, 1.0f);
      const bool rim = r > kOuter - kRim || r < kOuter - kWidth - kRim;
      std::uint8_t* p = bitmap->row(y) + 4 * x;
      const std::uint8_t shade = rim ? 40 : 255;
      p[0] = p[1] = p[2] = shade;
      p[3] = static_cast<std::uint8_t>(std::lround(coverage * (rim ? 200 : 230)));
    }
  return std::make_shared<kit::Image>(bitmap, kit::ImageOrientation::Up, 2);
}

bool onScreen(kit::Point p) {
  return p.x >= 0 && p.y >= 0 && p.x <= kScreenWidth && p.y <= kScreenHeight;
}

}  // namespace

MirrorMark::MirrorMark() : view_(std::make_shared<kit::ImageView>(ringImage())) {
  view_->setName("mirrorMark");
  view_->setFrame({0, 0, kSide, kSide});
  view_->setUserInteractionEnabled(false);
  view_->setHidden(true);
}

void MirrorMark::update(bool modifierHeld, std::optional<kit::Point> mouse) {
  const bool show = modifierHeld && mouse && onScreen(*mouse);
  if (show) view_->setCenter(mirroredPoint(*mouse));
  view_->setHidden(!show);
}

}  // namespace desktop
