// The main view controller: it owns every piece of the application's state
// and every operation on it. The operations live in the folder of the
// subsystem that owns them (one class, several .cpp files); the state is one
// value per owner, declared in a small header of the owner's folder, and
// each value names its own fields (visitFields) for the state dump and the
// interface file.
#pragma once

#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include <nlohmann/json_fwd.hpp>

#include "app/controller_outlets.h"
#include "app/scene_objects.h"
#include "app/system_sounds.h"
#include "fakescreen/fake_home_screen.h"
#include "geometry/flat_pivot_estimate.h"
#include "geometry/pivot.h"
#include "geometry/tablet_geometry.h"
#include "kit/button.h"
#include "kit/gesture_recognizer.h"
#include "kit/interface_loader.h"
#include "kit/motion.h"
#include "kit/photo_library.h"
#include "kit/platform.h"
#include "kit/view_controller.h"
#include "motion/frame_driver_state.h"
#include "motion/turn_gesture.h"
#include "motion/velocity_integrator.h"
#include "photos/wandering_photos.h"
#include "world/tile_field.h"
#include "world/world_zoom.h"

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

  // --- State, one value per owner ---------------------------------------
  ControllerOutlets outlets;     // the views the main interface file connects (app/)
  SceneObjects scene;            // the kept world recognisers and the satellites (app/)
  SystemSounds systemSounds;     // the three short sounds (app/)
  FrameDriverState frameDriver;  // motion service, heading offset, one-frame flags (motion/)
  VelocityIntegrator velocity;   // the frame's sample and a turn's first frames (motion/)
  TurnGesture turn;              // the turn of the tablet in progress (motion/)
  TabletGeometry geometry;       // body, screen, sensor and the five corners (geometry/)
  Pivot pivot;                   // the point the picture turns about, and why (geometry/)
  // Set by the host before launch: Estimate turns a flat tablet's picture
  // about the point the sensors find; Centre (the default) leaves the pivot
  // to the rules of the turn and the tilt.
  FlatPivotMode flatPivotMode = FlatPivotMode::Centre;
  FlatPivotTracker flatPivot;  // the flat turn's pivot as the sensors tell it (geometry/)
  WorldZoom zoom;              // the world's finger zoom (world/)
  TileField tiles;             // the tile field's repeat (world/)
  WanderingPhotos photos;      // the photos on the table (photos/)
  FakeHomeScreen fakeScreen;   // the fake home screen rubbed away (fakescreen/)

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
