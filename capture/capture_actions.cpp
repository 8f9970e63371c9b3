// The three ways to a new table photo: the camera, a whole library photo,
// a cropped library photo.
#include "app/vitrane_view_controller.h"
#include "capture/camera_view_controller.h"
#include "kit/log.h"

void VitraneforiPadViewController::takeCameraPhoto(Sender) {
  hideInstructionsPanel();
  kit::log("Chose Take Photo.");
  cameraController->pickFromLibrary = false;
  cameraController->startCameraControllerFromViewController(this, cameraController.get());
}

void VitraneforiPadViewController::useLibraryPhoto(Sender) {
  hideInstructionsPanel();
  kit::log("Use full Photo Library photo.");
  cameraController->pickFromLibrary = true;
  cameraController->cropPhoto = false;
  cameraController->startCameraControllerFromViewController(this, cameraController.get());
}

void VitraneforiPadViewController::cropLibraryTile(Sender) {
  hideInstructionsPanel();
  kit::log("Crop Photo Library photo.");
  cameraController->pickFromLibrary = true;
  cameraController->cropPhoto = true;
  cameraController->startCameraControllerFromViewController(this, cameraController.get());
}
