// The camera controller: starts a pick and takes its result to the table.
#include "capture/camera_view_controller.h"

#include "app/vitrane_view_controller.h"
#include "kit/log.h"
#include "world/image_orientation.h"

namespace {

// Where the library popover points from, in the presenting view.
const kit::Rect kLibraryPopoverSource{300, 0, 600, 800};
const kit::Size kCropPopoverSize{460, 460};
const kit::Size kWholePhotoPopoverSize{600, 800};
// The edited image is expected to fit in the screen's shorter side.
constexpr float kLargestEditedSide = 1024;
constexpr const char* kExifKey = "{Exif}";

bool isUsable(const kit::ImageRef& image) {
  if (!image || !image->bitmap()) return false;
  const kit::Size s = image->size();
  return s.width >= 1 && s.height >= 1;
}

}  // namespace

const char* capturedOrientationName(int orientation) {
  return orientationName(orientation, "Not a valid orientation");
}

kit::ImagePickerServices& CameraViewController::pickerServices() const {
  return vitraneController_->platform().imagePickers();
}

bool CameraViewController::startCameraControllerFromViewController(
    kit::ViewController* presenter, kit::ImagePickerDelegate* delegate) {
  if (!delegate || !presenter || !vitraneController_) return false;
  kit::ImagePickerServices& services = pickerServices();
  const auto source = pickFromLibrary ? kit::ImagePickerSourceType::PhotoLibrary
                                      : kit::ImagePickerSourceType::Camera;
  if (!kit::ImagePickerController::isSourceTypeAvailable(services, source)) return false;

  auto picker = std::make_shared<kit::ImagePickerController>(services);
  picker->setDelegate(delegate);
  picker->setSourceType(source);
  // A pick still showing is replaced: its picker goes with its popover.
  picker_ = picker;

  if (pickFromLibrary) {
    picker->setAllowsEditing(cropPhoto);
    popover = std::make_shared<kit::PopoverController>(picker);
    popover->onDismissedByUser = [this](kit::PopoverController& p) {
      popoverControllerDidDismissPopover(p);
    };
    popover->presentFromRect(kLibraryPopoverSource, presenter->view().get());
    popover->setContentSize(cropPhoto ? kCropPopoverSize : kWholePhotoPopoverSize);
    return true;
  }
  picker->setAllowsEditing(false);
  picker->setCameraCaptureMode(kit::CameraCaptureMode::Photo);
  presenter->presentModalViewController(picker, true);
  return true;
}

void CameraViewController::imagePickerControllerDidFinishPickingMediaWithInfo(
    kit::ImagePickerController& picker, const kit::ImagePickerInfo& info) {
  const kit::ImageRef edited = info.editedImage;
  const kit::ImageRef original = info.originalImage;
  const kit::Rect crop = info.cropRect.value_or(kit::Rect{});

  kit::log("CropRect at position %1.0f,%1.0f of size %1.0f,%1.0f", crop.origin.x, crop.origin.y,
           crop.size.width, crop.size.height);
  kit::log("Captured image %@", info);

  if (edited &&
      (edited->size().width > kLargestEditedSide || edited->size().height > kLargestEditedSide))
    kit::log("Edited image Too Big!");

  const kit::ImageRef chosen = pickFromLibrary && edited ? edited : original;

  if (pickFromLibrary && popover) {
    popover->dismiss();
    popover.reset();
  }

  // A picture that is missing or has no size would leave no table to show:
  // the table stays as it is, and nothing is saved.
  if (!isUsable(chosen)) {
    const kit::Size s = chosen ? chosen->size() : kit::Size{};
    kit::log("The picked image is empty (%1.0f by %1.0f); the table stays as it is", s.width,
             s.height);
    givePickerUp(picker);
    return;
  }

  if (!pickFromLibrary || cropPhoto) kit::imageWriteToSavedPhotosAlbum(pickerServices(), chosen);

  vitraneController_->updateTilePatch(chosen);

  if (!pickFromLibrary) {
    const nlohmann::json& metadata = info.mediaMetadata;
    const bool hasExif = metadata.is_object() && metadata.contains(kExifKey);
    kit::log("new photo's EXIF metadata is %@",
             hasExif ? metadata.at(kExifKey).dump() : std::string("(null)"));
  }

  kit::log("image orientation: %@",
           capturedOrientationName(static_cast<int>(chosen->orientation())));

  givePickerUp(picker);
}

void CameraViewController::imagePickerControllerDidCancel(kit::ImagePickerController& picker) {
  const bool inOurPopover = popover && popover->content().get() == &picker;
  givePickerUp(picker);
  // A library picker cancelled from its own screen closes its popover too,
  // rather than leaving a picker up that no one listens to any more.
  if (inOurPopover) {
    popover->dismiss();
    popover.reset();
  }
}

void CameraViewController::givePickerUp(kit::ImagePickerController& picker) {
  // A picker in a popover has no parent: nothing to dismiss here.
  if (kit::ViewController* parent = picker.parentViewController())
    parent->dismissModalViewControllerAnimated(true);
  if (picker_.get() == &picker) picker_.reset();
}

void CameraViewController::popoverControllerDidDismissPopover(kit::PopoverController& dismissed) {
  if (popover.get() != &dismissed) return;
  // The picker it showed can no longer answer; it goes with it.
  if (picker_ && picker_ == popover->content()) picker_.reset();
  popover.reset();
}

bool CameraViewController::shouldAutorotateToInterfaceOrientation(int) {
  kit::log("Camera controller testing for rotation -- get tricky here??");
  return true;
}

void CameraViewController::willAnimateRotationToInterfaceOrientation(int, double) {
  kit::log("We know we're rotating!");
}
