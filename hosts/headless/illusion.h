// How well the picture matches the table it stands for: the `illusion`
// line's figures.
//
// At launch the picture counts as showing the table exactly: the picture
// point under screen point s is the table point under s. That fixes, once,
// which table point each point of the picture shows. Later, for a screen
// point s, the picture shows the table point that its picture point stood
// for at launch, while the table point actually under s (seen from straight
// above, the screen possibly tilted) follows from the tablet's pose. The
// distance between the two, in points, is the error at s.
#pragma once

#include "kit/simulated_tablet.h"
#include "kit/view.h"

namespace headless {

// A 2-D affine map in double precision, row vectors as kit's:
// x' = a·x + c·y + tx, y' = b·x + d·y + ty.
struct Affine2 {
  double a = 1, b = 0, c = 0, d = 1, tx = 0, ty = 0;

  struct XY {
    double x, y;
  };
  XY apply(double x, double y) const { return {a * x + c * y + tx, b * x + d * y + ty}; }
  Affine2 then(const Affine2& next) const;
  Affine2 inverted() const;  // the identity when singular
};

// The map from a view's coordinates to the root coordinates of its tree
// (the screen), from the views' model values.
Affine2 viewToScreen(const kit::View& view);

struct IllusionFigures {
  double mean = 0;
  double max = 0;
};

class IllusionMeter {
 public:
  // picture: the innermost view of the world (its coordinates are the
  // picture's); pose: the tablet's at launch.
  void recordLaunch(const kit::View& picture, const kit::TabletPose& pose);
  bool hasLaunch() const { return recorded_; }

  // Over the screen's four corners and its centre.
  IllusionFigures measure(const kit::View& picture, const kit::TabletPose& pose, double screenWidth,
                          double screenHeight) const;
  // The error at one screen point, in points.
  double errorAt(const kit::View& picture, const kit::TabletPose& pose, double sx, double sy) const;

 private:
  Affine2 launchPictureToScreen_;
  kit::TabletPose launchPose_;
  bool recorded_ = false;
};

}  // namespace headless
