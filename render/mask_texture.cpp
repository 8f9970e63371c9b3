#include "render/mask_texture.h"

#include <algorithm>
#include <cstring>

namespace render {

namespace {
void clearErrors() {
  for (int i = 0; i < 16 && glGetError() != GL_NO_ERROR; ++i) {
  }
}
}  // namespace

MaskTextures::~MaskTextures() {
  for (auto& [source, entry] : entries_) glDeleteTextures(1, &entry.id);
}

bool MaskTextures::copy(const kit::GreyImage& mask, const kit::SampleBox& box) {
  const kit::Bitmap& b = mask.bitmap();
  bool white = true;
  for (int y = box.y0; y < box.y0 + box.height() && white; ++y) {
    const std::uint8_t* row = b.row(y) + box.x0;
    white = std::all_of(row, row + box.width(), [](std::uint8_t v) { return v == 255; });
  }
  const GLenum format = caps_.majorVersion >= 3 ? GL_RED : GL_LUMINANCE;
  glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
  if (caps_.majorVersion >= 3) {
    // Straight from the snapshot's rows.
    glBindBuffer(GL_PIXEL_UNPACK_BUFFER, 0);
    glPixelStorei(GL_UNPACK_ROW_LENGTH, b.width);
    glPixelStorei(GL_UNPACK_SKIP_PIXELS, box.x0);
    glPixelStorei(GL_UNPACK_SKIP_ROWS, box.y0);
    glTexSubImage2D(GL_TEXTURE_2D, 0, box.x0, box.y0, box.width(), box.height(), format,
                    GL_UNSIGNED_BYTE, b.pixels.data());
    glPixelStorei(GL_UNPACK_ROW_LENGTH, 0);
    glPixelStorei(GL_UNPACK_SKIP_PIXELS, 0);
    glPixelStorei(GL_UNPACK_SKIP_ROWS, 0);
  } else {
    // ES 2 reads whole rows only: the box's rows are packed first.
    const std::uint8_t* rows = b.row(box.y0) + box.x0;
    if (box.width() != b.width) {
      scratch_.resize(static_cast<std::size_t>(box.width()) *
                      static_cast<std::size_t>(box.height()));
      for (int y = 0; y < box.height(); ++y)
        std::memcpy(scratch_.data() + static_cast<std::size_t>(y) * box.width(),
                    b.row(box.y0 + y) + box.x0, static_cast<std::size_t>(box.width()));
      rows = scratch_.data();
    }
    glTexSubImage2D(GL_TEXTURE_2D, 0, box.x0, box.y0, box.width(), box.height(), format,
                    GL_UNSIGNED_BYTE, rows);
  }
  uploadedSamples_ +=
      static_cast<std::uint64_t>(box.width()) * static_cast<std::uint64_t>(box.height());
  return white;
}

MaskTextures::Texture MaskTextures::textureFor(const kit::GreyImage& mask) {
  const kit::Bitmap& b = mask.bitmap();
  if (b.width <= 0 || b.height <= 0 || b.width > caps_.maxTextureSize ||
      b.height > caps_.maxTextureSize || b.format != kit::PixelFormat::Gray8 ||
      b.pixels.size() < static_cast<std::size_t>(b.width) * static_cast<std::size_t>(b.height))
    return {};
  clearErrors();
  const kit::SampleBox whole{0, 0, b.width, b.height};
  auto it = entries_.find(mask.source());
  if (it != entries_.end() && (it->second.width != b.width || it->second.height != b.height)) {
    glDeleteTextures(1, &it->second.id);
    entries_.erase(it);
    it = entries_.end();
  }
  if (it == entries_.end()) {
    Entry e;
    e.width = b.width;
    e.height = b.height;
    glGenTextures(1, &e.id);
    glBindTexture(GL_TEXTURE_2D, e.id);
    const bool es3 = caps_.majorVersion >= 3;
    glTexImage2D(GL_TEXTURE_2D, 0, es3 ? GL_R8 : GL_LUMINANCE, b.width, b.height, 0,
                 es3 ? GL_RED : GL_LUMINANCE, GL_UNSIGNED_BYTE, nullptr);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_CLAMP_TO_EDGE);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_CLAMP_TO_EDGE);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
    e.white = copy(mask, whole);
    if (glGetError() != GL_NO_ERROR) {
      glDeleteTextures(1, &e.id);
      return {};
    }
    e.generation = mask.generation();
    e.used = true;
    entries_.emplace(mask.source(), e);
    return {e.id, e.white};
  }
  Entry& e = it->second;
  e.used = true;
  glBindTexture(GL_TEXTURE_2D, e.id);
  if (e.generation == mask.generation()) return {e.id, e.white};
  // An older snapshot than the texture's, or one whose history no longer
  // reaches back to it: everything again.
  const std::optional<kit::SampleBox> changed = mask.changedSince(e.generation);
  const kit::SampleBox box = changed ? *changed : whole;
  if (!box.empty()) {
    const bool white = copy(mask, box);
    e.white = box.width() == b.width && box.height() == b.height ? white : e.white && white;
  }
  if (glGetError() != GL_NO_ERROR) {
    glDeleteTextures(1, &e.id);
    entries_.erase(it);
    return {};
  }
  e.generation = mask.generation();
  return {e.id, e.white};
}

void MaskTextures::collect() {
  for (auto it = entries_.begin(); it != entries_.end();) {
    if (!it->second.used) {
      glDeleteTextures(1, &it->second.id);
      it = entries_.erase(it);
    } else {
      it->second.used = false;
      ++it;
    }
  }
}

}  // namespace render
