// A photo lying loose on the table: an image view that drifts and spins.
// Its motion is carried out one step a frame by the controller's
// updateMovingImages, in the photo layer's coordinates.
#pragma once

#include <memory>

#include "kit/image_view.h"

class MovingImageView : public kit::ImageView {
 public:
  using kit::ImageView::ImageView;

  std::string className() const override { return "MovingImageView"; }

  // Drifting or spinning at all.
  bool isMoving() const {
    return velocityPerFrame.x != 0 || velocityPerFrame.y != 0 || radiansPerFrame != 0;
  }

  kit::Point velocityPerFrame;  // points per frame, photo layer coordinates
  double radiansPerFrame = 0;   // spin per frame, as a rotation angle
  double prevRotation = 0;      // the last twist step of a finger
  double yawRadians = 0;        // heading: the drop's plus every spin step
};

using MovingImageViewRef = std::shared_ptr<MovingImageView>;
