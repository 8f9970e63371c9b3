// The objects the scene set-up creates and keeps: the world's recognisers
// that other parts consult, and the satellite controllers.
#pragma once

#include <memory>

#include "kit/gesture_recognizer.h"
#include "kit/popover.h"

class CameraViewController;
class HelpPanelViewController;

struct SceneObjects {
  std::shared_ptr<kit::PanGestureRecognizer> panWorldGesture;
  std::shared_ptr<kit::RotationGestureRecognizer> rotateWorldGesture;
  std::shared_ptr<kit::PinchGestureRecognizer> pinchWorldGesture;
  std::shared_ptr<CameraViewController> cameraController;
  std::shared_ptr<HelpPanelViewController> helpPanelController;
  std::shared_ptr<kit::PopoverController> helpPopover;

  // Every field under its name in the state dump (see visitFields).
  template <class Self, class V>
  static void fields(Self& s, V& v) {
    v("panWorldGesture", s.panWorldGesture);
    v("rotateWorldGesture", s.rotateWorldGesture);
    v("pinchWorldGesture", s.pinchWorldGesture);
    v("cameraController", s.cameraController);
    v("helpPanelController", s.helpPanelController);
    v("helpPopover", s.helpPopover);
  }
};
