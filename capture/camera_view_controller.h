// Drives the image picker that takes or picks a new table surface. It shows
// no view of its own: the main controller presents the picker it makes.
#pragma once

#include <memory>

#include "kit/image_picker.h"
#include "kit/popover.h"
#include "kit/view_controller.h"

class VitraneforiPadViewController;

class CameraViewController : public kit::ViewController, public kit::ImagePickerDelegate {
 public:
  VitraneforiPadViewController* vitraneController() const { return vitraneController_; }
  void setVitraneController(VitraneforiPadViewController* controller) {
    vitraneController_ = controller;
  }

  // Presents a picker from presenter, answering delegate: the library in a
  // popover, or the camera modally. False when either is missing or the
  // source is not available.
  bool startCameraControllerFromViewController(kit::ViewController* presenter,
                                               kit::ImagePickerDelegate* delegate);

  void imagePickerControllerDidFinishPickingMediaWithInfo(
      kit::ImagePickerController& picker, const kit::ImagePickerInfo& info) override;
  void imagePickerControllerDidCancel(kit::ImagePickerController& picker) override;
  // The user touched outside the library popover.
  void popoverControllerDidDismissPopover(kit::PopoverController& popover);

  bool shouldAutorotateToInterfaceOrientation(int orientation) override;
  void willAnimateRotationToInterfaceOrientation(int orientation, double duration) override;

  // The picker shown now, if any.
  kit::ImagePickerController* picker() const { return picker_.get(); }

  bool pickFromLibrary = true;
  bool cropPhoto = false;
  std::shared_ptr<kit::PopoverController> popover;

 private:
  kit::ImagePickerServices& pickerServices() const;
  void givePickerUp(kit::ImagePickerController& picker);

  VitraneforiPadViewController* vitraneController_ = nullptr;
  // Alive from the start of a pick until its result or cancel.
  std::shared_ptr<kit::ImagePickerController> picker_;
};

// "Up", "Down", ..., "Right Mirrored"; "Not a valid orientation" otherwise.
const char* capturedOrientationName(int orientation);
