// The fake home screen: a picture drawn through a grey mask that rubbing
// erases.
#pragma once

#include "kit/image.h"
#include "kit/view.h"

class VitraneforiPadViewController;

class RubbedView : public kit::View {
 public:
  std::string className() const override { return "RubbedView"; }

  VitraneforiPadViewController* vitraneController() const { return vitraneController_; }
  void setVitraneController(VitraneforiPadViewController* controller) {
    vitraneController_ = controller;
  }

  // The picture drawn through the mask, and the brush stamped into it.
  void updateRubbingImages(kit::ImageRef revealed, kit::ImageRef brush);
  // A fresh, untouched mask.
  void setupRubbing();

  const kit::ImageRef& revealedImage() const { return revealedImage_; }
  const kit::ImageRef& brushImage() const { return brushImage_; }

  // The fraction of mask samples no longer fully white.
  double erasedFraction() const { return 0; }

  bool begunRub = false;
  kit::Rect rubbedRect;
  bool isMidPan = false;

 private:
  // The controller owns this view's tree; the back-reference must not keep
  // it alive.
  VitraneforiPadViewController* vitraneController_ = nullptr;
  kit::ImageRef revealedImage_;
  kit::ImageRef brushImage_;
};
