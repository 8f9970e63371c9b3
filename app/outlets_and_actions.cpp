// The controller's outlets and actions by name: what the interface file
// connects and what the runner can send.
#include "app/state_fields.h"
#include "app/vitrane_view_controller.h"
#include "fakescreen/rubbed_view.h"

namespace {

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
  visitFields(outlets, [&](const char* name, auto& slot) {
    bindings.push_back(kit::bindOutlet(name, slot));
  });
  return bindings;
}

std::vector<std::pair<std::string, kit::View*>> VitraneforiPadViewController::outletViews() const {
  std::vector<std::pair<std::string, kit::View*>> views;
  visitFields(outlets,
              [&](const char* name, const auto& slot) { views.emplace_back(name, slot.get()); });
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
