// The image picker: lets the user choose a photo from the photo library
// (optionally cropping it) or take one with the camera, and answers its
// delegate with the result or a cancel.
//
// The picker's view (kit/image_picker_views.h) shows the library as a grid
// of thumbnails and, with editing allowed, a crop step, and answers through
// finishPicking() and cancel() as fingers work it. A host may answer the
// open picker (ImagePickerServices::openPicker()) itself, whatever it shows:
// the headless runner from its scenario lines, the desktop's camera picker
// with a still taken at once.
#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "kit/geometry.h"
#include "kit/image.h"
#include "kit/photo_album.h"
#include "kit/result.h"
#include "kit/view_controller.h"

namespace kit {

enum class ImagePickerSourceType : int { PhotoLibrary = 0, Camera = 1 };
enum class CameraCaptureMode : int { Photo = 0, Video = 1 };

// What a finished pick hands over.
struct ImagePickerInfo {
  ImageRef originalImage;
  // With editing allowed: the part of the original inside cropRect, upright.
  ImageRef editedImage;
  std::optional<Rect> cropRect;
  // Camera shots: {"{Exif}": {...}}; null for library photos.
  nlohmann::json mediaMetadata;

  // One line, every entry by its key in name order, for the debug log's %@.
  std::string description() const;
};

class BackgroundQueue;
class ImagePickerController;

class ImagePickerDelegate {
 public:
  virtual ~ImagePickerDelegate() = default;
  // The picker may be given up by these calls.
  virtual void imagePickerControllerDidFinishPickingMediaWithInfo(ImagePickerController& picker,
                                                                  const ImagePickerInfo& info) = 0;
  virtual void imagePickerControllerDidCancel(ImagePickerController& picker) = 0;
};

// A still camera.
class Camera {
 public:
  virtual ~Camera() = default;
  virtual bool isAvailable() = 0;
  // One still photo, upright, never null; an error when none could be
  // taken (no device, the device went away, a frame that cannot be read).
  virtual Result<ImageRef> captureStill() = 0;
};

// The camera of the machine: the first video capture device (V4L2). One of
// the Linux device services: a host that has them installs it in its
// ImagePickerServices.
std::shared_ptr<Camera> makeSystemCamera();

// What the picker works with, one per platform: the sources, the album, and
// the pickers alive now.
class ImagePickerServices {
 public:
  ImagePickerServices();
  ImagePickerServices(const ImagePickerServices&) = delete;
  ImagePickerServices& operator=(const ImagePickerServices&) = delete;

  // null: there is no camera. The host installs the one it has.
  std::shared_ptr<Camera> camera;
  bool libraryAvailable = true;
  // The library's photos for a picker's grid, as image files in display
  // order; none set: an empty library.
  std::function<std::vector<std::string>()> libraryPhotoPaths;
  // Where the library's photos come from, named to the user when it has
  // none (a folder); empty or none set: not named.
  std::function<std::string()> libraryLocation;
  // Where the picker's views decode pictures; none: where they are asked for.
  BackgroundQueue* backgroundQueue = nullptr;

  SavedPhotosAlbum& savedPhotosAlbum() { return album_; }
  const SavedPhotosAlbum& savedPhotosAlbum() const { return album_; }

  // The picker most recently shown (modally or in a popover) that is still
  // shown; null when none is.
  ImagePickerController* openPicker() const;

 private:
  friend class ImagePickerController;
  std::vector<ImagePickerController*> live_;
  SavedPhotosAlbum album_;
};

// Saves a picture to the platform's saved-photos album; reports nothing
// back but a line in the debug log when it fails.
void imageWriteToSavedPhotosAlbum(ImagePickerServices& services, const ImageRef& image);

// The part of image inside rect (in the image's displayed points), as an
// upright image of its own; null when they do not overlap by a pixel.
ImageRef croppedImage(const Image& image, const Rect& rect);

class ImagePickerController : public ViewController {
 public:
  explicit ImagePickerController(ImagePickerServices& services);
  ~ImagePickerController() override;

  static bool isSourceTypeAvailable(const ImagePickerServices& services,
                                    ImagePickerSourceType type);

  ImagePickerServices& services() const { return services_; }
  ImagePickerDelegate* delegate() const { return delegate_; }
  void setDelegate(ImagePickerDelegate* delegate) { delegate_ = delegate; }
  ImagePickerSourceType sourceType() const { return sourceType_; }
  void setSourceType(ImagePickerSourceType type) { sourceType_ = type; }
  bool allowsEditing() const { return allowsEditing_; }
  void setAllowsEditing(bool allows) { allowsEditing_ = allows; }
  CameraCaptureMode cameraCaptureMode() const { return captureMode_; }
  void setCameraCaptureMode(CameraCaptureMode mode) { captureMode_ = mode; }

  bool isShown() const {
    return parentViewController() != nullptr || presentingPopover() != nullptr;
  }

  // The user's answers. Each tells the delegate once; the picker may be
  // gone when they return.
  //
  // original was chosen (or shot); with editing allowed and a crop
  // rectangle the info carries the cropped image and the rectangle too.
  void finishPicking(ImageRef original, std::optional<Rect> crop = std::nullopt,
                     nlohmann::json metadata = nullptr);
  // Camera source: takes a still through the services' camera and finishes
  // with it. When no photo could be taken the picker stays open and the
  // error says why.
  Result<void> takePicture();
  void cancel();

  // Lays the picker's view (kit/image_picker_views.h) out for the size it
  // was shown at.
  void viewWillLayoutSubviews() override;

 protected:
  ViewRef loadView() override;

 private:
  ImagePickerServices& services_;
  ImagePickerDelegate* delegate_ = nullptr;
  ImagePickerSourceType sourceType_ = ImagePickerSourceType::PhotoLibrary;
  bool allowsEditing_ = false;
  CameraCaptureMode captureMode_ = CameraCaptureMode::Photo;
};

}  // namespace kit
