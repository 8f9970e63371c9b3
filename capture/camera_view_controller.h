// Drives the image picker that takes or picks a new table surface.
#pragma once

#include <memory>

#include "kit/popover.h"
#include "kit/view_controller.h"

class VitraneforiPadViewController;

class CameraViewController : public kit::ViewController {
 public:
  VitraneforiPadViewController* vitraneController() const { return vitraneController_; }
  void setVitraneController(VitraneforiPadViewController* controller) {
    vitraneController_ = controller;
  }

  bool pickFromLibrary = true;
  bool cropPhoto = false;
  std::shared_ptr<kit::PopoverController> popover;

 private:
  VitraneforiPadViewController* vitraneController_ = nullptr;
};
