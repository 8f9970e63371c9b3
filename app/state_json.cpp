// The controller's instance variables by name, for state dumps.
#include <nlohmann/json.hpp>

#include "app/vitrane_view_controller.h"
#include "capture/camera_view_controller.h"
#include "kit/json_values.h"

namespace {

using nlohmann::json;

json toJson(double v) { return v; }
json toJson(int v) { return v; }
json toJson(std::int8_t v) { return static_cast<int>(v); }
json toJson(unsigned v) { return v; }
json toJson(bool v) { return v; }
using kit::toJson;
json toJson(const std::string& s) { return s.empty() ? json(nullptr) : json(s); }

json toJson(const kit::ImageRef& image) {
  if (!image) return nullptr;
  const kit::Size s = image->size();
  return {{"size", toJson(s)},
          {"orientation", static_cast<int>(image->orientation())}};
}

json toJson(const kit::DeviceMotionRef& m) {
  if (!m) return nullptr;
  return {{"yaw", m->attitude().yaw},
          {"pitch", m->attitude().pitch},
          {"roll", m->attitude().roll},
          {"rotationRate", json::array({m->rotationRate().x, m->rotationRate().y,
                                        m->rotationRate().z})},
          {"gravity", json::array({m->gravity().x, m->gravity().y, m->gravity().z})},
          {"timestamp", m->timestamp()}};
}

json toJson(const std::shared_ptr<const kit::Acceleration>& a) {
  if (!a) return nullptr;
  return {{"x", a->x}, {"y", a->y}, {"z", a->z}, {"timestamp", a->timestamp}};
}

json toJson(const std::shared_ptr<kit::GestureRecognizer>& g) {
  if (!g) return nullptr;
  return {{"kind", g->kind()}, {"state", kit::gestureStateName(g->state())}};
}

json toJson(const std::shared_ptr<kit::PopoverController>& p) {
  if (!p) return nullptr;
  return {{"presented", p->isPresented()},
          {"contentSize", toJson(p->contentSize())}};
}

}  // namespace

#define VITRANE_FIELD(name) state[#name] = toJson(name)

nlohmann::json VitraneforiPadViewController::stateJson() const {
  json state = json::object();

  // Scene and lifecycle.
  state["motionManager"] = motionManager ? json{{"deviceMotionActive",
                                                 motionManager->isDeviceMotionActive()}}
                                         : json(nullptr);
  VITRANE_FIELD(currentDeviceMotion);
  VITRANE_FIELD(currentAcceleration);
  VITRANE_FIELD(frictionPerFrame);
  state["panWorldGesture"] = toJson(std::shared_ptr<kit::GestureRecognizer>(panWorldGesture));
  state["rotateWorldGesture"] = toJson(std::shared_ptr<kit::GestureRecognizer>(rotateWorldGesture));
  state["pinchWorldGesture"] = toJson(std::shared_ptr<kit::GestureRecognizer>(pinchWorldGesture));
  state["cameraController"] =
      cameraController ? json{{"pickFromLibrary", cameraController->pickFromLibrary},
                              {"cropPhoto", cameraController->cropPhoto},
                              {"popover", toJson(cameraController->popover)}}
                       : json(nullptr);
  state["helpPanelController"] = helpPanelController ? json::object() : json(nullptr);
  VITRANE_FIELD(helpPopover);
  VITRANE_FIELD(rubbingMaskImage);
  VITRANE_FIELD(iPhoneDesktopImage);
  VITRANE_FIELD(transitSoundFileURLRef);
  VITRANE_FIELD(newEnvironmentSoundFileURLRef);
  VITRANE_FIELD(brakeSoundFileURLRef);
  VITRANE_FIELD(transitSoundFileObject);
  VITRANE_FIELD(newEnvironmentSoundFileObject);
  VITRANE_FIELD(brakeSoundFileObject);

  // Frame driver.
  VITRANE_FIELD(yawOffset);
  VITRANE_FIELD(anchorJustSetByTwist);
  VITRANE_FIELD(worldRotationThisFrame);
  VITRANE_FIELD(anchorAdjustedThisFrame);

  // Velocity step.
  VITRANE_FIELD(currentTimestamp);
  VITRANE_FIELD(prevTimestamp);
  VITRANE_FIELD(sampleDuration);
  VITRANE_FIELD(accelX);
  VITRANE_FIELD(accelY);
  VITRANE_FIELD(accelZ);
  VITRANE_FIELD(velocityX);
  VITRANE_FIELD(velocityY);
  VITRANE_FIELD(velocityZ);
  VITRANE_FIELD(motionX);
  VITRANE_FIELD(motionY);
  VITRANE_FIELD(motionZ);
  VITRANE_FIELD(motion);
  VITRANE_FIELD(positionX);
  VITRANE_FIELD(positionY);
  VITRANE_FIELD(positionZ);
  VITRANE_FIELD(userVelocityX);
  VITRANE_FIELD(userVelocityY);
  VITRANE_FIELD(userVelocityZ);
  VITRANE_FIELD(gestureAngleExtent);
  VITRANE_FIELD(gestureSumOfDistances);
  VITRANE_FIELD(gestureAccelerometerDistance);
  VITRANE_FIELD(anchorRadiusEstimate);
  VITRANE_FIELD(anchorAngleEstimate);
  VITRANE_FIELD(gestureSampleCount);

  // Gesture state machine.
  VITRANE_FIELD(gestureStarted);
  VITRANE_FIELD(gestureIsFlat);
  VITRANE_FIELD(gestureDirection);
  VITRANE_FIELD(currentDirection);
  VITRANE_FIELD(gestureInitialYaw);
  VITRANE_FIELD(gestureStartTime);
  VITRANE_FIELD(debounceEndTime);
  VITRANE_FIELD(doesDebounce);
  VITRANE_FIELD(gestureRotating);
  VITRANE_FIELD(gestureTranslating);
  VITRANE_FIELD(currentFlatAnchor);
  VITRANE_FIELD(currentGravityAnchor);

  // Device geometry and corners.
  VITRANE_FIELD(screenWidth);
  VITRANE_FIELD(screenHeight);
  VITRANE_FIELD(pointsPerInch);
  VITRANE_FIELD(deviceWidth);
  VITRANE_FIELD(deviceHeight);
  VITRANE_FIELD(cornerInset);
  VITRANE_FIELD(deviceOriginX);
  VITRANE_FIELD(deviceOriginY);
  VITRANE_FIELD(accelerometerLocation);
  VITRANE_FIELD(topLeftAnchor);
  VITRANE_FIELD(topRightAnchor);
  VITRANE_FIELD(bottomLeftAnchor);
  VITRANE_FIELD(bottomRightAnchor);
  VITRANE_FIELD(centerAnchor);
  VITRANE_FIELD(screenCornerAnchors);
  VITRANE_FIELD(topLeftRadius);
  VITRANE_FIELD(topRightRadius);
  VITRANE_FIELD(bottomLeftRadius);
  VITRANE_FIELD(bottomRightRadius);
  VITRANE_FIELD(centerRadius);
  VITRANE_FIELD(topLeftAngle);
  VITRANE_FIELD(topRightAngle);
  VITRANE_FIELD(bottomLeftAngle);
  VITRANE_FIELD(bottomRightAngle);
  VITRANE_FIELD(centerAngle);
  VITRANE_FIELD(flatAnchorValid);
  VITRANE_FIELD(autoAnchorOn);
  VITRANE_FIELD(showPushPin);

  // Pivot.
  VITRANE_FIELD(currentAnchor);
  VITRANE_FIELD(lastGravityAnchor);
  VITRANE_FIELD(anchorSetByTwist);
  // The flat-pivot mode, only when it is on: with it off the dump is what
  // it always was.
  if (flatPivotMode == FlatPivotMode::Estimate) {
    static constexpr const char* kPhases[] = {"waiting", "ready", "turning"};
    const PivotEstimate& e = flatPivot.latest;
    state["flatPivot"] = {
        {"mode", flatPivotModeName(flatPivotMode)},
        {"phase", kPhases[static_cast<int>(flatPivot.phase)]},
        {"adopted", flatPivot.adopted},
        {"best", toJson(flatPivot.best)},
        {"estimate", e.known ? toJson(e.pivot) : json(nullptr)},
        {"uncertainty", e.known ? json(e.uncertainty) : json(nullptr)},
        {"gyroBias", flatPivot.noise.gyroBias()},
        {"lastCorrection", flatPivot.lastCorrection}};
  }

  // World zoom.
  VITRANE_FIELD(isUnityScale);
  VITRANE_FIELD(longShot);
  VITRANE_FIELD(longShotScale);

  // Tile field.
  VITRANE_FIELD(tileHorizontalPitch);
  VITRANE_FIELD(tileVerticalPitch);

  // Wandering photos.
  VITRANE_FIELD(nPhotosMoving);
  VITRANE_FIELD(nThumbnails);
  VITRANE_FIELD(thumbnailMaxRadius);
  VITRANE_FIELD(nGroupsEnumerated);
  VITRANE_FIELD(nAssetsEnumerated);
  VITRANE_FIELD(loadedPhotos);
  VITRANE_FIELD(showingPhotos);

  // Fake screen.
  VITRANE_FIELD(rubbingLayerVisible);
  return state;
}

#undef VITRANE_FIELD
