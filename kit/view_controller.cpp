#include "kit/view_controller.h"

namespace kit {

const ViewRef& ViewController::view() {
  if (!view_) {
    view_ = loadView();
    if (!view_) view_ = std::make_shared<View>();
    viewDidLoad();
  }
  return view_;
}

ViewRef ViewController::loadView() { return std::make_shared<View>(); }

void Window::setRootViewController(ViewController* controller) {
  if (rootViewController_ && rootViewController_->isViewLoaded())
    rootViewController_->view()->removeFromSuperview();
  rootViewController_ = controller;
  if (controller) addSubview(controller->view());
}

}  // namespace kit
