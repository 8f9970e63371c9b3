#include "app/app_delegate.h"

#include "app/device_facts.h"
#include "kit/image_picker.h"

namespace {
constexpr int kStatusBarStyleBlackOpaque = 2;
// The saved-photos album's name: its files are "Vitrane 0001.jpg", ...
constexpr const char* kAlbumName = "Vitrane";
}  // namespace

VitraneforiPadAppDelegate::VitraneforiPadAppDelegate(kit::Platform& platform)
    : window(std::make_shared<kit::Window>(
          kit::Rect{0, 0, device::kScreenWidth, device::kScreenHeight})),
      viewController(std::make_shared<VitraneforiPadViewController>(platform)),
      platform_(platform) {}

bool VitraneforiPadAppDelegate::applicationDidFinishLaunchingWithOptions() {
  platform_.application().setStatusBarStyle(kStatusBarStyleBlackOpaque);
  platform_.imagePickers().savedPhotosAlbum().setName(kAlbumName);
  window->setRootViewController(viewController.get());
  viewController->setupVitraneView();
  window->makeKeyAndVisible();
  return true;
}
