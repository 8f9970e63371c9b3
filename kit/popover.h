// A popover: content held in a floating panel presented from a rectangle of
// a view. The kit models it; a host decides how it looks.
#pragma once

#include <functional>
#include <memory>

#include "kit/geometry.h"

namespace kit {

class View;

class PopoverController {
 public:
  // The content is whatever object the popover holds (a view controller).
  explicit PopoverController(std::shared_ptr<void> content) : content_(std::move(content)) {}

  const std::shared_ptr<void>& content() const { return content_; }
  Size contentSize() const { return contentSize_; }
  void setContentSize(Size size) { contentSize_ = size; }

  bool isPresented() const { return presented_; }
  const Rect& presentedFromRect() const { return fromRect_; }
  View* presentedInView() const { return inView_; }
  void presentFromRect(const Rect& rect, View* inView) {
    fromRect_ = rect;
    inView_ = inView;
    presented_ = true;
  }
  void dismiss() { presented_ = false; }

  // Called when the user dismisses it by touching outside (not after dismiss()).
  std::function<void(PopoverController&)> onDismissedByUser;
  void dismissByUser() {
    presented_ = false;
    if (onDismissedByUser) onDismissedByUser(*this);
  }

 private:
  std::shared_ptr<void> content_;
  Size contentSize_{320, 480};
  Rect fromRect_;
  View* inView_ = nullptr;
  bool presented_ = false;
};

}  // namespace kit
