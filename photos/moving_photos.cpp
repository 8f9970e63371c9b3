// The photos' own motion, one step a frame, and showing and hiding them.
#include <cmath>

#include "app/vitrane_view_controller.h"
#include "kit/animation.h"
#include "kit/log.h"
#include "photos/moving_image_view.h"

namespace {

constexpr float kTableSquare = 4096;
constexpr double kRestingSpeed = 0.05;  // points per frame
constexpr double kPhotosFadeSeconds = 0.3;

}  // namespace

void VitraneforiPadViewController::updateMovingImages() {
  if (!outlets.photosLayerView) return;
  for (const kit::ViewRef& view : outlets.photosLayerView->subviews()) {
    auto* piece = dynamic_cast<MovingImageView*>(view.get());
    if (!piece) continue;

    kit::Point v = piece->velocityPerFrame;
    v.x = static_cast<float>(v.x * photos.frictionPerFrame);
    v.y = static_cast<float>(v.y * photos.frictionPerFrame);
    piece->velocityPerFrame = v;

    const kit::Point c = piece->center();
    const kit::Point p{c.x + v.x, c.y + v.y};
    if (p.x < 0 || p.x > kTableSquare || p.y < 0 || p.y > kTableSquare)
      pieceThroughEdge(*piece, p);
    else
      piece->setCenter(p);

    const double w = piece->radiansPerFrame;
    piece->yawRadians += w;
    if (w != 0) piece->setTransform(kit::rotated(piece->transform(), static_cast<float>(w)));

    const double vx = v.x;
    const double vy = v.y;
    if (std::sqrt(vx * vx + vy * vy) < kRestingSpeed) piece->velocityPerFrame = {0, 0};
  }
}

void VitraneforiPadViewController::showPhotos() {
  resetTable();
  kit::log("Moving photos to near their origin.");
  photos.showingPhotos = true;
  kit::AnimationBlock fade(kPhotosFadeSeconds);
  outlets.photosLayerView->setAlpha(1.0f);
  outlets.tableBoundaryView->setHidden(false);
}

void VitraneforiPadViewController::hidePhotos() {
  photos.showingPhotos = false;
  kit::AnimationBlock fade(kPhotosFadeSeconds);
  outlets.photosLayerView->setAlpha(0.0f);
  outlets.tableBoundaryView->setHidden(true);
}

bool VitraneforiPadViewController::touchingAnyPhoto(
    const std::vector<kit::GestureRecognizer*>& touchRecognizers) const {
  for (const kit::GestureRecognizer* recognizer : touchRecognizers) {
    const kit::View* view = recognizer ? recognizer->view() : nullptr;
    if (view && outlets.photosLayerView && view->superview() == outlets.photosLayerView.get())
      return true;
  }
  return false;
}
