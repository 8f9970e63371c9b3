// An image: a shared decoded bitmap plus the orientation in which it is to
// be shown. Turning or mirroring an image never copies pixels; it makes a
// new Image over the same bitmap with another orientation flag.
#pragma once

#include <memory>
#include <string>

#include "kit/bitmap.h"
#include "kit/geometry.h"

namespace kit {

// The platform's eight orientations, with its numeric values.
enum class ImageOrientation : int {
  Up = 0,
  Down = 1,          // half a turn
  Left = 2,          // quarter turn counter-clockwise
  Right = 3,         // quarter turn clockwise
  UpMirrored = 4,    // mirrored left to right
  DownMirrored = 5,  // mirrored top to bottom
  LeftMirrored = 6,
  RightMirrored = 7,
};

// Left, Right, LeftMirrored and RightMirrored: the displayed image is the
// bitmap turned by a quarter, so its width and height are exchanged.
bool isQuarterTurned(ImageOrientation o);

// Where the pixel shown at (dx, dy) of the displayed picture is stored, in
// a bitmap of w × h stored pixels. Inline: it runs once a pixel.
inline void storedPixel(ImageOrientation o, int w, int h, int dx, int dy, int& sx, int& sy) {
  sx = dx;
  sy = dy;
  switch (o) {
    case ImageOrientation::Up: break;
    case ImageOrientation::UpMirrored: sx = w - 1 - dx; break;
    case ImageOrientation::Down:
      sx = w - 1 - dx;
      sy = h - 1 - dy;
      break;
    case ImageOrientation::DownMirrored: sy = h - 1 - dy; break;
    case ImageOrientation::LeftMirrored:
      sx = dy;
      sy = dx;
      break;
    case ImageOrientation::Right:
      sx = dy;
      sy = h - 1 - dx;
      break;
    case ImageOrientation::RightMirrored:
      sx = w - 1 - dy;
      sy = h - 1 - dx;
      break;
    case ImageOrientation::Left:
      sx = w - 1 - dy;
      sy = dx;
      break;
  }
}

// The EXIF orientation tag (1..8) as the platform's flag; Up for anything else.
ImageOrientation orientationFromExif(int exifOrientation);

class Image {
 public:
  Image(BitmapRef bitmap, ImageOrientation orientation = ImageOrientation::Up, float scale = 1);

  const BitmapRef& bitmap() const { return bitmap_; }
  ImageOrientation orientation() const { return orientation_; }
  float scale() const { return scale_; }

  // The displayed size in points: the bitmap's size over the scale, with
  // width and height exchanged for the quarter-turned orientations.
  Size size() const;

  // "<Image 1200x900 Up>", for the debug log's %@.
  std::string description() const;

 private:
  BitmapRef bitmap_;
  ImageOrientation orientation_;
  float scale_;
};

using ImageRef = std::shared_ptr<const Image>;

}  // namespace kit
