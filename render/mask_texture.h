// Grey masks as textures: one 8-bit channel (red on OpenGL ES 3, luminance
// on 2.0), filtered linearly without mipmaps, one texture for each context
// the masks are snapshots of. A texture is brought up to date by copying
// only the samples that changed since it was last filled, so a brush
// stamp costs the stamp's rectangle, not the whole mask.
#pragma once

#include <GLES3/gl3.h>

#include <cstdint>
#include <unordered_map>
#include <vector>

#include "kit/grey_bitmap_context.h"
#include "render/gl_program.h"

namespace render {

class MaskTextures {
 public:
  // Needs the context current for every call and for destruction.
  explicit MaskTextures(const GlCapabilities& caps) : caps_(caps) {}
  ~MaskTextures();
  MaskTextures(const MaskTextures&) = delete;
  MaskTextures& operator=(const MaskTextures&) = delete;

  struct Texture {
    GLuint id = 0;
    bool white = false;  // every sample is white: the mask hides nothing
  };
  // The texture showing mask, brought up to date; id 0 when none can be
  // made (an empty mask, one larger than the largest texture, a GL
  // failure). Binds it to the active texture unit.
  Texture textureFor(const kit::GreyImage& mask);

  // Deletes the textures that no mask asked for since the last call.
  void collect();

  int size() const { return static_cast<int>(entries_.size()); }
  // Samples copied into textures so far.
  std::uint64_t uploadedSamples() const { return uploadedSamples_; }

 private:
  struct Entry {
    GLuint id = 0;
    int width = 0, height = 0;
    std::uint64_t generation = 0;
    bool used = false;
    // Known to be white everywhere. Only darkening follows a fresh mask,
    // so once false it stays so until the texture is filled afresh.
    bool white = false;
  };
  // Copies the box's samples into the bound texture; answers whether they are all white.
  bool copy(const kit::GreyImage& mask, const kit::SampleBox& box);

  GlCapabilities caps_;
  std::unordered_map<std::uint64_t, Entry> entries_;  // by the mask's source
  std::vector<std::uint8_t> scratch_;                 // rows packed for ES 2
  std::uint64_t uploadedSamples_ = 0;
};

}  // namespace render
