// The fake-screen trick as the controller runs it: starting it over the
// see-through table with the status bar showing, as if this were an
// ordinary tablet's home screen.
#include "app/vitrane_view_controller.h"
#include "fakescreen/rubbed_view.h"
#include "kit/log.h"

void VitraneforiPadViewController::showFakeScreen(Sender) {
  hideInstructionsPanel();
  setupFoolAFriend();
}

void VitraneforiPadViewController::setupFoolAFriend() {
  kit::log("Disappearing Screen Demo.");
  fakeScreen.rubbingLayerVisible = true;
  platform_.application().setStatusBarHidden(false, kit::StatusBarAnimation::Slide);
  outlets.iPhoneDesktopView->setupRubbing();

  // Turning the device turns the table about the screen's centre meanwhile.
  shiftAnchor(geometry.center.anchor);
  pivot.placedBy(Pivot::Reason::FakeScreen);

  outlets.iPhoneDesktopView->setHidden(false);
  outlets.iPhoneDesktopView->setUserInteractionEnabled(true);
  outlets.iPhoneDesktopView->setNeedsDisplay();
}
