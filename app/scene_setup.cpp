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
  sounds.disposeSystemSound(transitSoundFileObject);
  sounds.disposeSystemSound(newEnvironmentSoundFileObject);
  sounds.disposeSystemSound(brakeSoundFileObject);
  if (platform_.accelerometer().delegate() == this) platform_.accelerometer().setDelegate(nullptr);
}

kit::ViewRef VitraneforiPadViewController::loadView() {
  kit::InterfaceLoader loader;
  loader.registerClass("RubbedView", [] { return std::make_shared<RubbedView>(); });
  loader.setImageProvider([this](const std::string& name) { return platform_.bundle().imageNamed(name); });
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
  frictionPerFrame = std::exp(std::log(0.5) / 120);
  kit::log("Friction: each frame velocities are multiplied by %1.4f", frictionPerFrame);

  setupMotionTracking();

  nPhotosMoving = 0;
  showingPhotos = false;
  loadedPhotos = false;
  anchorAdjustedThisFrame = false;

  waitSpinner->setFrame({0, 0, 40, 40});
  waitSpinner->setCenter(wanderIntoPhotosButton->center());

  installWorldGestureRecognizers();

  isUnityScale = true;
  longShot = false;
  longShotScale = 0.25;

  recenter(this);

  // The pivot starts at the screen centre as if a twist had put it there,
  // which also keeps the first frame from turning the world.
  currentAnchor = centerAnchor;
  anchorSetByTwist = true;
  anchorJustSetByTwist = true;

  kit::ImageRef tableTexture = platform_.bundle().imageNamed(kDefaultTableTexture);
  if (!tableTexture || tableTexture->size().width < 1 || tableTexture->size().height < 1)
    throw LaunchError(std::string("the default table texture ") + kDefaultTableTexture +
                      " is missing or unreadable in " + platform_.bundle().resourceDir() +
                      "; the tile field cannot be built without it");
  updateTilePatch(tableTexture);

  autoAnchorOn = true;

  velocityX = velocityY = velocityZ = 0;
  userVelocityX = userVelocityY = userVelocityZ = 0;
  positionX = positionY = positionZ = 0;

  yawOffset = std::numbers::pi / 2;

  gestureStarted = false;
  gestureTranslating = false;
  gestureRotating = false;

  currentDeviceMotion = motionManager->deviceMotion();

  worldRotationThisFrame = 0;

  doesDebounce = true;
  screenCornerAnchors = false;
  if (screenCornerAnchors)
    useScreenAnchors();
  else
    useDeviceAnchors();

  showPushPin = false;
  pushpinImageView->setHidden(!showPushPin);

  rubbingLayerVisible = false;

  rubbingMaskImage = platform_.bundle().imageNamed(kBrushImage);
  iPhoneDesktopImage = platform_.bundle().imageNamed(kFakeHomeScreenImage);

  iPhoneDesktopView->setVitraneController(this);
  iPhoneDesktopView->updateRubbingImages(iPhoneDesktopImage, rubbingMaskImage);
  iPhoneDesktopView->setupRubbing();
  iPhoneDesktopView->setHidden(true);

  cameraController = std::make_shared<CameraViewController>();
  cameraController->setVitraneController(this);

  helpPanelController = std::make_shared<HelpPanelViewController>();
  helpPanelController->setVitraneController(this);

  helpPopover = std::make_shared<kit::PopoverController>(helpPanelController);

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

  panWorldGesture = std::make_shared<kit::PanGestureRecognizer>(
      [this](kit::GestureRecognizer& g) { handlePanFrom(g); });
  panWorldGesture->maximumNumberOfTouches = 3;

  rotateWorldGesture = std::make_shared<kit::RotationGestureRecognizer>(
      [this](kit::GestureRecognizer& g) { rotateWorld(g); });

  pinchWorldGesture = std::make_shared<kit::PinchGestureRecognizer>(
      [this](kit::GestureRecognizer& g) { scaleWorld(g); });

  auto zoomTap = std::make_shared<kit::TapGestureRecognizer>(
      [this](kit::GestureRecognizer& g) { resetScale(g); });
  zoomTap->numberOfTapsRequired = 2;

  const std::shared_ptr<kit::GestureRecognizer> all[] = {
      hideTap, menuPress, panWorldGesture, rotateWorldGesture, pinchWorldGesture, zoomTap};
  for (const auto& recognizer : all) {
    recognizer->setDelegate(this);
    offsetView->addGestureRecognizer(recognizer);
  }
}

void VitraneforiPadViewController::setupSounds() {
  struct Registration {
    const char* resource;
    std::string VitraneforiPadViewController::*url;
    kit::SystemSoundID VitraneforiPadViewController::*sound;
  };
  static constexpr Registration kSounds[] = {
      {"Dit Hit 2", &VitraneforiPadViewController::transitSoundFileURLRef,
       &VitraneforiPadViewController::transitSoundFileObject},
      {"BellTransitionTrimmed", &VitraneforiPadViewController::newEnvironmentSoundFileURLRef,
       &VitraneforiPadViewController::newEnvironmentSoundFileObject},
      {"Squeak", &VitraneforiPadViewController::brakeSoundFileURLRef,
       &VitraneforiPadViewController::brakeSoundFileObject},
  };
  for (const Registration& r : kSounds) {
    // A missing resource leaves the reference empty and the sound silent.
    this->*r.url = platform_.bundle().pathForResource(r.resource, "aif").value_or("");
    if ((this->*r.url).empty()) kit::log("Sound resource %@.aif is missing", r.resource);
    this->*r.sound = platform_.sounds().createSystemSound(this->*r.url);
  }
}

void VitraneforiPadViewController::showInstructionsPanel(Sender) {
  kit::AnimationBlock fade(kInstructionsFadeSeconds);
  instructionsView->setAlpha(1.0f);
}

void VitraneforiPadViewController::hideInstructionsPanel(Sender) {
  kit::AnimationBlock fade(kInstructionsFadeSeconds);
  instructionsView->setAlpha(0.0f);
}
