#include "render/texture_cache.h"

#include "render/texture_pixels.h"

namespace render {

namespace {
bool isPowerOfTwo(int v) { return v > 0 && (v & (v - 1)) == 0; }

// The same object, not merely the same address: the weak pointer must
// still own what the address names.
bool sameOwner(const std::weak_ptr<const kit::Bitmap>& w, const kit::BitmapRef& b) {
  return !w.owner_before(b) && !b.owner_before(w) && !w.expired();
}
}  // namespace

TextureCache::~TextureCache() {
  for (auto& [bitmap, entry] : entries_) glDeleteTextures(1, &entry.texture.id);
}

TextureCache::Texture TextureCache::textureFor(const kit::BitmapRef& bitmap) {
  if (!bitmap) return {};
  auto it = entries_.find(bitmap.get());
  if (it != entries_.end()) {
    if (sameOwner(it->second.owner, bitmap)) return it->second.texture;
    glDeleteTextures(1, &it->second.texture.id);
    entries_.erase(it);
  }
  const Texture texture = upload(*bitmap);
  if (texture.id) entries_.emplace(bitmap.get(), Entry{bitmap, texture});
  return texture;
}

void TextureCache::collect() {
  for (auto it = entries_.begin(); it != entries_.end();) {
    if (it->second.owner.expired()) {
      glDeleteTextures(1, &it->second.texture.id);
      it = entries_.erase(it);
    } else {
      ++it;
    }
  }
}

TextureCache::Texture TextureCache::upload(const kit::Bitmap& bitmap) const {
  const TexturePixels px = prepareTexturePixels(bitmap, caps_.maxTextureSize);
  if (px.width <= 0 || px.height <= 0) return {};
  // Errors left by others must not be taken for this upload's.
  for (int i = 0; i < 16 && glGetError() != GL_NO_ERROR; ++i) {
  }
  GLuint texture = 0;
  glGenTextures(1, &texture);
  glBindTexture(GL_TEXTURE_2D, texture);
  glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
  if (caps_.majorVersion >= 3) {
    // Someone else's unpack settings on the shared context must not shift rows.
    glPixelStorei(GL_UNPACK_ROW_LENGTH, 0);
    glPixelStorei(GL_UNPACK_SKIP_ROWS, 0);
    glPixelStorei(GL_UNPACK_SKIP_PIXELS, 0);
    glBindBuffer(GL_PIXEL_UNPACK_BUFFER, 0);
  }
  // LUMINANCE is legal in ES 3 too, and reads as grey with alpha 1
  // without a swizzle.
  const GLenum format = px.format == kit::PixelFormat::Gray8 ? GL_LUMINANCE : GL_RGBA;
  glTexImage2D(GL_TEXTURE_2D, 0, static_cast<GLint>(format), px.width, px.height, 0, format,
               GL_UNSIGNED_BYTE, px.data);
  const bool mipmaps = caps_.npotMipmaps || (isPowerOfTwo(px.width) && isPowerOfTwo(px.height));
  // Sizes that allow mipmaps allow repeats too.
  const bool repeats = mipmaps;
  const GLint wrap = repeats ? GL_MIRRORED_REPEAT : GL_CLAMP_TO_EDGE;
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, wrap);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, wrap);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER,
                  mipmaps ? GL_LINEAR_MIPMAP_LINEAR : GL_LINEAR);
  if (mipmaps) glGenerateMipmap(GL_TEXTURE_2D);
  if (glGetError() != GL_NO_ERROR) {
    glDeleteTextures(1, &texture);
    return {};
  }
  return {texture, px.opaque, repeats, px.width, px.height};
}

}  // namespace render
