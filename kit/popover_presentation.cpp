// Showing a popover: a backdrop over the whole screen that takes every touch
// outside the panel (and dismisses the popover with it), and the framed
// panel holding the content's view.
#include "kit/popover_presentation.h"

#include <algorithm>
#include <cmath>

#include "kit/gesture_recognizer.h"
#include "kit/popover.h"
#include "kit/view.h"

namespace kit {

namespace {

// Recognised as soon as a finger comes down: a touch outside a popover
// dismisses it at once, whatever the finger does next.
class TouchDownGestureRecognizer final : public GestureRecognizer {
 public:
  using GestureRecognizer::GestureRecognizer;
  std::string kind() const override { return "touchDown"; }

 private:
  void touchesChanged(const std::vector<Touch>& touches, double) override {
    if (state() != GestureState::Possible) return;
    for (const Touch& t : touches)
      if (t.phase == TouchPhase::Began) {
        setTouches(t.location, static_cast<int>(touches.size()));
        tryToRecognize();
        return;
      }
  }
};

float clampInto(float start, float length, float lo, float hi) {
  // A panel longer than the room starts at the room's start.
  return std::max(lo, std::min(start, hi - length));
}

bool finite(const Rect& r) {
  return std::isfinite(r.origin.x) && std::isfinite(r.origin.y) && std::isfinite(r.size.width) &&
         std::isfinite(r.size.height);
}

}  // namespace

PopoverPlacement placePopover(const Rect& fromRect, Size contentSize, const Rect& screen) {
  const float m = kPopoverScreenMargin, b = kPopoverBorder, gap = kPopoverGap;
  const float left = screen.minX() + m, top = screen.minY() + std::max(m, kPopoverTopInset);
  const float right = screen.maxX() - m, bottom = screen.maxY() - m;

  auto side = [](float v, float room) {
    return std::isfinite(v) ? std::clamp(v, 0.0f, std::max(0.0f, room)) : 0.0f;
  };
  const Size content{side(contentSize.width, right - left - 2 * b),
                     side(contentSize.height, bottom - top - 2 * b)};
  const Size panel{content.width + 2 * b, content.height + 2 * b};

  // The part of the rectangle on the screen; a rectangle off it counts as
  // the nearest point of the screen.
  Rect from = finite(fromRect) ? fromRect : Rect{screen.midX(), screen.midY(), 0, 0};
  const float fx0 = std::clamp(from.minX(), screen.minX(), screen.maxX());
  const float fx1 = std::clamp(from.maxX(), screen.minX(), screen.maxX());
  const float fy0 = std::clamp(from.minY(), screen.minY(), screen.maxY());
  const float fy1 = std::clamp(from.maxY(), screen.minY(), screen.maxY());
  const float midX = (fx0 + fx1) / 2, midY = (fy0 + fy1) / 2;

  const float centredX = clampInto(midX - panel.width / 2, panel.width, left, right);
  const float centredY = clampInto(midY - panel.height / 2, panel.height, top, bottom);
  Point origin{centredX, centredY};
  if (fy1 + gap + panel.height <= bottom)
    origin = {centredX, fy1 + gap};
  else if (fy0 - gap - panel.height >= top)
    origin = {centredX, fy0 - gap - panel.height};
  else if (fx1 + gap + panel.width <= right)
    origin = {fx1 + gap, centredY};
  else if (fx0 - gap - panel.width >= left)
    origin = {fx0 - gap - panel.width, centredY};

  PopoverPlacement placement;
  placement.panel = {origin, panel};
  placement.content = {{origin.x + b, origin.y + b}, content};
  return placement;
}

void PopoverController::showPanel() {
  hidePanel();
  if (!inView_ || !content_) return;
  View* root = inView_->root();

  backdrop_ = std::make_shared<View>(root->bounds());
  backdrop_->setName("popoverBackdrop");
  backdrop_->addGestureRecognizer(
      std::make_shared<TouchDownGestureRecognizer>([this](GestureRecognizer&) {
        // May give this popover up: nothing may follow.
        dismissByUser();
      }));

  panel_ = std::make_shared<View>();
  panel_->setName("popoverPanel");
  panel_->setBackgroundColor({0.16f, 0.17f, 0.19f, 0.97f});

  const ViewRef& contentView = content_->view();
  contentView->setTransform(AffineTransform{});
  contentView->setClipsToBounds(true);
  panel_->addSubview(contentView);

  root->addSubview(backdrop_);
  root->addSubview(panel_);
  layoutPanel();
}

void PopoverController::layoutPanel() {
  if (!panel_ || !inView_ || !content_) return;
  View* root = inView_->root();
  // The rectangle in the root's coordinates (its bounding box, should the
  // view be turned).
  const Point corners[4] = {
      inView_->convertPointToView(fromRect_.origin, root),
      inView_->convertPointToView({fromRect_.maxX(), fromRect_.minY()}, root),
      inView_->convertPointToView({fromRect_.maxX(), fromRect_.maxY()}, root),
      inView_->convertPointToView({fromRect_.minX(), fromRect_.maxY()}, root)};
  float x0 = corners[0].x, x1 = x0, y0 = corners[0].y, y1 = y0;
  for (const Point& c : corners) {
    x0 = std::min(x0, c.x), x1 = std::max(x1, c.x);
    y0 = std::min(y0, c.y), y1 = std::max(y1, c.y);
  }
  const PopoverPlacement place =
      placePopover({x0, y0, x1 - x0, y1 - y0}, contentSize_, root->bounds());
  backdrop_->setFrame(root->bounds());
  panel_->setFrame(place.panel);
  content_->view()->setFrame(
      {kPopoverBorder, kPopoverBorder, place.content.size.width, place.content.size.height});
  content_->viewWillLayoutSubviews();
}

void PopoverController::hidePanel() {
  if (content_ && content_->isViewLoaded() && panel_ &&
      content_->view()->superview() == panel_.get())
    content_->view()->removeFromSuperview();
  if (backdrop_) backdrop_->removeFromSuperview();
  if (panel_) panel_->removeFromSuperview();
  backdrop_.reset();
  panel_.reset();
}

Rect PopoverController::contentFrameInRoot() const {
  if (!panel_ || !content_ || !content_->isViewLoaded()) return {};
  const View& v = *content_->view();
  const Rect b = v.bounds();
  const Point o = v.convertPointToView(b.origin, nullptr);
  return {o, b.size};
}

}  // namespace kit
