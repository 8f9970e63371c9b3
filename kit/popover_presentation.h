// Where a popover's panel goes, and how it looks.
//
// The panel is the content at its content size inside a frame of
// kPopoverBorder points. It goes next to the rectangle it is presented
// from, kPopoverGap points away: below it if there is room, else above,
// else to its right, else to its left, centred on the rectangle along that
// side and kept kPopoverScreenMargin points inside the screen (and below the
// status bar). When no side
// has room it lies over the rectangle, centred on it. A content size larger
// than the screen allows is reduced to fit.
#pragma once

#include "kit/geometry.h"

namespace kit {

inline constexpr float kPopoverBorder = 8;
inline constexpr float kPopoverGap = 6;
inline constexpr float kPopoverScreenMargin = 10;
// Clear of the status bar at the top of the screen.
inline constexpr float kPopoverTopInset = 20;

struct PopoverPlacement {
  Rect panel;    // the framed panel
  Rect content;  // the content, inside the frame
};

// from and the result in the screen's coordinates (the root of the tree).
PopoverPlacement placePopover(const Rect& from, Size contentSize, const Rect& screen);

}  // namespace kit
