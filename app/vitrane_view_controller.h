// The main view controller: it owns every piece of the application's state
// and every operation on it. The operations live in the folder of the
// subsystem that owns them (one class, several .cpp files); the instance
// variables below are grouped by that owner.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include <nlohmann/json_fwd.hpp>

#include "geometry/flat_pivot_estimate.h"
#include "kit/activity_indicator.h"
#include "kit/button.h"
#include "kit/gesture_recognizer.h"
#include "kit/image_view.h"
#include "kit/interface_loader.h"
#include "kit/label.h"
#include "kit/motion.h"
#include "kit/photo_library.h"
#include "kit/platform.h"
#include "kit/popover.h"
#include "kit/sound.h"
#include "kit/view_controller.h"

class RubbedView;
class CameraViewController;
class HelpPanelViewController;

// Whoever sent an action: a button, a recogniser, the help panel, or
// nothing when another operation calls it. No action looks at it.
using Sender = const void*;

// The launch cannot go on (a resource the scene cannot do without).
class LaunchError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

class VitraneforiPadViewController : public kit::ViewController,
                                     public kit::AccelerometerDelegate,
                                     public kit::GestureRecognizerDelegate {
 public:
  explicit VitraneforiPadViewController(kit::Platform& platform);
  ~VitraneforiPadViewController() override;

  kit::Platform& platform() { return platform_; }

  // --- Scene and lifecycle (app/) ----------------------------------------
  void setupVitraneView();
  void setupSounds();
  void showInstructionsPanel(Sender sender = nullptr);
  void hideInstructionsPanel(Sender sender = nullptr);
  bool shouldAutorotateToInterfaceOrientation(int orientation) override;
  void willAnimateRotationToInterfaceOrientation(int orientation, double duration) override;

  // The controller's actions by name (interface file, runner), and its
  // outlets by name.
  kit::Button::Action actionNamed(const std::string& name);
  static std::vector<std::string> actionNames();
  std::vector<std::pair<std::string, kit::View*>> outletViews() const;
  // Every instance variable by its name, for state dumps.
  nlohmann::json stateJson() const;

  // --- Frame driver (motion/) --------------------------------------------
  void setupMotionTracking();
  void accelerometerDidAccelerate(kit::Accelerometer& sender,
                                  std::shared_ptr<const kit::Acceleration> sample) override;
  void prepareForNextFrame();
  void updateVelocities(const std::shared_ptr<const kit::Acceleration>& sample);
  double distanceThisFrame();
  void updateMovingImages();
  void updateMeters();
  void teardownVitraneView();

  // --- Turns of the tablet (motion/) -------------------------------------
  void updateCurrentGesture();
  void resetGesture();
  void updateGravityGesture();
  bool rotationStartingAtLeast(double threshold);
  bool rotationEnding();
  bool translationStarting();
  bool translationEnding();

  // --- Tilt (motion/): the height of a lifted side or corner, inches -----
  double deviceTippedHeight();
  bool deviceIsFlat();
  bool startingTip();
  bool endedTip();
  bool deviceIsOnLongEdge();
  bool deviceIsOnShortEdge();

  // --- Device geometry and anchors (geometry/) ---------------------------
  void setupGeometry(double bodyWidthInches, double bodyHeightInches, double cornerInsetInches,
                     int screenWidthPoints, int screenHeightPoints, int pointsPerInchValue);
  void useDeviceAnchors();
  void useScreenAnchors();
  void toggleScreenCorners(Sender sender = nullptr);
  void toggleCornersFrom(kit::GestureRecognizer& sender);
  kit::Point cornerFromQuadrant(double xAcceleration, double yAcceleration, double turnRate);
  kit::Point oppositeCorner(kit::Point corner);
  bool isAdjacentCorner(kit::Point first, kit::Point second);
  void updateShadow();
  void adjustTelescopeCenter(kit::Point screenPoint);
  void shiftAnchor(kit::Point newAnchor);
  kit::Point computedGravityAnchor();
  void useGravityAnchor();
  void setAnchorFromGravity();
  bool isCenterRotation();
  // The flat-pivot mode's frame step: follows a flat turn's pivot as the
  // sensors tell it (does nothing unless flatPivotMode is Estimate).
  void updateFlatPivot();
  // The latest flat-turn pivot the sensors told, screen points.
  std::optional<kit::Point> estimatedFlatPivot() const;

  // --- Table world (world/) ----------------------------------------------
  void updateTilePatch(const kit::ImageRef& image);
  void setupSeamlessTiles(const kit::ImageRef& image);
  void adjustSeamlessPatch();
  void pieceThroughEdge(kit::View& piece, kit::Point proposedCenter);
  void recenter(Sender sender = nullptr);
  void resetTable();
  void adjustTableAnchorPointForGestureRecognizer(kit::GestureRecognizer& recognizer);
  void rotateWorld(kit::GestureRecognizer& recognizer);
  void scaleWorld(kit::GestureRecognizer& recognizer);
  void resetScale(kit::GestureRecognizer& recognizer);
  void handlePanFrom(kit::GestureRecognizer& recognizer);
  void hideInstructions(kit::GestureRecognizer& recognizer);
  void longPressMenu(kit::GestureRecognizer& recognizer);
  bool gestureRecognizerShouldRecognizeSimultaneouslyWithGestureRecognizer(
      kit::GestureRecognizer& recognizer, kit::GestureRecognizer& other) override;

  // --- Pieces: the photos' own finger gestures (world/) -------------------
  void addGestureRecognizersToPiece(kit::View& piece);
  void adjustAnchorPointForGestureRecognizer(kit::GestureRecognizer& recognizer);
  void panPiece(kit::GestureRecognizer& recognizer);
  void rotatePiece(kit::GestureRecognizer& recognizer);
  void scalePiece(kit::GestureRecognizer& recognizer);
  void tapPiece(kit::GestureRecognizer& recognizer);
  void swapWorldImage(kit::GestureRecognizer& recognizer);

  // --- Wandering photos (photos/) ------------------------------------------
  void dropRepresentationOnTable(const kit::AssetRepresentation& representation, int radius);
  void showPhotos();
  void hidePhotos();
  // Whether any of a touch's recognisers belongs to a photo.
  bool touchingAnyPhoto(const std::vector<kit::GestureRecognizer*>& touchRecognizers) const;

  // --- The extras: photos, capture, fake screen, links -------------------
  void wanderInPhotos(Sender sender = nullptr);
  void showFakeScreen(Sender sender = nullptr);
  void setupFoolAFriend();
  void takeCameraPhoto(Sender sender = nullptr);
  void useLibraryPhoto(Sender sender = nullptr);
  void cropLibraryTile(Sender sender = nullptr);
  void visitWebSite(Sender sender = nullptr);
  void visitAppStoreListing(Sender sender = nullptr);

  // --- Outlets (the main interface file) ---------------------------------
  // The world, outermost first: each view carries one kind of motion.
  kit::ViewRef offsetView;      // the world's recognisers
  kit::ViewRef rotatingView;    // the device heading, about the pivot
  kit::ViewRef tableTopView;    // counter-shift when the pivot moves
  kit::ViewRef telescoperView;  // finger zoom and drag
  kit::ViewRef stretcherView;   // finger twist
  kit::ViewRef seamlessTiles;   // the tile field
  kit::ViewRef photosLayerView;
  kit::ViewRef tableBoundaryView;
  // Screen-fixed views above the world.
  kit::ViewRef deviceShadowView;
  std::shared_ptr<kit::ImageView> topEdge, bottomEdge, leftEdge, rightEdge;
  std::shared_ptr<kit::ImageView> insideTopLeft, insideTopRight, insideBottomLeft,
      insideBottomRight;
  std::shared_ptr<kit::ImageView> pushpinImageView;
  std::shared_ptr<RubbedView> iPhoneDesktopView;
  kit::ViewRef instructionsView;
  std::shared_ptr<kit::Label> bigDisplay;
  std::shared_ptr<kit::ActivityIndicatorView> waitSpinner;
  std::shared_ptr<kit::Button> wanderIntoPhotosButton, showFakeScreenButton, takePhotoButton,
      usePhotoLibraryButton, cropLibraryTileButton, visitQuillfenButton, rateAppButton;
  // Held for the interface file only.
  kit::ViewRef screenView, tapTrackerView, iPhoneInnardsView, rubMaskView;
  std::shared_ptr<kit::ImageView> prizeImageView, rubberImageView;

  // --- Scene and lifecycle: shared objects, sounds -----------------------
  kit::MotionManager* motionManager = nullptr;
  kit::DeviceMotionRef currentDeviceMotion;
  std::shared_ptr<const kit::Acceleration> currentAcceleration;
  double frictionPerFrame = 0;
  std::shared_ptr<kit::PanGestureRecognizer> panWorldGesture;
  std::shared_ptr<kit::RotationGestureRecognizer> rotateWorldGesture;
  std::shared_ptr<kit::PinchGestureRecognizer> pinchWorldGesture;
  std::shared_ptr<CameraViewController> cameraController;
  std::shared_ptr<HelpPanelViewController> helpPanelController;
  std::shared_ptr<kit::PopoverController> helpPopover;
  kit::ImageRef rubbingMaskImage, iPhoneDesktopImage;
  std::string transitSoundFileURLRef, newEnvironmentSoundFileURLRef, brakeSoundFileURLRef;
  kit::SystemSoundID transitSoundFileObject = 0, newEnvironmentSoundFileObject = 0,
                     brakeSoundFileObject = 0;

  // --- Frame driver: heading and the one-frame flags ---------------------
  double yawOffset = 0;
  bool anchorJustSetByTwist = false;
  double worldRotationThisFrame = 0;
  bool anchorAdjustedThisFrame = false;

  // --- Velocity step: timestamps, scaled acceleration, turn integration --
  double currentTimestamp = 0, prevTimestamp = 0, sampleDuration = 0;
  double accelX = 0, accelY = 0, accelZ = 0;
  double velocityX = 0, velocityY = 0, velocityZ = 0;
  double motionX = 0, motionY = 0, motionZ = 0;
  kit::Point motion;
  double positionX = 0, positionY = 0, positionZ = 0;
  double userVelocityX = 0, userVelocityY = 0, userVelocityZ = 0;
  double gestureAngleExtent = 0, gestureSumOfDistances = 0, gestureAccelerometerDistance = 0;
  double anchorRadiusEstimate = 0, anchorAngleEstimate = 0;
  std::int8_t gestureSampleCount = 0;

  // --- Gesture state machine: the turn in progress -----------------------
  bool gestureStarted = false, gestureIsFlat = false;
  int gestureDirection = 0, currentDirection = 0;
  double gestureInitialYaw = 0, gestureStartTime = 0, debounceEndTime = 0;
  bool doesDebounce = false, gestureRotating = false, gestureTranslating = false;
  kit::Point currentFlatAnchor, currentGravityAnchor;

  // --- Device geometry and corners (points unless named otherwise) -------
  int screenWidth = 0, screenHeight = 0, pointsPerInch = 0;
  double deviceWidth = 0, deviceHeight = 0, cornerInset = 0;
  double deviceOriginX = 0, deviceOriginY = 0;
  kit::Point accelerometerLocation;
  kit::Point topLeftAnchor, topRightAnchor, bottomLeftAnchor, bottomRightAnchor, centerAnchor;
  bool screenCornerAnchors = false;
  double topLeftRadius = 0, topRightRadius = 0, bottomLeftRadius = 0, bottomRightRadius = 0,
         centerRadius = 0;
  double topLeftAngle = 0, topRightAngle = 0, bottomLeftAngle = 0, bottomRightAngle = 0,
         centerAngle = 0;
  bool flatAnchorValid = false, autoAnchorOn = false, showPushPin = false;

  // --- Pivot -------------------------------------------------------------
  kit::Point currentAnchor, lastGravityAnchor;
  bool anchorSetByTwist = false;
  // Set by the host before launch: Estimate turns a flat tablet's picture
  // about the point the sensors find; Centre (the default) leaves the pivot
  // to the rules above.
  FlatPivotMode flatPivotMode = FlatPivotMode::Centre;
  FlatPivotTracker flatPivot;

  // --- World zoom --------------------------------------------------------
  bool isUnityScale = false, longShot = false;
  double longShotScale = 0;

  // --- Tile field --------------------------------------------------------
  int tileHorizontalPitch = 0, tileVerticalPitch = 0;

  // --- Wandering photos --------------------------------------------------
  int nPhotosMoving = 0, nThumbnails = 0, thumbnailMaxRadius = 0;
  int nGroupsEnumerated = 0, nAssetsEnumerated = 0;
  bool loadedPhotos = false, showingPhotos = false;

  // --- Fake screen -------------------------------------------------------
  bool rubbingLayerVisible = false;

 protected:
  kit::ViewRef loadView() override;

 private:
  std::vector<kit::OutletBinding> outletBindings();
  void installWorldGestureRecognizers();
  // The frame's device motion; a device without it reads as attitude and
  // rates of zero and gravity straight down.
  kit::Attitude currentAttitude() const;
  double currentYaw() const { return currentAttitude().yaw; }
  double turnRateZ() const;
  kit::Vector3 currentGravity() const;
  // The flat-pivot mode's steps.
  void restFlatPivot();
  void startFlatStretch(kit::Point restTable);
  void reportFlatStretch(const PivotVerdict& verdict);
  bool flatPictureMovedElsewhere() const;
  kit::Point idealFlatTable() const;
  // Answers how far the picture is still off, points.
  double correctFlatPicture(double allowance);

  kit::Platform& platform_;
};
