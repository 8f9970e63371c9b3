#include "render/text_atlas.h"

#include <algorithm>
#include <vector>

#include "render/texture_pixels.h"

namespace render {

namespace {
// A transparent texel around each picture: filtering at its edge reads
// nothing of its neighbours.
constexpr int kGutter = 1;

bool sameOwner(const std::weak_ptr<const kit::Bitmap>& w, const kit::BitmapRef& b) {
  return !w.owner_before(b) && !b.owner_before(w) && !w.expired();
}
}  // namespace

TextAtlas::~TextAtlas() {
  if (texture_) glDeleteTextures(1, &texture_);
}

TextAtlas::Slot TextAtlas::slotFor(const kit::BitmapRef& picture) {
  if (!picture || picture->format != kit::PixelFormat::RGBA8) return {};
  if (picture->width + 2 > kSide || picture->height + 2 > kSide ||
      static_cast<long>(picture->width) * picture->height > kLargestArea)
    return {};
  if (auto it = entries_.find(picture.get()); it != entries_.end()) {
    if (sameOwner(it->second.owner, picture)) return it->second.slot;
    entries_.erase(it);  // a new picture where a dead one was
  }
  if (full_ || refused_ || (!texture_ && !makeTexture())) return {};
  const Slot slot = place(*picture);
  if (slot.texture) entries_.emplace(picture.get(), Entry{picture, slot});
  return slot;
}

void TextAtlas::endFrame() {
  ++framesSinceEmptied_;
  if (full_ && framesSinceEmptied_ > kFramesBeforeEmptyingAgain) empty();
}

bool TextAtlas::makeTexture() {
  if (caps_.maxTextureSize < kSide) {
    refused_ = true;
    return false;
  }
  for (int i = 0; i < 16 && glGetError() != GL_NO_ERROR; ++i) {
  }
  glGenTextures(1, &texture_);
  glBindTexture(GL_TEXTURE_2D, texture_);
  glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA, kSide, kSide, 0, GL_RGBA, GL_UNSIGNED_BYTE, nullptr);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_CLAMP_TO_EDGE);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_CLAMP_TO_EDGE);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
  if (glGetError() != GL_NO_ERROR) {
    glDeleteTextures(1, &texture_);
    texture_ = 0;
    refused_ = true;
    return false;
  }
  return true;
}

TextAtlas::Slot TextAtlas::place(const kit::Bitmap& picture) {
  const TexturePixels px = prepareTexturePixels(picture, kSide - 2 * kGutter);
  if (px.width <= 0 || px.height <= 0 || px.format != kit::PixelFormat::RGBA8) return {};
  const int w = px.width + 2 * kGutter, h = px.height + 2 * kGutter;
  if (x_ + w > kSide) {  // the next shelf
    y_ += shelfHeight_;
    x_ = 0;
    shelfHeight_ = 0;
  }
  if (y_ + h > kSide) {
    full_ = true;
    return {};
  }
  // The picture inside its gutter, uploaded as one block.
  std::vector<std::uint8_t> block(static_cast<std::size_t>(w) * h * 4, 0);
  for (int row = 0; row < px.height; ++row)
    std::copy_n(px.data + static_cast<std::size_t>(row) * px.width * 4,
                static_cast<std::size_t>(px.width) * 4,
                block.data() + (static_cast<std::size_t>(row + kGutter) * w + kGutter) * 4);
  glBindTexture(GL_TEXTURE_2D, texture_);
  glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
  if (caps_.majorVersion >= 3) {
    glPixelStorei(GL_UNPACK_ROW_LENGTH, 0);
    glPixelStorei(GL_UNPACK_SKIP_ROWS, 0);
    glPixelStorei(GL_UNPACK_SKIP_PIXELS, 0);
    glBindBuffer(GL_PIXEL_UNPACK_BUFFER, 0);
  }
  glTexSubImage2D(GL_TEXTURE_2D, 0, x_, y_, w, h, GL_RGBA, GL_UNSIGNED_BYTE, block.data());
  constexpr float kTexel = 1.0f / kSide;
  Slot slot{texture_,
            static_cast<float>(x_ + kGutter) * kTexel,
            static_cast<float>(y_ + kGutter) * kTexel,
            static_cast<float>(x_ + kGutter + px.width) * kTexel,
            static_cast<float>(y_ + kGutter + px.height) * kTexel,
            px.opaque};
  x_ += w;
  shelfHeight_ = std::max(shelfHeight_, h);
  return slot;
}

void TextAtlas::empty() {
  entries_.clear();
  x_ = y_ = shelfHeight_ = 0;
  full_ = false;
  framesSinceEmptied_ = 0;
}

}  // namespace render
