// A view controller: owns a view that it loads on first use, and answers
// the platform's rotation questions.
#pragma once

#include <memory>

#include "kit/view.h"

namespace kit {

class PopoverController;

enum InterfaceOrientation {
  InterfaceOrientationPortrait = 1,
  InterfaceOrientationPortraitUpsideDown = 2,
  InterfaceOrientationLandscapeRight = 3,
  InterfaceOrientationLandscapeLeft = 4,
};

class ViewController {
 public:
  virtual ~ViewController();

  // Loads the view the first time it is asked for.
  const ViewRef& view();
  bool isViewLoaded() const { return view_ != nullptr; }

  virtual bool shouldAutorotateToInterfaceOrientation(int /*orientation*/) { return true; }
  virtual void willAnimateRotationToInterfaceOrientation(int /*orientation*/, double /*duration*/) {
  }
  // The view has been given its size by whoever shows it (a window, a
  // popover, a modal presentation); lay its subviews out for it.
  virtual void viewWillLayoutSubviews() {}

  // Modal presentation: this controller shows another one over its own
  // view until it dismisses it. Presenting while another is shown replaces
  // it. The shown controller's view covers the whole of the tree this
  // controller's view is in (the window), above everything else, while it is
  // shown.
  void presentModalViewController(std::shared_ptr<ViewController> controller, bool animated);
  // Dismisses the controller this one presents; nothing when there is none.
  void dismissModalViewControllerAnimated(bool animated);
  ViewController* modalViewController() const { return modal_.get(); }
  // The controller that presents this one modally; null otherwise (a
  // controller shown in a popover has none).
  ViewController* parentViewController() const { return parent_; }
  // The popover showing this controller as its content, while it is shown.
  PopoverController* presentingPopover() const { return popover_; }
  void setPresentingPopover(PopoverController* popover) { popover_ = popover; }

 protected:
  // Makes the view; the default is an empty one.
  virtual ViewRef loadView();
  virtual void viewDidLoad() {}

 private:
  ViewRef view_;
  std::shared_ptr<ViewController> modal_;
  ViewController* parent_ = nullptr;
  PopoverController* popover_ = nullptr;
};

// The window: the root of the visible tree, showing its root view
// controller's view.
class Window : public View {
 public:
  explicit Window(const Rect& frame) : View(frame) {}
  std::string className() const override { return "Window"; }

  ViewController* rootViewController() const { return rootViewController_; }
  // Loads the controller's view (if not yet loaded) and shows it.
  void setRootViewController(ViewController* controller);
  void makeKeyAndVisible() { visible_ = true; }
  bool isVisible() const { return visible_; }

 private:
  ViewController* rootViewController_ = nullptr;
  bool visible_ = false;
};

}  // namespace kit
