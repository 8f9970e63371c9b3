// A ring on the screen where the mouse's second finger is while Ctrl or Alt
// is held: that finger mirrors the mouse through the screen's centre, and
// a twist or pinch is hard to aim at a point one cannot see.
#pragma once

#include <memory>
#include <optional>

#include "kit/geometry.h"
#include "kit/image_view.h"

namespace desktop {

class MirrorMark {
 public:
  static constexpr float kSide = 44;  // points

  MirrorMark();
  // The view to lay over the application's window; it takes no touches.
  const std::shared_ptr<kit::ImageView>& view() const { return view_; }

  // mouse: the pointer's screen point; none when it is outside the window
  // or over the bars beside the screen, where the mouse makes no touches.
  void update(bool modifierHeld, std::optional<kit::Point> mouse);
  bool isShown() const { return !view_->isHidden(); }
  kit::Point centre() const { return view_->center(); }

 private:
  std::shared_ptr<kit::ImageView> view_;
};

}  // namespace desktop
