// The help panel: the instructions panel's buttons again, as popover
// content, each forwarding to the main controller. Its view comes from its
// own interface file.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "kit/activity_indicator.h"
#include "kit/button.h"
#include "kit/interface_loader.h"
#include "kit/view_controller.h"

class VitraneforiPadViewController;

class HelpPanelViewController : public kit::ViewController {
 public:
  static constexpr const char* kInterfaceFile = "HelpPanel.json";

  VitraneforiPadViewController* vitraneController() const { return vitraneController_; }
  void setVitraneController(VitraneforiPadViewController* controller) {
    vitraneController_ = controller;
  }

  bool shouldAutorotateToInterfaceOrientation(int) override { return true; }

  // Each forwards to the main controller's action of the same name, with
  // the panel as the sender.
  void wanderInPhotos(const void* sender = nullptr);
  void visitWebSite(const void* sender = nullptr);
  void takeCameraPhoto(const void* sender = nullptr);
  void cropLibraryTile(const void* sender = nullptr);
  void useLibraryPhoto(const void* sender = nullptr);
  void showFakeScreen(const void* sender = nullptr);

  // The panel's actions by name, as its interface file names them.
  kit::Button::Action actionNamed(const std::string& name);
  static std::vector<std::string> actionNames();

  // Outlets of the interface file; nothing reads them.
  kit::ViewRef instructionsView;
  std::shared_ptr<kit::Button> showFakeScreenButton, takePhotoButton, usePhotoLibraryButton,
      cropLibraryTileButton, visitQuillfenButton, wanderIntoPhotosButton;
  std::shared_ptr<kit::ActivityIndicatorView> waitSpinner;

 protected:
  // Loads the interface file from the main controller's resources; throws
  // kit::InterfaceError when it is missing or wrong.
  kit::ViewRef loadView() override;

 private:
  std::vector<kit::OutletBinding> outletBindings();

  VitraneforiPadViewController* vitraneController_ = nullptr;
};
