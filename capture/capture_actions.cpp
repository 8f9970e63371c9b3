// The three ways to a new table photo: the camera, a whole library photo,
// a cropped library photo.
#include "app/vitrane_view_controller.h"
#include "capture/camera_view_controller.h"
#include "kit/log.h"

void VitraneforiPadViewController::takeCameraPhoto(Sender) {
  hideInstructionsPanel();
  kit::log("Chose Take Photo.");
  scene.cameraController->pickFromLibrary = false;
  scene.cameraController->startCameraControllerFromViewController(this,
                                                                  scene.cameraController.get());
}

void VitraneforiPadViewController::useLibraryPhoto(Sender) {
  hideInstructionsPanel();
  kit::log("Use full Photo Library photo.");
  scene.cameraController->pickFromLibrary = true;
  scene.cameraController->cropPhoto = false;
  scene.cameraController->startCameraControllerFromViewController(this,
                                                                  scene.cameraController.get());
}

void VitraneforiPadViewController::cropLibraryTile(Sender) {
  hideInstructionsPanel();
  kit::log("Crop Photo Library photo.");
  scene.cameraController->pickFromLibrary = true;
  scene.cameraController->cropPhoto = true;
  scene.cameraController->startCameraControllerFromViewController(this,
                                                                  scene.cameraController.get());
}
