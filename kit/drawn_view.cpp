#include "kit/drawn_view.h"

namespace kit {

void DrawnView::displayIfNeeded() {
  if (!needsDisplay()) return;
  drawing_ = ViewDrawingContext{};
  displayed_ = true;
  displayedGeneration_ = displayGeneration();
  drawRect(drawing_, bounds());
  // The clip ends with the display.
  drawing_.mask_.reset();
}

const std::vector<DrawnPicture>& DrawnView::drawing() const {
  // Displaying belongs to drawing the frame: the view object itself is
  // never const, only the compositor's way of walking the tree is.
  if (needsDisplay()) const_cast<DrawnView*>(this)->displayIfNeeded();
  return drawing_.pictures();
}

}  // namespace kit
