// A popover: a view controller's content held in a floating panel presented
// from a rectangle of a view. The kit models it; a host decides how it looks.
#pragma once

#include <functional>
#include <memory>

#include "kit/geometry.h"
#include "kit/view_controller.h"

namespace kit {

class View;

class PopoverController {
 public:
  explicit PopoverController(std::shared_ptr<ViewController> content) : content_(std::move(content)) {}
  ~PopoverController() { detachContent(); }
  PopoverController(const PopoverController&) = delete;
  PopoverController& operator=(const PopoverController&) = delete;

  const std::shared_ptr<ViewController>& content() const { return content_; }
  Size contentSize() const { return contentSize_; }
  void setContentSize(Size size) { contentSize_ = size; }

  bool isPresented() const { return presented_; }
  const Rect& presentedFromRect() const { return fromRect_; }
  View* presentedInView() const { return inView_; }
  void presentFromRect(const Rect& rect, View* inView) {
    fromRect_ = rect;
    inView_ = inView;
    presented_ = true;
    if (content_) content_->setPresentingPopover(this);
  }
  void dismiss() {
    presented_ = false;
    detachContent();
  }

  // Called when the user dismisses it by touching outside (not after dismiss()).
  // The handler may give up the last reference to this popover.
  std::function<void(PopoverController&)> onDismissedByUser;
  void dismissByUser() {
    if (!presented_) return;
    presented_ = false;
    detachContent();
    const auto handler = onDismissedByUser;  // outlives this popover if need be
    if (handler) handler(*this);
  }

 private:
  void detachContent() {
    if (content_ && content_->presentingPopover() == this) content_->setPresentingPopover(nullptr);
  }

  std::shared_ptr<ViewController> content_;
  Size contentSize_{320, 480};
  Rect fromRect_;
  View* inView_ = nullptr;
  bool presented_ = false;
};

}  // namespace kit
