// The views the main interface file connects to the controller, by the
// names the file uses.
#pragma once

#include <memory>

#include "kit/activity_indicator.h"
#include "kit/button.h"
#include "kit/image_view.h"
#include "kit/label.h"
#include "kit/view.h"

class RubbedView;

struct ControllerOutlets {
  // The world, outermost first: each view carries one kind of motion.
  kit::ViewRef offsetView;      // the world's recognisers
  kit::ViewRef rotatingView;    // the device heading, about the pivot
  kit::ViewRef tableTopView;    // counter-shift when the pivot moves
  kit::ViewRef telescoperView;  // finger zoom and drag
  kit::ViewRef stretcherView;   // finger twist
  kit::ViewRef seamlessTiles;   // the tile field
  kit::ViewRef photosLayerView;
  kit::ViewRef tableBoundaryView;
  // Screen-fixed views above the world.
  kit::ViewRef deviceShadowView;
  std::shared_ptr<kit::ImageView> topEdge, bottomEdge, leftEdge, rightEdge;
  std::shared_ptr<kit::ImageView> insideTopLeft, insideTopRight, insideBottomLeft,
      insideBottomRight;
  std::shared_ptr<kit::ImageView> pushpinImageView;
  std::shared_ptr<RubbedView> iPhoneDesktopView;
  kit::ViewRef instructionsView;
  std::shared_ptr<kit::Label> bigDisplay;
  std::shared_ptr<kit::ActivityIndicatorView> waitSpinner;
  std::shared_ptr<kit::Button> wanderIntoPhotosButton, showFakeScreenButton, takePhotoButton,
      usePhotoLibraryButton, cropLibraryTileButton, visitQuillfenButton, rateAppButton;
  // Held for the interface file only.
  kit::ViewRef screenView, tapTrackerView, iPhoneInnardsView, rubMaskView;
  std::shared_ptr<kit::ImageView> prizeImageView, rubberImageView;

  // Every field under its name in the state dump (see visitFields).
  template <class Self, class V>
  static void fields(Self& s, V& v) {
    v("offsetView", s.offsetView);
    v("rotatingView", s.rotatingView);
    v("tableTopView", s.tableTopView);
    v("telescoperView", s.telescoperView);
    v("stretcherView", s.stretcherView);
    v("seamlessTiles", s.seamlessTiles);
    v("photosLayerView", s.photosLayerView);
    v("tableBoundaryView", s.tableBoundaryView);
    v("deviceShadowView", s.deviceShadowView);
    v("topEdge", s.topEdge);
    v("bottomEdge", s.bottomEdge);
    v("leftEdge", s.leftEdge);
    v("rightEdge", s.rightEdge);
    v("insideTopLeft", s.insideTopLeft);
    v("insideTopRight", s.insideTopRight);
    v("insideBottomLeft", s.insideBottomLeft);
    v("insideBottomRight", s.insideBottomRight);
    v("pushpinImageView", s.pushpinImageView);
    v("iPhoneDesktopView", s.iPhoneDesktopView);
    v("instructionsView", s.instructionsView);
    v("bigDisplay", s.bigDisplay);
    v("waitSpinner", s.waitSpinner);
    v("wanderIntoPhotosButton", s.wanderIntoPhotosButton);
    v("showFakeScreenButton", s.showFakeScreenButton);
    v("takePhotoButton", s.takePhotoButton);
    v("usePhotoLibraryButton", s.usePhotoLibraryButton);
    v("cropLibraryTileButton", s.cropLibraryTileButton);
    v("visitQuillfenButton", s.visitQuillfenButton);
    v("rateAppButton", s.rateAppButton);
    v("screenView", s.screenView);
    v("prizeImageView", s.prizeImageView);
    v("tapTrackerView", s.tapTrackerView);
    v("iPhoneInnardsView", s.iPhoneInnardsView);
    v("rubMaskView", s.rubMaskView);
    v("rubberImageView", s.rubberImageView);
  }
};
