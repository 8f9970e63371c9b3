// The tablet's body and screen in points, where its motion sensor sits, and
// the five candidate pivots (four corners and the centre), each with its
// distance and direction from the sensor.
#pragma once

#include <string>

#include "kit/geometry.h"

// One candidate pivot: where it is on the screen (points), how far the
// motion sensor is from it (points) and at what angle (radians).
struct Corner {
  kit::Point anchor;
  double radius = 0;
  double angle = 0;
};

struct TabletGeometry {
  int screenWidth = 0, screenHeight = 0, pointsPerInch = 0;
  double deviceWidth = 0, deviceHeight = 0, cornerInset = 0;
  double deviceOriginX = 0, deviceOriginY = 0;
  kit::Point accelerometerLocation;
  Corner topLeft, topRight, bottomLeft, bottomRight, center;
  bool screenCornerAnchors = false;
  bool flatAnchorValid = false, autoAnchorOn = false, showPushPin = false;

  // Each corner by its flat names, topLeftAnchor, topLeftRadius and
  // topLeftAngle and so on, as the state has always been read.
  // Every field under its name in the state dump (see visitFields).
  template <class Self, class V>
  static void fields(Self& s, V& v) {
    v("screenWidth", s.screenWidth);
    v("screenHeight", s.screenHeight);
    v("pointsPerInch", s.pointsPerInch);
    v("deviceWidth", s.deviceWidth);
    v("deviceHeight", s.deviceHeight);
    v("cornerInset", s.cornerInset);
    v("deviceOriginX", s.deviceOriginX);
    v("deviceOriginY", s.deviceOriginY);
    v("accelerometerLocation", s.accelerometerLocation);
    const auto corner = [&v](const std::string& name, auto& c) {
      v(name + "Anchor", c.anchor);
      v(name + "Radius", c.radius);
      v(name + "Angle", c.angle);
    };
    corner("topLeft", s.topLeft);
    corner("topRight", s.topRight);
    corner("bottomLeft", s.bottomLeft);
    corner("bottomRight", s.bottomRight);
    corner("center", s.center);
    v("screenCornerAnchors", s.screenCornerAnchors);
    v("flatAnchorValid", s.flatAnchorValid);
    v("autoAnchorOn", s.autoAnchorOn);
    v("showPushPin", s.showPushPin);
  }
};
