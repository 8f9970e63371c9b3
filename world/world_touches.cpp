// One to three fingers drag the world; a tap hides the instructions panel,
// a press shows it; and the one rule for which recognisers run together.
#include "app/vitrane_view_controller.h"
#include "kit/gesture_recognizer.h"
#include "kit/view.h"

void VitraneforiPadViewController::handlePanFrom(kit::GestureRecognizer& recognizer) {
  auto& pan = static_cast<kit::PanGestureRecognizer&>(recognizer);
  if (pan.state() != kit::GestureState::Began && pan.state() != kit::GestureState::Changed) return;
  // Increments only: the world has no fling and stops with the fingers.
  const kit::View* space = outlets.telescoperView->superview();
  const kit::Point t = pan.translationInView(space);
  const kit::Point c = outlets.telescoperView->center();
  outlets.telescoperView->setCenter({c.x + t.x, c.y + t.y});
  pan.setTranslation({0, 0}, space);
}

void VitraneforiPadViewController::hideInstructions(kit::GestureRecognizer& recognizer) {
  if (recognizer.state() == kit::GestureState::Ended) hideInstructionsPanel();
}

void VitraneforiPadViewController::longPressMenu(kit::GestureRecognizer& recognizer) {
  const kit::GestureState state = recognizer.state();
  if (state == kit::GestureState::Began || state == kit::GestureState::Changed)
    showInstructionsPanel();
}

bool VitraneforiPadViewController::
    gestureRecognizerShouldRecognizeSimultaneouslyWithGestureRecognizer(
        kit::GestureRecognizer& recognizer, kit::GestureRecognizer& other) {
  // The world's press runs alone, so holding still is never also a drag.
  const bool eitherIsPress = dynamic_cast<kit::LongPressGestureRecognizer*>(&recognizer) ||
                             dynamic_cast<kit::LongPressGestureRecognizer*>(&other);
  if (recognizer.view() == outlets.offsetView.get() && eitherIsPress) return false;
  return recognizer.view() == other.view();
}
