#include "kit/image.h"

#include <cstdio>
#include <utility>

namespace kit {

bool isQuarterTurned(ImageOrientation o) {
  switch (o) {
    case ImageOrientation::Left:
    case ImageOrientation::Right:
    case ImageOrientation::LeftMirrored:
    case ImageOrientation::RightMirrored: return true;
    default: return false;
  }
}

ImageOrientation orientationFromExif(int exif) {
  switch (exif) {
    case 2: return ImageOrientation::UpMirrored;
    case 3: return ImageOrientation::Down;
    case 4: return ImageOrientation::DownMirrored;
    case 5: return ImageOrientation::LeftMirrored;
    case 6: return ImageOrientation::Right;
    case 7: return ImageOrientation::RightMirrored;
    case 8: return ImageOrientation::Left;
    default: return ImageOrientation::Up;
  }
}

Image::Image(BitmapRef bitmap, ImageOrientation orientation, float scale)
    : bitmap_(std::move(bitmap)), orientation_(orientation), scale_(scale > 0 ? scale : 1) {}

Size Image::size() const {
  if (!bitmap_) return {};
  const float w = bitmap_->width / scale_;
  const float h = bitmap_->height / scale_;
  return isQuarterTurned(orientation_) ? Size{h, w} : Size{w, h};
}

std::string Image::description() const {
  char buf[96];
  const Size s = size();
  std::snprintf(buf, sizeof buf, "<Image %gx%g orientation %d>", s.width, s.height,
                static_cast<int>(orientation_));
  return buf;
}

}  // namespace kit
