// Names and comparisons of image orientations.
#pragma once

#include <string>

#include "kit/image.h"

// "Up", "Down", ..., "Right Mirrored" for the eight values of the
// platform's orientation (0..7); invalid for anything else, since the log
// lines that print them word that case differently.
const char* orientationName(int orientation, const char* invalid);

// The image's orientation by name; "invalid image orientation" outside the
// eight.
std::string orientationName(const kit::Image& image);

// Up, Down, Up Mirrored or Down Mirrored: no quarter turn.
bool isUprightOrientation(const kit::Image& image);

// Whether exactly one of the two is quarter-turned; logs both names and
// the answer.
bool imagesTurnedRelative(const kit::Image& a, const kit::Image& b);
