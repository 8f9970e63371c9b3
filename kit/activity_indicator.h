// The spinning busy indicator.
#pragma once

#include "kit/view.h"

namespace kit {

class ActivityIndicatorView : public View {
 public:
  ActivityIndicatorView() { setUserInteractionEnabled(false); }
  ~ActivityIndicatorView() override {
    if (animating_) noteContinuousAnimation(-1);
  }
  std::string className() const override { return "ActivityIndicatorView"; }

  bool isAnimating() const { return animating_; }
  // A turning spinner keeps the picture changing: hosts redraw while any
  // spinner turns.
  void startAnimating() {
    if (!animating_) noteContinuousAnimation(+1);
    animating_ = true;
    if (hidesWhenStopped) setHidden(false);
  }
  void stopAnimating() {
    if (animating_) noteContinuousAnimation(-1);
    animating_ = false;
    if (hidesWhenStopped) setHidden(true);
  }

  bool hidesWhenStopped = true;
  Color color = Color::white();

 private:
  bool animating_ = false;
};

}  // namespace kit
