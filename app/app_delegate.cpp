#include "app/app_delegate.h"

namespace {
constexpr int kStatusBarStyleBlackOpaque = 2;
}

VitraneforiPadAppDelegate::VitraneforiPadAppDelegate(kit::Platform& platform)
    : window(std::make_shared<kit::Window>(kit::Rect{0, 0, 768, 1024})),
      viewController(std::make_shared<VitraneforiPadViewController>(platform)),
      platform_(platform) {}

bool VitraneforiPadAppDelegate::applicationDidFinishLaunchingWithOptions() {
  platform_.application().setStatusBarStyle(kStatusBarStyleBlackOpaque);
  window->setRootViewController(viewController.get());
  viewController->setupVitraneView();
  window->makeKeyAndVisible();
  return true;
}
