#include "bench/cairo_reference.h"

#if VITRANE_HAVE_CAIRO

#include <cairo.h>

#include <algorithm>
#include <cstring>
#include <unordered_map>

namespace bench {

struct CairoReference::Impl {
  cairo_surface_t* target = nullptr;
  cairo_t* cr = nullptr;
  struct Source {
    cairo_surface_t* surface;
    cairo_pattern_t* pattern;
    int width, height;
  };
  std::unordered_map<const kit::Bitmap*, Source> sources;

  ~Impl() {
    for (auto& [bitmap, s] : sources) {
      cairo_pattern_destroy(s.pattern);
      cairo_surface_destroy(s.surface);
    }
    if (cr) cairo_destroy(cr);
    if (target) cairo_surface_destroy(target);
  }

  // Cairo's ARGB32 is premultiplied, one native-endian word a pixel.
  Source& sourceFor(const kit::Bitmap& b) {
    if (auto it = sources.find(&b); it != sources.end()) return it->second;
    cairo_surface_t* s = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, b.width, b.height);
    cairo_surface_flush(s);
    unsigned char* data = cairo_image_surface_get_data(s);
    const int stride = cairo_image_surface_get_stride(s);
    for (int y = 0; y < b.height; ++y) {
      auto* out = reinterpret_cast<std::uint32_t*>(data + static_cast<std::ptrdiff_t>(stride) * y);
      const std::uint8_t* in = b.row(y);
      for (int x = 0; x < b.width; ++x) {
        std::uint32_t r, g, bl, a;
        if (b.format == kit::PixelFormat::Gray8) {
          r = g = bl = in[x];
          a = 255;
        } else {
          a = in[x * 4 + 3];
          r = (in[x * 4] * a + 127) / 255;
          g = (in[x * 4 + 1] * a + 127) / 255;
          bl = (in[x * 4 + 2] * a + 127) / 255;
        }
        out[x] = (a << 24) | (r << 16) | (g << 8) | bl;
      }
    }
    cairo_surface_mark_dirty(s);
    cairo_pattern_t* p = cairo_pattern_create_for_surface(s);
    cairo_pattern_set_filter(p, CAIRO_FILTER_BILINEAR);
    cairo_pattern_set_extend(p, CAIRO_EXTEND_PAD);  // as GL's clamp to edge
    return sources.emplace(&b, Source{s, p, b.width, b.height}).first->second;
  }

  void path(const render::Quad& q) {
    cairo_new_path(cr);
    cairo_move_to(cr, q.corners[0].x, q.corners[0].y);
    for (int i = 1; i < 4; ++i) cairo_line_to(cr, q.corners[i].x, q.corners[i].y);
    cairo_close_path(cr);
  }

  void picture(const render::Quad& q) {
    const kit::Bitmap& b = **q.bitmap;
    Source& s = sourceFor(b);
    // The unit square of the displayed picture to pixels, and to texels;
    // the pattern wants pixels to texels.
    const auto& c = q.corners;
    const auto& t = q.texCoords;
    cairo_matrix_t toPixels, toTexels, m;
    cairo_matrix_init(&toPixels, c[1].x - c[0].x, c[1].y - c[0].y, c[3].x - c[0].x, c[3].y - c[0].y,
                      c[0].x, c[0].y);
    cairo_matrix_init(&toTexels, (t[1].x - t[0].x) * s.width, (t[1].y - t[0].y) * s.height,
                      (t[3].x - t[0].x) * s.width, (t[3].y - t[0].y) * s.height, t[0].x * s.width,
                      t[0].y * s.height);
    if (cairo_matrix_invert(&toPixels) != CAIRO_STATUS_SUCCESS) return;
    cairo_matrix_multiply(&m, &toPixels, &toTexels);
    cairo_pattern_set_matrix(s.pattern, &m);
    cairo_set_source(cr, s.pattern);
    path(q);
    if (q.color.a >= 0.999f) {
      cairo_fill(cr);
    } else {
      cairo_save(cr);
      cairo_clip(cr);
      cairo_paint_with_alpha(cr, q.color.a);
      cairo_restore(cr);
    }
  }
};

CairoReference::CairoReference(int width, int height) : impl_(std::make_unique<Impl>()) {
  impl_->target = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, width, height);
  impl_->cr = cairo_create(impl_->target);
  cairo_set_antialias(impl_->cr, CAIRO_ANTIALIAS_NONE);
}

CairoReference::~CairoReference() = default;

void CairoReference::draw(const render::DrawList& list) {
  cairo_t* cr = impl_->cr;
  cairo_save(cr);
  cairo_set_source_rgb(cr, 0, 0, 0);
  cairo_paint(cr);
  for (const render::DrawCommand& c : list.commands) {
    switch (c.kind) {
      case render::DrawCommand::Kind::PushClip:
        cairo_save(cr);
        impl_->path(c.quad);
        cairo_clip(cr);
        break;
      case render::DrawCommand::Kind::PopClip: cairo_restore(cr); break;
      case render::DrawCommand::Kind::Quad:
        if (c.quad.source == render::QuadSource::Solid) {
          cairo_set_source_rgba(cr, c.quad.color.r, c.quad.color.g, c.quad.color.b, c.quad.color.a);
          impl_->path(c.quad);
          cairo_fill(cr);
        } else if (c.quad.source == render::QuadSource::Bitmap && c.quad.bitmap && *c.quad.bitmap) {
          impl_->picture(c.quad);
        } else if (c.quad.source == render::QuadSource::MirroredTiles && c.quad.bitmap &&
                   *c.quad.bitmap) {
          // Tile by tile, those over the surface only, as the field was drawn
          // before it was one quad.
          const double w = cairo_image_surface_get_width(impl_->target);
          const double h = cairo_image_surface_get_height(impl_->target);
          render::forEachMirroredTile(c.quad, [&](const render::Quad& tile) {
            float x0 = tile.corners[0].x, y0 = tile.corners[0].y, x1 = x0, y1 = y0;
            for (const kit::Point& p : tile.corners) {
              x0 = std::min(x0, p.x), y0 = std::min(y0, p.y), x1 = std::max(x1, p.x),
              y1 = std::max(y1, p.y);
            }
            if (x0 < w && x1 > 0 && y0 < h && y1 > 0) impl_->picture(tile);
          });
        }
        break;
    }
  }
  cairo_restore(cr);
  cairo_surface_flush(impl_->target);
}

kit::Bitmap CairoReference::pixels() const {
  cairo_surface_t* s = impl_->target;
  const int w = cairo_image_surface_get_width(s), h = cairo_image_surface_get_height(s);
  const int stride = cairo_image_surface_get_stride(s);
  const unsigned char* data = cairo_image_surface_get_data(s);
  kit::Bitmap out = kit::Bitmap::make(w, h, kit::PixelFormat::RGBA8);
  for (int y = 0; y < h; ++y) {
    const auto* in =
        reinterpret_cast<const std::uint32_t*>(data + static_cast<std::ptrdiff_t>(stride) * y);
    std::uint8_t* o = out.row(y);
    for (int x = 0; x < w; ++x) {
      const std::uint32_t p = in[x];
      const std::uint32_t a = p >> 24;
      auto un = [a](std::uint32_t v) {
        return static_cast<std::uint8_t>(a ? std::min(255u, (v * 255 + a / 2) / a) : 0);
      };
      o[x * 4] = un((p >> 16) & 255);
      o[x * 4 + 1] = un((p >> 8) & 255);
      o[x * 4 + 2] = un(p & 255);
      o[x * 4 + 3] = static_cast<std::uint8_t>(a);
    }
  }
  return out;
}

}  // namespace bench

#endif
