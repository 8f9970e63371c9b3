// A popover: a view controller's content held in a floating panel presented
// from a rectangle of a view.
//
// While it is presented the content's view lies in a framed panel on top of
// the tree the presenting view is in (the window), next to the rectangle,
// at the content size (kept inside the screen); a touch anywhere outside the
// panel dismisses it as the user's dismissal. How it is placed is in
// kit/popover_presentation.h.
#pragma once

#include <functional>
#include <memory>

#include "kit/geometry.h"
#include "kit/view_controller.h"

namespace kit {

class View;

class PopoverController {
 public:
  explicit PopoverController(std::shared_ptr<ViewController> content)
      : content_(std::move(content)) {}
  ~PopoverController() {
    hidePanel();
    detachContent();
  }
  PopoverController(const PopoverController&) = delete;
  PopoverController& operator=(const PopoverController&) = delete;

  const std::shared_ptr<ViewController>& content() const { return content_; }
  Size contentSize() const { return contentSize_; }
  void setContentSize(Size size) {
    contentSize_ = size;
    if (presented_) layoutPanel();
  }

  bool isPresented() const { return presented_; }
  const Rect& presentedFromRect() const { return fromRect_; }
  View* presentedInView() const { return inView_; }
  void presentFromRect(const Rect& rect, View* inView) {
    fromRect_ = rect;
    inView_ = inView;
    presented_ = true;
    if (content_) content_->setPresentingPopover(this);
    showPanel();
  }
  void dismiss() {
    presented_ = false;
    hidePanel();
    detachContent();
  }
  // Where the panel's content lies now, in the coordinates of the tree's
  // root (the window); empty when it is not shown.
  Rect contentFrameInRoot() const;

  // Called when the user dismisses it by touching outside (not after dismiss()).
  // The handler may give up the last reference to this popover.
  std::function<void(PopoverController&)> onDismissedByUser;
  void dismissByUser() {
    if (!presented_) return;
    presented_ = false;
    hidePanel();
    detachContent();
    const auto handler = onDismissedByUser;  // outlives this popover if need be
    if (handler) handler(*this);
  }

 private:
  void detachContent() {
    if (content_ && content_->presentingPopover() == this) content_->setPresentingPopover(nullptr);
  }

  // kit/popover_presentation.cpp
  void showPanel();
  void layoutPanel();
  void hidePanel();

  std::shared_ptr<ViewController> content_;
  // The backdrop that takes touches outside, and the framed panel.
  std::shared_ptr<View> backdrop_;
  std::shared_ptr<View> panel_;
  Size contentSize_{320, 480};
  Rect fromRect_;
  View* inView_ = nullptr;
  bool presented_ = false;
};

}  // namespace kit
