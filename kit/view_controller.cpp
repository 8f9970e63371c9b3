#include "kit/view_controller.h"

namespace kit {

ViewController::~ViewController() {
  if (!modal_) return;
  modal_->parent_ = nullptr;
  if (modal_->isViewLoaded()) modal_->view()->removeFromSuperview();
}

const ViewRef& ViewController::view() {
  if (!view_) {
    view_ = loadView();
    if (!view_) view_ = std::make_shared<View>();
    viewDidLoad();
  }
  return view_;
}

ViewRef ViewController::loadView() { return std::make_shared<View>(); }

void ViewController::presentModalViewController(std::shared_ptr<ViewController> controller,
                                                bool animated) {
  if (!controller || controller.get() == this) return;
  dismissModalViewControllerAnimated(animated);
  controller->parent_ = this;
  modal_ = std::move(controller);
  // Over everything, covering the screen.
  View* root = view()->root();
  const ViewRef& shown = modal_->view();
  shown->setTransform(AffineTransform{});
  shown->setFrame(root->bounds());
  root->addSubview(shown);
  modal_->viewWillLayoutSubviews();
}

void ViewController::dismissModalViewControllerAnimated(bool) {
  // The shown controller may be the last owner of whoever called this.
  std::shared_ptr<ViewController> shown = std::move(modal_);
  modal_.reset();
  if (!shown) return;
  shown->parent_ = nullptr;
  if (shown->isViewLoaded()) shown->view()->removeFromSuperview();
}

void Window::setRootViewController(ViewController* controller) {
  if (rootViewController_ && rootViewController_->isViewLoaded())
    rootViewController_->view()->removeFromSuperview();
  rootViewController_ = controller;
  if (controller) addSubview(controller->view());
}

}  // namespace kit
