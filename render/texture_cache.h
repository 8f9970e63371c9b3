// One GL texture per bitmap, made the first time the bitmap is drawn and
// deleted once the bitmap has died: every image view showing the bitmap
// (all the tiles of the table) draws from the same texture.
#pragma once

#include <GLES3/gl3.h>

#include <memory>
#include <unordered_map>

#include "kit/bitmap.h"
#include "render/gl_program.h"

namespace render {

class TextureCache {
 public:
  // Needs the context current for every call and for destruction.
  explicit TextureCache(const GlCapabilities& caps) : caps_(caps) {}
  ~TextureCache();
  TextureCache(const TextureCache&) = delete;
  TextureCache& operator=(const TextureCache&) = delete;

  struct Texture {
    GLuint id = 0;
    bool opaque = false;   // every pixel has alpha 1: no blending needed
    bool repeats = false;  // addressed as mirrored repeats, not clamped
    int width = 0, height = 0;
  };

  // The bitmap's texture (mipmapped, trilinear; grey bitmaps as luminance;
  // premultiplied alpha); id 0 when there is no picture to upload.
  // Addressing is mirrored repeat wherever the context allows it for the
  // texture's size, clamped at the edges elsewhere: within the picture,
  // and at its edges, the two sample the same texels.
  Texture textureFor(const kit::BitmapRef& bitmap);

  // Deletes the textures of bitmaps that no longer exist.
  void collect();

  int size() const { return static_cast<int>(entries_.size()); }

 private:
  struct Entry {
    // Identity by owner as well as address: a new bitmap may be allocated
    // where a dead one was.
    std::weak_ptr<const kit::Bitmap> owner;
    Texture texture;
  };
  Texture upload(const kit::Bitmap& bitmap) const;

  GlCapabilities caps_;
  std::unordered_map<const kit::Bitmap*, Entry> entries_;
};

}  // namespace render
