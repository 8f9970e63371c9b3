#include "world/image_orientation.h"

#include "kit/log.h"

const char* orientationName(int orientation, const char* invalid) {
  switch (orientation) {
    case 0: return "Up";
    case 1: return "Down";
    case 2: return "Left";
    case 3: return "Right";
    case 4: return "Up Mirrored";
    case 5: return "Down Mirrored";
    case 6: return "Left Mirrored";
    case 7: return "Right Mirrored";
    default: return invalid;
  }
}

std::string orientationName(const kit::Image& image) {
  return orientationName(static_cast<int>(image.orientation()), "invalid image orientation");
}

bool isUprightOrientation(const kit::Image& image) {
  switch (static_cast<int>(image.orientation())) {
    case 0:
    case 1:
    case 4:
    case 5: return true;
    default: return false;
  }
}

bool imagesTurnedRelative(const kit::Image& a, const kit::Image& b) {
  const bool turned = isUprightOrientation(a) != isUprightOrientation(b);
  kit::log("A is %@, B is %@, relative turn is %@", orientationName(a), orientationName(b),
           turned ? "turned" : "not turned");
  return turned;
}
