// Animated PNG: frames of one size, shown one after the other, looping.
// Every viewer that knows the format plays it; one that does not shows
// the first frame as a still PNG.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "kit/bitmap.h"
#include "kit/geometry.h"
#include "kit/result.h"

namespace kit {

// frames: RGBA8 or Gray8, all of the first one's size and format (at least
// one). Each is shown for delayNumerator / delayDenominator seconds. An
// RGBA animation with no transparent pixel is stored as RGB.
Result<std::vector<std::uint8_t>> encodeAnimatedPng(const std::vector<Bitmap>& frames,
                                                    int delayNumerator, int delayDenominator);

// The picture reduced (area-averaged) to fit inside box, keeping its
// aspect ratio; never enlarged.
Bitmap fittedBitmap(const Bitmap& source, Size box);

}  // namespace kit
