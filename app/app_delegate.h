// The application delegate: makes the window and the main controller and
// runs the launch.
#pragma once

#include <memory>

#include "app/vitrane_view_controller.h"
#include "kit/platform.h"
#include "kit/view_controller.h"

class VitraneforiPadAppDelegate {
 public:
  explicit VitraneforiPadAppDelegate(kit::Platform& platform);

  // Status bar, the controller's view and outlets, the scene, the window.
  // Throws LaunchError or kit::InterfaceError when the scene cannot be built.
  bool applicationDidFinishLaunchingWithOptions();

  // The platform's other lifecycle messages change nothing.
  void applicationWillResignActive() {}
  void applicationDidEnterBackground() {}
  void applicationWillEnterForeground() {}
  void applicationDidBecomeActive() {}
  void applicationWillTerminate() {}

  std::shared_ptr<kit::Window> window;
  std::shared_ptr<VitraneforiPadViewController> viewController;

 private:
  kit::Platform& platform_;
};
