#include "help/help_panel_view_controller.h"

#include "app/vitrane_view_controller.h"

namespace {

using Panel = HelpPanelViewController;
using PanelAction = void (Panel::*)(const void*);

struct NamedAction {
  const char* name;
  PanelAction action;
};

// No store-page button on this panel.
constexpr NamedAction kPanelActions[] = {
    {"wanderInPhotos", &Panel::wanderInPhotos},   {"visitWebSite", &Panel::visitWebSite},
    {"takeCameraPhoto", &Panel::takeCameraPhoto}, {"cropLibraryTile", &Panel::cropLibraryTile},
    {"useLibraryPhoto", &Panel::useLibraryPhoto}, {"showFakeScreen", &Panel::showFakeScreen},
};

}  // namespace

void HelpPanelViewController::wanderInPhotos(const void*) {
  if (vitraneController_) vitraneController_->wanderInPhotos(this);
}
void HelpPanelViewController::visitWebSite(const void*) {
  if (vitraneController_) vitraneController_->visitWebSite(this);
}
void HelpPanelViewController::takeCameraPhoto(const void*) {
  if (vitraneController_) vitraneController_->takeCameraPhoto(this);
}
void HelpPanelViewController::cropLibraryTile(const void*) {
  if (vitraneController_) vitraneController_->cropLibraryTile(this);
}
void HelpPanelViewController::useLibraryPhoto(const void*) {
  if (vitraneController_) vitraneController_->useLibraryPhoto(this);
}
void HelpPanelViewController::showFakeScreen(const void*) {
  if (vitraneController_) vitraneController_->showFakeScreen(this);
}

kit::Button::Action HelpPanelViewController::actionNamed(const std::string& name) {
  for (const NamedAction& a : kPanelActions)
    if (name == a.name) {
      const PanelAction member = a.action;
      return [this, member](kit::View* sender) { (this->*member)(sender); };
    }
  return {};
}

std::vector<std::string> HelpPanelViewController::actionNames() {
  std::vector<std::string> names;
  for (const NamedAction& a : kPanelActions) names.emplace_back(a.name);
  return names;
}

std::vector<kit::OutletBinding> HelpPanelViewController::outletBindings() {
  return {kit::bindOutlet("instructionsView", instructionsView),
          kit::bindOutlet("showFakeScreenButton", showFakeScreenButton),
          kit::bindOutlet("takePhotoButton", takePhotoButton),
          kit::bindOutlet("usePhotoLibraryButton", usePhotoLibraryButton),
          kit::bindOutlet("cropLibraryTileButton", cropLibraryTileButton),
          kit::bindOutlet("visitQuillfenButton", visitQuillfenButton),
          kit::bindOutlet("wanderIntoPhotosButton", wanderIntoPhotosButton),
          kit::bindOutlet("waitSpinner", waitSpinner)};
}

kit::ViewRef HelpPanelViewController::loadView() {
  if (!vitraneController_)
    throw kit::InterfaceError(kInterfaceFile, "",
                              "the help panel has no main controller to load it for");
  kit::Bundle& bundle = vitraneController_->platform().bundle();
  const auto path = bundle.pathForResource(kInterfaceFile);
  if (!path)
    throw kit::InterfaceError(kInterfaceFile, "",
                              "the file is missing from " + bundle.resourceDir());
  kit::InterfaceLoader loader;
  loader.setImageProvider([&bundle](const std::string& name) { return bundle.imageNamed(name); });
  return loader.loadFile(*path, outletBindings(),
                         [this](const std::string& name) { return actionNamed(name); });
}
