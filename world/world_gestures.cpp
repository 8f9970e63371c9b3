// The world's two-finger gestures: a twist turns it about the fingers, a
// pinch zooms it, a double tap toggles between zoom 1 and the long shot.
#include <cmath>

#include "app/vitrane_view_controller.h"
#include "kit/animation.h"
#include "kit/gesture_recognizer.h"
#include "kit/log.h"

namespace {

constexpr double kMinimumWorldZoom = 1.0 / 6;
constexpr double kMaximumWorldZoom = 2;
constexpr double kZoomToggleSeconds = 0.5;

// The zoom a transform applies, read the way the zoom handlers read it.
double zoomOf(const kit::AffineTransform& t) {
  return std::sqrt(static_cast<double>(t.a) * t.a + static_cast<double>(t.c) * t.c);
}

bool isBeganOrChanged(kit::GestureState state) {
  return state == kit::GestureState::Began || state == kit::GestureState::Changed;
}

}  // namespace

void VitraneforiPadViewController::adjustTableAnchorPointForGestureRecognizer(
    kit::GestureRecognizer& recognizer) {
  if (recognizer.state() != kit::GestureState::Began) return;
  kit::View& stretcher = *outlets.stretcherView;
  const kit::Point inStretcher = recognizer.locationInView(&stretcher);
  const kit::Point inSuperview = recognizer.locationInView(stretcher.superview());
  const kit::Rect bounds = stretcher.bounds();
  // Moving the anchor and the centre together leaves the picture in place;
  // later turns of the stretcher act about the touch.
  stretcher.setAnchorPoint({inStretcher.x / bounds.size.width, inStretcher.y / bounds.size.height});
  stretcher.setCenter(inSuperview);
}

void VitraneforiPadViewController::rotateWorld(kit::GestureRecognizer& recognizer) {
  auto& rotation = static_cast<kit::RotationGestureRecognizer&>(recognizer);
  if (rotation.state() == kit::GestureState::Began && !frameDriver.anchorAdjustedThisFrame) {
    adjustTableAnchorPointForGestureRecognizer(rotation);
    frameDriver.anchorAdjustedThisFrame = true;
  }
  if (!isBeganOrChanged(rotation.state())) return;
  if (!frameDriver.anchorAdjustedThisFrame) {
    adjustTableAnchorPointForGestureRecognizer(rotation);
    frameDriver.anchorAdjustedThisFrame = true;
  }

  // The device's pivot follows the fingers, and the next frame leaves the
  // heading alone so the twist is not undone by the gyro.
  shiftAnchor(rotation.locationInView(view().get()));
  pivot.placedBy(Pivot::Reason::Twist);

  frameDriver.worldRotationThisFrame = rotation.rotation;
  if (frameDriver.motionManager)
    frameDriver.currentDeviceMotion = frameDriver.motionManager->deviceMotion();
  outlets.stretcherView->setTransform(kit::rotated(
      outlets.stretcherView->transform(), static_cast<float>(frameDriver.worldRotationThisFrame)));
  rotation.rotation = 0;
}

void VitraneforiPadViewController::scaleWorld(kit::GestureRecognizer& recognizer) {
  auto& pinch = static_cast<kit::PinchGestureRecognizer&>(recognizer);
  if (pinch.state() == kit::GestureState::Began && !frameDriver.anchorAdjustedThisFrame) {
    adjustTableAnchorPointForGestureRecognizer(pinch);
    frameDriver.anchorAdjustedThisFrame = true;
  }

  if (pinch.state() == kit::GestureState::Changed) {
    kit::log("Number of pan touches is %d",
             scene.panWorldGesture ? scene.panWorldGesture->numberOfTouches() : 0);
    const double requested = zoomOf(outlets.telescoperView->transform()) * pinch.scale;
    // Written so that a zoom that cannot be compared falls outside.
    if (requested >= kMinimumWorldZoom && requested <= kMaximumWorldZoom) {
      const auto step = static_cast<float>(pinch.scale);
      outlets.telescoperView->setTransform(
          kit::scaled(outlets.telescoperView->transform(), step, step));
      zoom.isUnityScale = false;
    } else {
      kit::log("Requested Scale %1.1f is out of range", requested);
    }
    pinch.scale = 1.0;
  } else if (pinch.state() == kit::GestureState::Ended) {
    const kit::Rect frame = outlets.telescoperView->frame();
    const kit::Rect bounds = outlets.telescoperView->bounds();
    kit::log("At pinch end:");
    kit::log("Frame is %1.1fx%1.1f", frame.size.width, frame.size.height);
    kit::log("Bounds is %1.0fx%1.0f", bounds.size.width, bounds.size.height);
    kit::log("ContentScaleFactor is %1.1f", outlets.telescoperView->contentScaleFactor());
    pinch.scale = 1.0;
  }
}

void VitraneforiPadViewController::resetScale(kit::GestureRecognizer& recognizer) {
  if (recognizer.state() != kit::GestureState::Ended) return;
  const kit::AffineTransform t = outlets.telescoperView->transform();
  const double current = zoomOf(t);
  adjustTelescopeCenter(geometry.center.anchor);

  kit::AnimationBlock animation(kZoomToggleSeconds);
  if (zoom.longShot || !zoom.isUnityScale) {
    const auto back = static_cast<float>(1 / current);
    outlets.telescoperView->setTransform(kit::scaled(t, back, back));
    zoom.longShot = false;
    zoom.isUnityScale = true;
  } else {
    const auto out = static_cast<float>(zoom.longShotScale);
    outlets.telescoperView->setTransform(kit::scaled(t, out, out));
    zoom.longShot = true;
    zoom.isUnityScale = false;
  }
}
