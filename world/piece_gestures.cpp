// The fingers on a photo lying on the table: drag and flick it, turn it
// and let it spin, pinch it within limits, tap it to the top, and press it
// to brake it or, at rest, to swap it with the table surface.
#include <algorithm>
#include <cmath>

#include "app/vitrane_view_controller.h"
#include "kit/animation.h"
#include "kit/gesture_recognizer.h"
#include "kit/log.h"
#include "photos/moving_image_view.h"
#include "world/image_orientation.h"

namespace {

constexpr double kFramesPerSecond = 120;
constexpr double kMaximumPieceZoom = 0.9;
constexpr double kMinimumPieceZoom = 0.05;
constexpr double kPiecePressSeconds = 0.3;
constexpr int kPieceDragTouches = 2;
constexpr double kSmallestSwappedSize = 1024;  // diagonal, and width after enlarging
constexpr double kSurfaceFadeOutSeconds = 0.1;
constexpr double kSurfaceFadeInSeconds = 0.5;

bool isBeganOrChanged(kit::GestureState state) {
  return state == kit::GestureState::Began || state == kit::GestureState::Changed;
}

MovingImageView* pieceOf(const kit::GestureRecognizer& recognizer) {
  return dynamic_cast<MovingImageView*>(recognizer.view());
}

}  // namespace

void VitraneforiPadViewController::addGestureRecognizersToPiece(kit::View& piece) {
  piece.setUserInteractionEnabled(true);

  auto rotation = std::make_shared<kit::RotationGestureRecognizer>(
      [this](kit::GestureRecognizer& r) { rotatePiece(r); });
  piece.addGestureRecognizer(rotation);

  auto pinch = std::make_shared<kit::PinchGestureRecognizer>(
      [this](kit::GestureRecognizer& r) { scalePiece(r); });
  pinch->setDelegate(this);
  piece.addGestureRecognizer(pinch);

  auto pan = std::make_shared<kit::PanGestureRecognizer>(
      [this](kit::GestureRecognizer& r) { panPiece(r); });
  pan->maximumNumberOfTouches = kPieceDragTouches;
  pan->setDelegate(this);
  piece.addGestureRecognizer(pan);

  auto tap = std::make_shared<kit::TapGestureRecognizer>(
      [this](kit::GestureRecognizer& r) { tapPiece(r); });
  tap->numberOfTouchesRequired = 1;
  tap->setDelegate(this);
  piece.addGestureRecognizer(tap);

  auto press = std::make_shared<kit::LongPressGestureRecognizer>(
      [this](kit::GestureRecognizer& r) { swapWorldImage(r); });
  press->minimumPressDuration = kPiecePressSeconds;
  press->numberOfTouchesRequired = 1;
  press->setDelegate(this);
  piece.addGestureRecognizer(press);
}

void VitraneforiPadViewController::adjustAnchorPointForGestureRecognizer(
    kit::GestureRecognizer& recognizer) {
  if (recognizer.state() != kit::GestureState::Began) return;
  kit::View* piece = recognizer.view();
  if (!piece) return;
  const kit::Point inPiece = recognizer.locationInView(piece);
  const kit::Point inSuperview = recognizer.locationInView(piece->superview());
  const kit::Rect bounds = piece->bounds();
  if (bounds.size.width == 0 || bounds.size.height == 0) return;
  // The anchor goes under the finger and the centre with it, so the photo
  // stays put and later turns and pinches pivot about the touch.
  piece->setAnchorPoint({inPiece.x / bounds.size.width, inPiece.y / bounds.size.height});
  piece->setCenter(inSuperview);
}

void VitraneforiPadViewController::panPiece(kit::GestureRecognizer& recognizer) {
  auto& pan = static_cast<kit::PanGestureRecognizer&>(recognizer);
  MovingImageView* piece = pieceOf(pan);
  if (!piece) return;
  adjustAnchorPointForGestureRecognizer(pan);
  const kit::GestureState state = pan.state();

  if (state == kit::GestureState::Began) {
    outlets.photosLayerView->bringSubviewToFront(piece);
    // A drifting photo is caught; its spin goes on.
    piece->velocityPerFrame = {0, 0};
    ++photos.nPhotosMoving;
    kit::log("%d photos panning", photos.nPhotosMoving);
  }

  if (isBeganOrChanged(state)) {
    const kit::View* space = piece->superview();
    const kit::Point t = pan.translationInView(space);
    const kit::Point c = piece->center();
    piece->setCenter({c.x + t.x, c.y + t.y});
    pan.setTranslation({0, 0}, space);
  } else if (state == kit::GestureState::Ended) {
    // Released fast enough (a point a frame or more), it goes on at its
    // release speed.
    const kit::Point v = pan.velocityInView(outlets.photosLayerView.get());
    const double vx = v.x;
    const double vy = v.y;
    if (std::sqrt(vx * vx + vy * vy) / kFramesPerSecond >= 1) {
      piece->velocityPerFrame = {static_cast<float>(vx / kFramesPerSecond),
                                 static_cast<float>(vy / kFramesPerSecond)};
      kit::log("Continuing velocity of %1.2f,%1.2f", piece->velocityPerFrame.x,
               piece->velocityPerFrame.y);
    } else {
      piece->velocityPerFrame = {0, 0};
    }
    --photos.nPhotosMoving;
  } else if (state == kit::GestureState::Cancelled) {
    // A drag taken away (the system cancelled it) is over too, without a
    // fling, so the count of drags does not stay one too high.
    --photos.nPhotosMoving;
  }
}

void VitraneforiPadViewController::rotatePiece(kit::GestureRecognizer& recognizer) {
  auto& rotation = static_cast<kit::RotationGestureRecognizer&>(recognizer);
  MovingImageView* piece = pieceOf(rotation);
  if (!piece) return;
  adjustAnchorPointForGestureRecognizer(rotation);

  if (isBeganOrChanged(rotation.state())) {
    const double step = rotation.rotation;
    piece->setTransform(kit::rotated(piece->transform(), static_cast<float>(step)));
    piece->prevRotation = step;
    // The finger holds the spin.
    piece->radiansPerFrame = 0;
    rotation.rotation = 0;
  } else if (rotation.state() == kit::GestureState::Ended) {
    // Let go while turning, it keeps turning by the last step every frame.
    piece->radiansPerFrame = piece->prevRotation;
  }
}

void VitraneforiPadViewController::scalePiece(kit::GestureRecognizer& recognizer) {
  auto& pinch = static_cast<kit::PinchGestureRecognizer&>(recognizer);
  kit::View* piece = pinch.view();
  if (!piece) return;
  adjustAnchorPointForGestureRecognizer(pinch);

  const kit::AffineTransform t = piece->transform();
  const double zoom = std::sqrt(static_cast<double>(t.a) * t.a + static_cast<double>(t.b) * t.b);
  if (!isBeganOrChanged(pinch.state())) return;

  kit::log("Pinching with %d touches.", pinch.numberOfTouches());
  const double s = pinch.scale;
  const double next = zoom * s;
  // A step towards the range is always taken, so a photo beyond a limit
  // can be brought back.
  const bool grows = s > 1 && next <= kMaximumPieceZoom;
  const bool shrinks = s < 1 && next >= kMinimumPieceZoom;
  if (grows || shrinks) {
    const auto step = static_cast<float>(s);
    piece->setTransform(kit::scaled(t, step, step));
  }
  pinch.scale = 1.0;
}

void VitraneforiPadViewController::tapPiece(kit::GestureRecognizer& recognizer) {
  if (recognizer.state() != kit::GestureState::Ended || !recognizer.view()) return;
  outlets.photosLayerView->bringSubviewToFront(recognizer.view());
}

void VitraneforiPadViewController::swapWorldImage(kit::GestureRecognizer& recognizer) {
  if (recognizer.state() != kit::GestureState::Began) return;
  MovingImageView* piece = pieceOf(recognizer);
  if (!piece) return;

  if (piece->isMoving()) {
    // The press only brakes a moving photo.
    platform_.sounds().playSystemSound(systemSounds.brakeSoundFileObject);
    piece->velocityPerFrame = {0, 0};
    piece->radiansPerFrame = 0;
    return;
  }

  const kit::ImageRef newSurface = piece->image();
  if (!newSurface || !outlets.seamlessTiles || outlets.seamlessTiles->subviews().empty()) return;
  // Tile (0, 0) shows the current surface unmirrored at one pitch; taken
  // before the field is rebuilt.
  const auto oldTile =
      std::dynamic_pointer_cast<kit::ImageView>(outlets.seamlessTiles->subviews().front());
  if (!oldTile || !oldTile->image()) return;
  const kit::ImageRef oldSurface = oldTile->image();
  const kit::Rect oldBounds = oldTile->bounds();

  {
    kit::AnimationBlock fadeOut(kSurfaceFadeOutSeconds);
    outlets.seamlessTiles->setAlpha(0.0f);
  }
  updateTilePatch(newSurface);
  platform_.sounds().playSystemSound(systemSounds.newEnvironmentSoundFileObject);
  const kit::Point center = piece->center();

  if (imagesTurnedRelative(*newSurface, *oldSurface)) kit::log("Flopping as we swap images");

  // The photo now shows the former surface at the former tile size, with
  // its own turn and zoom kept.
  piece->setCenter(center);
  piece->setImage(oldSurface);
  piece->setBounds(oldBounds);
  const double width = oldBounds.size.width;
  const double height = oldBounds.size.height;
  if (width > 0 && std::sqrt(width * width + height * height) < kSmallestSwappedSize) {
    // A small former surface is enlarged to a width of 1024, never shrunk.
    const auto k = static_cast<float>(std::max(1.0, kSmallestSwappedSize / width));
    piece->setTransform(kit::scaled(piece->transform(), k, k));
  }

  // The new surface fades in from nothing: the fade-out has only begun, so
  // its end value is where the fade-in starts, not what is drawn now.
  outlets.seamlessTiles->setAlpha(0.0f);
  kit::AnimationBlock fadeIn(kSurfaceFadeInSeconds);
  outlets.seamlessTiles->setAlpha(1.0f);
}
