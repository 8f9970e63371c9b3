// A bitmap's pixels as a texture wants them: premultiplied alpha, and no
// side longer than the GL implementation takes.
#pragma once

#include <cstdint>
#include <vector>

#include "kit/bitmap.h"

namespace render {

struct TexturePixels {
  int width = 0;
  int height = 0;
  kit::PixelFormat format = kit::PixelFormat::RGBA8;
  bool opaque = true;  // no pixel with alpha below 1
  // Rows top to bottom, no padding. Points either into the source bitmap
  // (nothing needed changing) or into owned.
  const std::uint8_t* data = nullptr;
  std::vector<std::uint8_t> owned;
};

// Premultiplies RGBA that has any transparency, so filtering and mipmaps
// do not bleed the colour of invisible pixels into their neighbours; and
// scales pictures down by area averaging until both sides are at most
// maxSide, keeping the aspect ratio (the displayed size does not change:
// texture coordinates are relative). The source must outlive the result.
// Width 0 when the bitmap is empty or its pixel store is short.
TexturePixels prepareTexturePixels(const kit::Bitmap& source, int maxSide);

}  // namespace render
