// The controller's outlets and actions by name: what the interface file
// connects and what the runner can send.
#include "app/vitrane_view_controller.h"
#include "fakescreen/rubbed_view.h"

namespace {

// Calls f(name, slot) for every outlet, in the order of the header.
template <typename Self, typename F>
void forEachOutlet(Self& c, F&& f) {
  f("offsetView", c.offsetView);
  f("rotatingView", c.rotatingView);
  f("tableTopView", c.tableTopView);
  f("telescoperView", c.telescoperView);
  f("stretcherView", c.stretcherView);
  f("seamlessTiles", c.seamlessTiles);
  f("photosLayerView", c.photosLayerView);
  f("tableBoundaryView", c.tableBoundaryView);
  f("deviceShadowView", c.deviceShadowView);
  f("topEdge", c.topEdge);
  f("bottomEdge", c.bottomEdge);
  f("leftEdge", c.leftEdge);
  f("rightEdge", c.rightEdge);
  f("insideTopLeft", c.insideTopLeft);
  f("insideTopRight", c.insideTopRight);
  f("insideBottomLeft", c.insideBottomLeft);
  f("insideBottomRight", c.insideBottomRight);
  f("pushpinImageView", c.pushpinImageView);
  f("iPhoneDesktopView", c.iPhoneDesktopView);
  f("instructionsView", c.instructionsView);
  f("bigDisplay", c.bigDisplay);
  f("waitSpinner", c.waitSpinner);
  f("wanderIntoPhotosButton", c.wanderIntoPhotosButton);
  f("showFakeScreenButton", c.showFakeScreenButton);
  f("takePhotoButton", c.takePhotoButton);
  f("usePhotoLibraryButton", c.usePhotoLibraryButton);
  f("cropLibraryTileButton", c.cropLibraryTileButton);
  f("visitQuillfenButton", c.visitQuillfenButton);
  f("rateAppButton", c.rateAppButton);
  f("screenView", c.screenView);
  f("prizeImageView", c.prizeImageView);
  f("tapTrackerView", c.tapTrackerView);
  f("iPhoneInnardsView", c.iPhoneInnardsView);
  f("rubMaskView", c.rubMaskView);
  f("rubberImageView", c.rubberImageView);
}

using Controller = VitraneforiPadViewController;
using ActionMember = void (Controller::*)(Sender);

struct NamedAction {
  const char* name;
  ActionMember action;
};

constexpr NamedAction kActions[] = {
    {"wanderInPhotos", &Controller::wanderInPhotos},
    {"showFakeScreen", &Controller::showFakeScreen},
    {"takeCameraPhoto", &Controller::takeCameraPhoto},
    {"useLibraryPhoto", &Controller::useLibraryPhoto},
    {"cropLibraryTile", &Controller::cropLibraryTile},
    {"visitWebSite", &Controller::visitWebSite},
    {"visitAppStoreListing", &Controller::visitAppStoreListing},
    {"toggleScreenCorners", &Controller::toggleScreenCorners},
    {"showInstructionsPanel", &Controller::showInstructionsPanel},
    {"hideInstructionsPanel", &Controller::hideInstructionsPanel},
    {"recenter", &Controller::recenter},
};

}  // namespace

std::vector<kit::OutletBinding> VitraneforiPadViewController::outletBindings() {
  std::vector<kit::OutletBinding> bindings;
  forEachOutlet(*this, [&](const char* name, auto& slot) {
    bindings.push_back(kit::bindOutlet(name, slot));
  });
  return bindings;
}

std::vector<std::pair<std::string, kit::View*>> VitraneforiPadViewController::outletViews() const {
  std::vector<std::pair<std::string, kit::View*>> views;
  forEachOutlet(*this, [&](const char* name, const auto& slot) {
    views.emplace_back(name, slot.get());
  });
  return views;
}

kit::Button::Action VitraneforiPadViewController::actionNamed(const std::string& name) {
  for (const NamedAction& a : kActions)
    if (name == a.name) {
      const ActionMember member = a.action;
      return [this, member](kit::View* sender) { (this->*member)(sender); };
    }
  return {};
}

std::vector<std::string> VitraneforiPadViewController::actionNames() {
  std::vector<std::string> names;
  for (const NamedAction& a : kActions) names.emplace_back(a.name);
  return names;
}
