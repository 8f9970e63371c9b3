// The reference the compositor's speed is judged against: the same draw
// list rasterised on the CPU by Cairo's image surface, pictures with the
// bilinear filter, edges without antialiasing (as GL draws them, so that
// neighbouring tiles meet without conflation seams).
#pragma once

#if VITRANE_HAVE_CAIRO

#include <memory>

#include "kit/bitmap.h"
#include "render/draw_list.h"

namespace bench {

class CairoReference {
 public:
  CairoReference(int width, int height);
  ~CairoReference();
  CairoReference(const CairoReference&) = delete;
  CairoReference& operator=(const CairoReference&) = delete;

  // Solid and picture quads and clips; text is left out. A bitmap is
  // converted to Cairo's pixel format the first time it is drawn.
  void draw(const render::DrawList& list);
  // The picture, straight-alpha RGBA, for looking at.
  kit::Bitmap pixels() const;

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

}  // namespace bench

#endif
