#include "kit/image_picker.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "kit/image_picker_views.h"
#include "kit/log.h"

namespace kit {

namespace {

std::string number(float v) {
  char buf[32];
  std::snprintf(buf, sizeof buf, "%g", static_cast<double>(v));
  return buf;
}

// The metadata a camera shot carries when the camera gave none.
nlohmann::json cameraMetadata(const ImageRef& image) {
  const Size s = image ? image->size() : Size{};
  return {{"{Exif}",
           {{"PixelXDimension", static_cast<int>(std::lround(s.width))},
            {"PixelYDimension", static_cast<int>(std::lround(s.height))}}}};
}

}  // namespace

std::string ImagePickerInfo::description() const {
  std::string text = "{";
  auto entry = [&](const char* key, const std::string& value) {
    if (text.size() > 1) text += "; ";
    text += key;
    text += " = ";
    text += value;
  };
  if (cropRect)
    entry("cropRect", "[" + number(cropRect->origin.x) + ", " + number(cropRect->origin.y) + ", " +
                          number(cropRect->size.width) + ", " + number(cropRect->size.height) +
                          "]");
  if (editedImage) entry("editedImage", editedImage->description());
  if (!mediaMetadata.is_null()) entry("mediaMetadata", mediaMetadata.dump());
  if (originalImage) entry("originalImage", originalImage->description());
  return text + "}";
}

ImageRef croppedImage(const Image& image, const Rect& rect) {
  const BitmapRef& bitmap = image.bitmap();
  if (!bitmap || bitmap->width < 1 || bitmap->height < 1) return nullptr;
  const Size size = image.size();
  const float scale = image.scale();
  if (!std::isfinite(rect.origin.x) || !std::isfinite(rect.origin.y) ||
      !std::isfinite(rect.size.width) || !std::isfinite(rect.size.height))
    return nullptr;
  // In displayed pixels, whole pixels only, inside the picture.
  const double left = std::max(0.0, std::floor(static_cast<double>(rect.origin.x) * scale));
  const double top = std::max(0.0, std::floor(static_cast<double>(rect.origin.y) * scale));
  const double right =
      std::min(static_cast<double>(size.width) * scale,
               std::ceil((static_cast<double>(rect.origin.x) + rect.size.width) * scale));
  const double bottom =
      std::min(static_cast<double>(size.height) * scale,
               std::ceil((static_cast<double>(rect.origin.y) + rect.size.height) * scale));
  if (right - left < 1 || bottom - top < 1) return nullptr;
  const int x0 = static_cast<int>(left), y0 = static_cast<int>(top);
  const int w = static_cast<int>(right - left), h = static_cast<int>(bottom - top);

  Bitmap out = Bitmap::make(w, h, bitmap->format);
  const int bpp = bitmap->bytesPerPixel();
  for (int y = 0; y < h; ++y) {
    std::uint8_t* dst = out.row(y);
    for (int x = 0; x < w; ++x) {
      int sx = 0, sy = 0;
      storedPixel(image.orientation(), bitmap->width, bitmap->height, x0 + x, y0 + y, sx, sy);
      const std::uint8_t* src = bitmap->row(sy) + static_cast<std::size_t>(sx) * bpp;
      std::copy(src, src + bpp, dst + static_cast<std::size_t>(x) * bpp);
    }
  }
  return std::make_shared<Image>(std::make_shared<Bitmap>(std::move(out)), ImageOrientation::Up,
                                 scale);
}

ImagePickerServices::ImagePickerServices() = default;

ImagePickerController* ImagePickerServices::openPicker() const {
  for (auto it = live_.rbegin(); it != live_.rend(); ++it)
    if ((*it)->isShown()) return *it;
  return nullptr;
}

void imageWriteToSavedPhotosAlbum(ImagePickerServices& services, const ImageRef& image) {
  if (!image) {
    log("Couldn't save the photo to the album: %@", std::string("there is no picture"));
    return;
  }
  if (auto saved = services.savedPhotosAlbum().save(*image); !saved)
    log("Couldn't save the photo to the album: %@", saved.error().message);
}

ImagePickerController::ImagePickerController(ImagePickerServices& services) : services_(services) {
  services_.live_.push_back(this);
}

ImagePickerController::~ImagePickerController() {
  std::erase(services_.live_, this);
  if (isViewLoaded()) {
    if (auto* v = dynamic_cast<ImagePickerView*>(view().get())) v->forgetPicker();
    view()->removeFromSuperview();
  }
}

ViewRef ImagePickerController::loadView() { return std::make_shared<ImagePickerView>(*this); }

void ImagePickerController::viewWillLayoutSubviews() {
  if (auto* v = dynamic_cast<ImagePickerView*>(view().get())) v->layout();
}

bool ImagePickerController::isSourceTypeAvailable(const ImagePickerServices& services,
                                                  ImagePickerSourceType type) {
  switch (type) {
    case ImagePickerSourceType::PhotoLibrary: return services.libraryAvailable;
    case ImagePickerSourceType::Camera: return services.camera && services.camera->isAvailable();
  }
  return false;
}

void ImagePickerController::finishPicking(ImageRef original, std::optional<Rect> crop,
                                          nlohmann::json metadata) {
  ImagePickerInfo info;
  info.originalImage = std::move(original);
  if (allowsEditing_ && crop) {
    info.cropRect = crop;
    if (info.originalImage) info.editedImage = croppedImage(*info.originalImage, *crop);
  }
  if (sourceType_ == ImagePickerSourceType::Camera)
    info.mediaMetadata =
        metadata.is_null() ? cameraMetadata(info.originalImage) : std::move(metadata);
  // The delegate may give this picker up.
  if (ImagePickerDelegate* d = delegate_)
    d->imagePickerControllerDidFinishPickingMediaWithInfo(*this, info);
}

Result<void> ImagePickerController::takePicture() {
  if (sourceType_ != ImagePickerSourceType::Camera)
    return Error{"the picker shows the photo library"};
  if (!services_.camera) return Error{"there is no camera"};
  auto still = services_.camera->captureStill();
  if (!still) return still.error();
  finishPicking(std::move(*still));
  return {};
}

void ImagePickerController::cancel() {
  if (ImagePickerDelegate* d = delegate_) d->imagePickerControllerDidCancel(*this);
}

}  // namespace kit
