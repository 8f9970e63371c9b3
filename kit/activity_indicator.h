// The spinning busy indicator.
#pragma once

#include "kit/view.h"

namespace kit {

class ActivityIndicatorView : public View {
 public:
  ActivityIndicatorView() { setUserInteractionEnabled(false); }
  std::string className() const override { return "ActivityIndicatorView"; }

  bool isAnimating() const { return animating_; }
  void startAnimating() {
    animating_ = true;
    if (hidesWhenStopped) setHidden(false);
  }
  void stopAnimating() {
    animating_ = false;
    if (hidesWhenStopped) setHidden(true);
  }

  bool hidesWhenStopped = true;
  Color color = Color::white();

 private:
  bool animating_ = false;
};

}  // namespace kit
