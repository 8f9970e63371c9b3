// Rasterised text packed into one texture, so that the titles of a panel's
// buttons and its labels are drawn from one texture, in one draw call,
// instead of one texture and one call a title.
#pragma once

#include <GLES3/gl3.h>

#include <memory>
#include <unordered_map>

#include "kit/bitmap.h"
#include "render/gl_program.h"

namespace render {

class TextAtlas {
 public:
  static constexpr int kSide = 1024;
  // A picture of more texels than this keeps a texture of its own: a few
  // large ones would leave no room for the many small ones. (A panel's
  // paragraph of text fits; a screenful does not.)
  static constexpr int kLargestArea = kSide * kSide / 8;

  // Needs the context current for every call and for destruction.
  explicit TextAtlas(const GlCapabilities& caps) : caps_(caps) {}
  ~TextAtlas();
  TextAtlas(const TextAtlas&) = delete;
  TextAtlas& operator=(const TextAtlas&) = delete;

  // Where a picture lies in the atlas: texture coordinates of its top-left
  // and bottom-right corners. Texture 0: it is not in the atlas (too
  // large, no room left this frame, or the context refused).
  struct Slot {
    GLuint texture = 0;
    float u0 = 0, v0 = 0, u1 = 0, v1 = 0;
    bool opaque = false;
  };
  Slot slotFor(const kit::BitmapRef& picture);

  // After each frame: once the atlas has run out of room, it is emptied
  // and filled again with what the next frames show, so pictures that are
  // gone stop taking room. When one frame's text alone fills it, it is
  // left as it is for a while (the rest keep textures of their own)
  // rather than uploaded again every frame.
  void endFrame();
  static constexpr int kFramesBeforeEmptyingAgain = 60;

  int pictures() const { return static_cast<int>(entries_.size()); }
  GLuint texture() const { return texture_; }

 private:
  struct Entry {
    std::weak_ptr<const kit::Bitmap> owner;
    Slot slot;
  };
  bool makeTexture();
  Slot place(const kit::Bitmap& picture);
  void empty();

  GlCapabilities caps_;
  GLuint texture_ = 0;
  bool refused_ = false;
  std::unordered_map<const kit::Bitmap*, Entry> entries_;
  // Shelves from the top: the cursor on the current one, and its height.
  int x_ = 0, y_ = 0, shelfHeight_ = 0;
  bool full_ = false;
  int framesSinceEmptied_ = 0;
};

}  // namespace render
