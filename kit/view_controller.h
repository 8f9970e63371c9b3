// A view controller: owns a view that it loads on first use, and answers
// the platform's rotation questions.
#pragma once

#include "kit/view.h"

namespace kit {

enum InterfaceOrientation {
  InterfaceOrientationPortrait = 1,
  InterfaceOrientationPortraitUpsideDown = 2,
  InterfaceOrientationLandscapeRight = 3,
  InterfaceOrientationLandscapeLeft = 4,
};

class ViewController {
 public:
  virtual ~ViewController() = default;

  // Loads the view the first time it is asked for.
  const ViewRef& view();
  bool isViewLoaded() const { return view_ != nullptr; }

  virtual bool shouldAutorotateToInterfaceOrientation(int /*orientation*/) { return true; }
  virtual void willAnimateRotationToInterfaceOrientation(int /*orientation*/, double /*duration*/) {}

 protected:
  // Makes the view; the default is an empty one.
  virtual ViewRef loadView();
  virtual void viewDidLoad() {}

 private:
  ViewRef view_;
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
