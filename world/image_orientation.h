// Names and comparisons of image orientations.
#pragma once

#include <string>

#include "kit/image.h"

// "Up", "Down", ..., "Right Mirrored"; "invalid image orientation" for a
// value outside the eight.
std::string orientationName(const kit::Image& image);

// Up, Down, Up Mirrored or Down Mirrored: no quarter turn.
bool isUprightOrientation(const kit::Image& image);

// Whether exactly one of the two is quarter-turned; logs both names and
// the answer.
bool imagesTurnedRelative(const kit::Image& a, const kit::Image& b);
