// The fake home screen: a picture drawn through a grey mask that rubbing
// erases. The mask starts white (the picture shows everywhere); brush
// stamps darken it where a finger passes, letting what lies beneath show
// through, and once the rubbed box is large enough the whole screen goes.
#pragma once

#include <memory>

#include "kit/drawn_view.h"
#include "kit/gesture_recognizer.h"
#include "kit/grey_bitmap_context.h"
#include "kit/image.h"

class VitraneforiPadViewController;

class RubbedView : public kit::DrawnView {
 public:
  std::string className() const override { return "RubbedView"; }

  VitraneforiPadViewController* vitraneController() const { return vitraneController_; }
  void setVitraneController(VitraneforiPadViewController* controller) {
    vitraneController_ = controller;
  }

  // The picture drawn through the mask, and the brush stamped into it.
  void updateRubbingImages(kit::ImageRef revealed, kit::ImageRef brush);
  // A fresh, white mask; the first call also gives the view its
  // recognisers.
  void setupRubbing();

  // Gesture handlers.
  void rubPan(kit::GestureRecognizer& recognizer);
  void rubTap(kit::GestureRecognizer& recognizer);
  void veryLongPressMenu(kit::GestureRecognizer& recognizer);
  // Extends rubbedRect to take in p.
  void growRect(kit::Point p);

  const kit::ImageRef& revealedImage() const { return revealedImage_; }
  const kit::ImageRef& brushImage() const { return brushImage_; }
  // The mask (null before the first setupRubbing), and its snapshot taken
  // at the last redraw.
  const kit::GreyBitmapContext* alphaContext() const { return alphaContext_.get(); }
  const kit::GreyImageRef& alphaCGImage() const { return alphaCGImage_; }

  // The fraction of mask samples no longer fully white.
  double erasedFraction() const { return alphaContext_ ? alphaContext_->fractionBelowWhite() : 0; }

  // The recognisers setupRubbing attached (null before).
  kit::PanGestureRecognizer* rubPanGesture() const { return panGesture_; }
  kit::TapGestureRecognizer* rubTapGesture() const { return tapGesture_; }
  kit::LongPressGestureRecognizer* veryLongPressGesture() const { return pressGesture_; }

  bool begunRub = false;
  kit::Rect rubbedRect;  // in the superview's coordinates
  bool isMidPan = false;
  kit::Point previousPanPoint;

 protected:
  void drawRect(kit::ViewDrawingContext& context, const kit::Rect& rect) override;

 private:
  // The brush scaled into rect of the mask, darkening it.
  void stamp(const kit::Rect& rect);
  kit::Size pictureSize() const;
  void hideStatusBar();

  // The controller owns this view's tree; the back-reference must not keep
  // it alive.
  VitraneforiPadViewController* vitraneController_ = nullptr;
  kit::ImageRef revealedImage_;
  kit::ImageRef brushImage_;
  std::unique_ptr<kit::GreyBitmapContext> alphaContext_;
  kit::GreyImageRef alphaCGImage_;
  // Owned by the view once attached.
  kit::PanGestureRecognizer* panGesture_ = nullptr;
  kit::TapGestureRecognizer* tapGesture_ = nullptr;
  kit::LongPressGestureRecognizer* pressGesture_ = nullptr;
};
