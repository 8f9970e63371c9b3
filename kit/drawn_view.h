// Views that draw their own content in drawRect.
//
// The platform calls drawRect when the view is about to be drawn and has
// asked for it (setNeedsDisplay) since its last display, never at the
// request itself: many requests between two frames make one redraw. What
// drawRect draws is kept as a short list of pictures, each possibly seen
// through a grey mask, which the compositor shows until the next display.
#pragma once

#include <vector>

#include "kit/geometry.h"
#include "kit/grey_bitmap_context.h"
#include "kit/image.h"
#include "kit/view.h"

namespace kit {

// One picture drawn into rect (view coordinates), showing only where the
// mask, mapped onto maskRect, is light: white shows, black hides.
struct DrawnPicture {
  ImageRef image;
  Rect rect;
  GreyImageRef mask;  // none: unmasked
  Rect maskRect;
};

// The drawing context handed to drawRect.
class ViewDrawingContext {
 public:
  // Everything drawn after this shows through mask, mapped onto rect
  // (outside rect nothing shows).
  void clipToMask(const Rect& rect, GreyImageRef mask) {
    mask_ = std::move(mask);
    maskRect_ = rect;
  }
  void drawImage(const ImageRef& image, const Rect& rect) {
    if (image) pictures_.push_back({image, rect, mask_, maskRect_});
  }
  const std::vector<DrawnPicture>& pictures() const { return pictures_; }

 private:
  friend class DrawnView;
  std::vector<DrawnPicture> pictures_;
  GreyImageRef mask_;
  Rect maskRect_;
};

class DrawnView : public View {
 public:
  using View::View;

  // Runs drawRect over the bounds if the view asked to be drawn again since
  // its last display (or was never drawn). The previous drawing is given
  // up first.
  void displayIfNeeded();
  bool needsDisplay() const { return !displayed_ || displayedGeneration_ != displayGeneration(); }

  // What the last display drew, displaying first when needed: the
  // compositor asks at draw time, which is when the platform redraws.
  const std::vector<DrawnPicture>& drawing() const;

 protected:
  virtual void drawRect(ViewDrawingContext& context, const Rect& rect) = 0;

 private:
  ViewDrawingContext drawing_;
  bool displayed_ = false;
  unsigned displayedGeneration_ = 0;
};

}  // namespace kit
