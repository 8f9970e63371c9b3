#include "render/text_cache.h"

namespace render {

kit::BitmapRef TextCache::pictureFor(const TextStyle& style) {
  auto it = entries_.find(style);
  if (it == entries_.end())
    it = entries_.emplace(style, Entry{rasterizer_.rasterize(style), 0}).first;
  it->second.lastUsed = frame_;
  return it->second.picture;
}

void TextCache::endFrame() {
  for (auto it = entries_.begin(); it != entries_.end();)
    it = frame_ - it->second.lastUsed >= kKeepFrames ? entries_.erase(it) : std::next(it);
  ++frame_;
}

}  // namespace render
