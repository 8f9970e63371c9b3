// The help panel: the instructions panel's buttons again, as popover
// content, each forwarding to the main controller.
#pragma once

#include "kit/view_controller.h"

class VitraneforiPadViewController;

class HelpPanelViewController : public kit::ViewController {
 public:
  VitraneforiPadViewController* vitraneController() const { return vitraneController_; }
  void setVitraneController(VitraneforiPadViewController* controller) {
    vitraneController_ = controller;
  }

  bool shouldAutorotateToInterfaceOrientation(int) override { return true; }

 private:
  VitraneforiPadViewController* vitraneController_ = nullptr;
};
