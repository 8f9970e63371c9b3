// Scene construction and the controller's lifecycle.
#include <cmath>
#include <numbers>

#include "app/device_facts.h"
#include "app/vitrane_view_controller.h"
#include "capture/camera_view_controller.h"
#include "fakescreen/rubbed_view.h"
#include "help/help_panel_view_controller.h"
#include "kit/log.h"

namespace {
constexpr const char* kMainInterfaceFile = "MainInterface.json";
constexpr const char* kDefaultTableTexture = "WoodGrain1200x900.jpg";
constexpr const char* kBrushImage = "SingleRadialMask80x80.png";
constexpr const char* kFakeHomeScreenImage = "FakeHomeFinalBlueTileIcon.jpg";
constexpr double kInstructionsFadeSeconds = 0.3;
}  // namespace

VitraneforiPadViewController::VitraneforiPadViewController(kit::Platform& platform)
    : platform_(platform) {}

VitraneforiPadViewController::~VitraneforiPadViewController() {
  kit::SoundSystem& sounds = platform_.sounds();
  sounds.disposeSystemSound(systemSounds.transitSoundFileObject);
  sounds.disposeSystemSound(systemSounds.newEnvironmentSoundFileObject);
  sounds.disposeSystemSound(systemSounds.brakeSoundFileObject);
  if (platform_.accelerometer().delegate() == this) platform_.accelerometer().setDelegate(nullptr);
}

kit::ViewRef VitraneforiPadViewController::loadView() {
  kit::InterfaceLoader loader;
  loader.registerClass("RubbedView", [] { return std::make_shared<RubbedView>(); });
  loader.setImageProvider(
      [this](const std::string& name) { return platform_.bundle().imageNamed(name); });
  const auto path = platform_.bundle().pathForResource(kMainInterfaceFile);
  if (!path)
    throw LaunchError(std::string("the main interface file ") + kMainInterfaceFile +
                      " is missing from " + platform_.bundle().resourceDir());
  return loader.loadFile(*path, outletBindings(),
                         [this](const std::string& name) { return actionNamed(name); });
}

bool VitraneforiPadViewController::shouldAutorotateToInterfaceOrientation(int orientation) {
  return orientation == kit::InterfaceOrientationPortrait;
}

void VitraneforiPadViewController::willAnimateRotationToInterfaceOrientation(int, double) {
  kit::log("Now main Vitrane View is rotating");
}

void VitraneforiPadViewController::setupVitraneView() {
  setupGeometry(device::kBodyWidthInches, device::kBodyHeightInches, device::kCornerInsetInches,
                device::kScreenWidth, device::kScreenHeight, device::kPointsPerInch);

  // A photo's speed halves in one second of frames.
  photos.frictionPerFrame = std::exp(std::log(0.5) / 120);
  kit::log("Friction: each frame velocities are multiplied by %1.4f", photos.frictionPerFrame);

  setupMotionTracking();

  photos.nPhotosMoving = 0;
  photos.showingPhotos = false;
  photos.loadedPhotos = false;
  frameDriver.anchorAdjustedThisFrame = false;

  outlets.waitSpinner->setFrame({0, 0, 40, 40});
  outlets.waitSpinner->setCenter(outlets.wanderIntoPhotosButton->center());

  installWorldGestureRecognizers();

  zoom.isUnityScale = true;
  zoom.longShot = false;
  zoom.longShotScale = 0.25;

  recenter(this);

  // The pivot starts at the screen centre as if a twist had put it there,
  // which also keeps the first frame from turning the world.
  pivot.set(geometry.center.anchor, Pivot::Reason::Twist);

  kit::ImageRef tableTexture = platform_.bundle().imageNamed(kDefaultTableTexture);
  if (!tableTexture || tableTexture->size().width < 1 || tableTexture->size().height < 1)
    throw LaunchError(std::string("the default table texture ") + kDefaultTableTexture +
                      " is missing or unreadable in " + platform_.bundle().resourceDir() +
                      "; the tile field cannot be built without it");
  updateTilePatch(tableTexture);

  geometry.autoAnchorOn = true;

  velocity.velocityX = velocity.velocityY = velocity.velocityZ = 0;
  velocity.userVelocityX = velocity.userVelocityY = velocity.userVelocityZ = 0;
  velocity.positionX = velocity.positionY = velocity.positionZ = 0;

  frameDriver.yawOffset = std::numbers::pi / 2;

  turn.gestureStarted = false;
  turn.gestureTranslating = false;
  turn.gestureRotating = false;

  frameDriver.currentDeviceMotion = frameDriver.motionManager->deviceMotion();

  frameDriver.worldRotationThisFrame = 0;

  turn.doesDebounce = true;
  geometry.screenCornerAnchors = false;
  if (geometry.screenCornerAnchors)
    useScreenAnchors();
  else
    useDeviceAnchors();

  geometry.showPushPin = false;
  outlets.pushpinImageView->setHidden(!geometry.showPushPin);

  fakeScreen.rubbingLayerVisible = false;

  fakeScreen.rubbingMaskImage = platform_.bundle().imageNamed(kBrushImage);
  fakeScreen.iPhoneDesktopImage = platform_.bundle().imageNamed(kFakeHomeScreenImage);

  outlets.iPhoneDesktopView->setVitraneController(this);
  outlets.iPhoneDesktopView->updateRubbingImages(fakeScreen.iPhoneDesktopImage,
                                                 fakeScreen.rubbingMaskImage);
  outlets.iPhoneDesktopView->setupRubbing();
  outlets.iPhoneDesktopView->setHidden(true);

  scene.cameraController = std::make_shared<CameraViewController>();
  scene.cameraController->setVitraneController(this);

  scene.helpPanelController = std::make_shared<HelpPanelViewController>();
  scene.helpPanelController->setVitraneController(this);

  scene.helpPopover = std::make_shared<kit::PopoverController>(scene.helpPanelController);

  showInstructionsPanel();

  setupSounds();
}

void VitraneforiPadViewController::installWorldGestureRecognizers() {
  auto hideTap = std::make_shared<kit::TapGestureRecognizer>(
      [this](kit::GestureRecognizer& g) { hideInstructions(g); });
  hideTap->numberOfTapsRequired = 1;

  auto menuPress = std::make_shared<kit::LongPressGestureRecognizer>(
      [this](kit::GestureRecognizer& g) { longPressMenu(g); });
  menuPress->minimumPressDuration = 0.5;

  scene.panWorldGesture = std::make_shared<kit::PanGestureRecognizer>(
      [this](kit::GestureRecognizer& g) { handlePanFrom(g); });
  scene.panWorldGesture->maximumNumberOfTouches = 3;

  scene.rotateWorldGesture = std::make_shared<kit::RotationGestureRecognizer>(
      [this](kit::GestureRecognizer& g) { rotateWorld(g); });

  scene.pinchWorldGesture = std::make_shared<kit::PinchGestureRecognizer>(
      [this](kit::GestureRecognizer& g) { scaleWorld(g); });

  auto zoomTap = std::make_shared<kit::TapGestureRecognizer>(
      [this](kit::GestureRecognizer& g) { resetScale(g); });
  zoomTap->numberOfTapsRequired = 2;

  const std::shared_ptr<kit::GestureRecognizer> all[] = {
      hideTap, menuPress, scene.panWorldGesture, scene.rotateWorldGesture, scene.pinchWorldGesture,
      zoomTap};
  for (const auto& recognizer : all) {
    recognizer->setDelegate(this);
    outlets.offsetView->addGestureRecognizer(recognizer);
  }
}

void VitraneforiPadViewController::setupSounds() {
  struct Registration {
    const char* resource;
    std::string SystemSounds::*url;
    kit::SystemSoundID SystemSounds::*sound;
  };
  static constexpr Registration kSounds[] = {
      {"Dit Hit 2", &SystemSounds::transitSoundFileURLRef, &SystemSounds::transitSoundFileObject},
      {"BellTransitionTrimmed", &SystemSounds::newEnvironmentSoundFileURLRef,
       &SystemSounds::newEnvironmentSoundFileObject},
      {"Squeak", &SystemSounds::brakeSoundFileURLRef, &SystemSounds::brakeSoundFileObject},
  };
  for (const Registration& r : kSounds) {
    std::string& url = systemSounds.*r.url;
    // A missing resource leaves the reference empty and the sound silent.
    url = platform_.bundle().pathForResource(r.resource, "aif").value_or("");
    if (url.empty()) kit::log("Sound resource %@.aif is missing", r.resource);
    systemSounds.*r.sound = platform_.sounds().createSystemSound(url);
  }
}

void VitraneforiPadViewController::showInstructionsPanel(Sender) {
  kit::AnimationBlock fade(kInstructionsFadeSeconds);
  outlets.instructionsView->setAlpha(1.0f);
}

void VitraneforiPadViewController::hideInstructionsPanel(Sender) {
  kit::AnimationBlock fade(kInstructionsFadeSeconds);
  outlets.instructionsView->setAlpha(0.0f);
}
