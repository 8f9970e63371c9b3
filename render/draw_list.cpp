#include "render/draw_list.h"

#include <algorithm>
#include <cmath>
#include <numbers>
#include <typeinfo>

#include "kit/activity_indicator.h"
#include "kit/button.h"
#include "kit/drawn_view.h"
#include "kit/image_view.h"
#include "kit/label.h"

namespace render {

Affine Affine::then(const Affine& n) const {
  return {a * n.a + b * n.c, a * n.b + b * n.d,          c * n.a + d * n.c,
          c * n.b + d * n.d, tx * n.a + ty * n.c + n.tx, tx * n.b + ty * n.d + n.ty};
}

bool Affine::keepsAxes() const {
  // A float rotation by a quarter turn leaves cosines of about 1e-8.
  const double eps = 1e-6 * (std::fabs(a) + std::fabs(b) + std::fabs(c) + std::fabs(d));
  return (std::fabs(b) <= eps && std::fabs(c) <= eps) ||
         (std::fabs(a) <= eps && std::fabs(d) <= eps);
}

Box Affine::mapBox(const Box& box) const {
  const double xs[4] = {box.x0, box.x1, box.x1, box.x0}, ys[4] = {box.y0, box.y0, box.y1, box.y1};
  Box out{INFINITY, INFINITY, -INFINITY, -INFINITY};
  for (int i = 0; i < 4; ++i) {
    const double x = a * xs[i] + c * ys[i] + tx, y = b * xs[i] + d * ys[i] + ty;
    out = {std::min(out.x0, x), std::min(out.y0, y), std::max(out.x1, x), std::max(out.y1, y)};
  }
  return out;
}

std::optional<Affine> Affine::inverted() const {
  const double det = a * d - b * c;
  if (!(std::fabs(det) > 1e-300) || !std::isfinite(det)) return std::nullopt;
  const double ia = d / det, ib = -b / det, ic = -c / det, id = a / det;
  return Affine{ia, ib, ic, id, -(tx * ia + ty * ic), -(tx * ib + ty * id)};
}

Affine viewToSuperview(const kit::View& view, const kit::ViewPresentation& p) {
  const kit::Point ap = view.anchorPoint();
  const double ax = p.bounds.origin.x + static_cast<double>(ap.x) * p.bounds.size.width;
  const double ay = p.bounds.origin.y + static_cast<double>(ap.y) * p.bounds.size.height;
  return Affine::translation(-ax, -ay)
      .then(Affine::from(p.transform))
      .then(Affine::translation(p.center.x, p.center.y));
}

std::array<kit::Point, 4> orientedTexCoords(kit::ImageOrientation orientation) {
  using O = kit::ImageOrientation;
  static constexpr kit::Point kDisplay[4] = {{0, 0}, {1, 0}, {1, 1}, {0, 1}};
  std::array<kit::Point, 4> uv;
  for (int i = 0; i < 4; ++i) {
    const float x = kDisplay[i].x, y = kDisplay[i].y;
    // Where the displayed point (x, y) is found in the stored rows: the
    // same mapping as the kit uses to turn pixels upright.
    switch (orientation) {
      case O::UpMirrored: uv[i] = {1 - x, y}; break;
      case O::Down: uv[i] = {1 - x, 1 - y}; break;
      case O::DownMirrored: uv[i] = {x, 1 - y}; break;
      case O::LeftMirrored: uv[i] = {y, x}; break;
      case O::Right: uv[i] = {y, 1 - x}; break;
      case O::RightMirrored: uv[i] = {1 - y, 1 - x}; break;
      case O::Left: uv[i] = {1 - y, x}; break;
      case O::Up:
      default: uv[i] = {x, y}; break;
    }
  }
  return uv;
}

PixelRect PixelRect::intersect(const PixelRect& o) const {
  return {std::max(x0, o.x0), std::max(y0, o.y0), std::min(x1, o.x1), std::min(y1, o.y1)};
}

namespace {

constexpr float kStatusBarHeight = 20;     // points
constexpr float kStatusBarClockSize = 12;  // points
constexpr int kSpinnerSpokes = 12;
constexpr double kSpinnerTurnsPerSecond = 1;

PixelRect boxOf(const std::array<kit::Point, 4>& c) {
  PixelRect r{c[0].x, c[0].y, c[0].x, c[0].y};
  for (const kit::Point& p : c) {
    r.x0 = std::min(r.x0, p.x);
    r.y0 = std::min(r.y0, p.y);
    r.x1 = std::max(r.x1, p.x);
    r.y1 = std::max(r.y1, p.y);
  }
  return r;
}

Quad rectQuad(const Affine& m, const kit::Rect& r) {
  Quad q;
  q.corners = {m.apply(r.minX(), r.minY()), m.apply(r.maxX(), r.minY()),
               m.apply(r.maxX(), r.maxY()), m.apply(r.minX(), r.maxY())};
  q.texCoords = {kit::Point{0, 0}, {1, 0}, {1, 1}, {0, 1}};
  return q;
}

kit::Color withAlpha(kit::Color c, float alpha) {
  c.a *= alpha;
  return c;
}

class Builder {
 public:
  Builder(const FrameSettings& settings, DrawList& out) : s_(settings), out_(out) {
    clip_ = {0, 0, static_cast<float>(std::max(0, s_.viewportWidth)),
             static_cast<float>(std::max(0, s_.viewportHeight))};
  }

  void walk(const kit::View& root) {
    const kit::Rect b = root.presentation(s_.time).bounds;
    const Affine rootToPixels = Affine::translation(-b.origin.x, -b.origin.y)
                                    .then(Affine::scale(s_.pixelsPerPoint))
                                    .then(Affine::translation(s_.offsetX, s_.offsetY));
    visit(root, rootToPixels, 1, true);
    if (s_.statusBarVisible) statusBar(b, rootToPixels);
  }

 private:
  // Only what lies inside the clip is kept; false when the quad was culled.
  bool add(Quad&& q) {
    if (!boxOf(q.corners).intersects(clip_)) return false;
    DrawCommand& c = out_.commands.emplace_back();
    c.quad = std::move(q);
    ++out_.quads;
    return true;
  }

  int addText(TextStyle style) {
    // A box too large for one texture is drawn from a smaller picture.
    const int side = std::max(style.boxWidth, style.boxHeight);
    if (side > TextRasterizer::kLargestBox) {
      const float f = static_cast<float>(TextRasterizer::kLargestBox) / static_cast<float>(side);
      style.boxWidth = std::max(1, static_cast<int>(style.boxWidth * f));
      style.boxHeight = std::max(1, static_cast<int>(style.boxHeight * f));
      style.pixelSize *= f;
    }
    out_.texts.push_back(std::move(style));
    return static_cast<int>(out_.texts.size()) - 1;
  }

  TextStyle textBox(const kit::Rect& bounds, std::string text, float fontSize) const {
    TextStyle t;
    t.text = std::move(text);
    t.pixelSize = fontSize * s_.pixelsPerPoint;
    // Clamped before conversion: a vast box is scaled down to a texture's size later.
    auto pixels = [this](float points) {
      const double v = std::fabs(static_cast<double>(points) * s_.pixelsPerPoint);
      return static_cast<int>(std::lround(std::min(v, 1e6)));
    };
    t.boxWidth = pixels(bounds.size.width);
    t.boxHeight = pixels(bounds.size.height);
    return t;
  }

  // Counts toward culled views when something was wanted and nothing kept.
  struct Tally {
    int wanted = 0, kept = 0;
    void operator()(bool k) {
      ++wanted;
      kept += k;
    }
  };

  void textQuad(const Affine& m, const kit::Rect& bounds, TextStyle style, float alpha,
                Tally& tally) {
    if (style.text.empty() || style.boxWidth < 1 || style.boxHeight < 1 || !(style.pixelSize > 0))
      return;
    Quad q = rectQuad(m, bounds);
    q.source = QuadSource::Text;
    q.color = {1, 1, 1, alpha};
    if (!boxOf(q.corners).intersects(clip_)) {
      tally(false);
      return;
    }
    q.text = addText(std::move(style));
    tally(add(std::move(q)));
  }

  void spinner(const kit::ActivityIndicatorView& v, const Affine& m, const kit::Rect& b,
               float alpha, Tally& tally) {
    const double size = std::min(std::fabs(b.size.width), std::fabs(b.size.height));
    if (size <= 0) return;
    const double cx = b.midX(), cy = b.midY();
    const double inner = 0.22 * size, outer = 0.48 * size, half = 0.045 * size;
    // The bright spoke steps round once a second; the others trail behind it.
    int head = 0;
    if (v.isAnimating()) {
      const double step = std::floor(s_.time * kSpinnerTurnsPerSecond * kSpinnerSpokes);
      head = static_cast<int>(
          std::fmod(std::fmod(step, kSpinnerSpokes) + kSpinnerSpokes, kSpinnerSpokes));
    }
    for (int k = 0; k < kSpinnerSpokes; ++k) {
      const double angle = 2 * std::numbers::pi * k / kSpinnerSpokes;  // clockwise from 12 o'clock
      const double dx = std::sin(angle), dy = -std::cos(angle);
      const double px = -dy * half, py = dx * half;
      Quad q;
      q.corners = {m.apply(cx + dx * inner - px, cy + dy * inner - py),
                   m.apply(cx + dx * outer - px, cy + dy * outer - py),
                   m.apply(cx + dx * outer + px, cy + dy * outer + py),
                   m.apply(cx + dx * inner + px, cy + dy * inner + py)};
      const int behind = (head - k + kSpinnerSpokes) % kSpinnerSpokes;
      const float fade = 1.0f - 0.8f * static_cast<float>(behind) / (kSpinnerSpokes - 1);
      q.color = withAlpha(v.color, alpha * fade);
      if (q.color.a > kNothingToDraw) tally(add(std::move(q)));
    }
  }

  void content(const kit::View& v, const kit::ViewPresentation& p, const Affine& m, float alpha) {
    Tally tally;
    if (const kit::Color bg = withAlpha(p.backgroundColor, alpha); bg.a > kNothingToDraw) {
      Quad q = rectQuad(m, p.bounds);
      q.color = bg;
      tally(add(std::move(q)));
    }
    // The tile field is thousands of plain image views: the exact type is
    // asked first, casts only for kinds that may be subclassed.
    const std::type_info& type = typeid(v);
    if (type != typeid(kit::View)) kindContent(v, type, p, m, alpha, tally);
    if (tally.wanted > 0 && tally.kept == 0) ++out_.viewsCulled;
  }

  // What the view's kind draws over its background.
  void kindContent(const kit::View& v, const std::type_info& type, const kit::ViewPresentation& p,
                   const Affine& m, float alpha, Tally& tally) {
    if (const auto* iv = type == typeid(kit::ImageView) ? static_cast<const kit::ImageView*>(&v)
                                                        : dynamic_cast<const kit::ImageView*>(&v)) {
      const kit::ImageRef& image = iv->image();
      if (image && image->bitmap() && image->bitmap()->width > 0 && image->bitmap()->height > 0) {
        Quad q = rectQuad(m, p.bounds);
        // Most of a large tile field lies off the screen: cull before the rest.
        if (!boxOf(q.corners).intersects(clip_)) {
          tally(false);
          return;
        }
        q.source = QuadSource::Bitmap;
        q.bitmap = &image->bitmap();
        q.texCoords = orientedTexCoords(image->orientation());
        q.color = {1, 1, 1, alpha};
        tally(add(std::move(q)));
      }
    } else if (const auto* label = dynamic_cast<const kit::Label*>(&v)) {
      TextStyle t = textBox(p.bounds, label->text(), label->fontSize);
      t.bold = label->boldFont;
      t.color = label->textColor;
      t.alignment = label->textAlignment;
      t.maxLines = std::max(0, label->numberOfLines);
      textQuad(m, p.bounds, std::move(t), alpha, tally);
    } else if (const auto* button = dynamic_cast<const kit::Button*>(&v)) {
      TextStyle t = textBox(p.bounds, button->currentTitle(), button->fontSize);
      t.color = button->titleColor;
      t.alignment = kit::TextAlignment::Center;
      textQuad(m, p.bounds, std::move(t), alpha, tally);
    } else if (const auto* spin = dynamic_cast<const kit::ActivityIndicatorView*>(&v)) {
      spinner(*spin, m, p.bounds, alpha, tally);
    } else if (const auto* drawn = dynamic_cast<const kit::DrawnView*>(&v)) {
      for (const kit::DrawnPicture& picture : drawn->drawing())
        drawnPicture(picture, m, alpha, tally);
    }
  }

  // A picture a view drew; through its mask, only where rect and the
  // mask's rectangle meet.
  void drawnPicture(const kit::DrawnPicture& picture, const Affine& m, float alpha, Tally& tally) {
    const kit::ImageRef& image = picture.image;
    if (!image || !image->bitmap() || image->bitmap()->width <= 0 || image->bitmap()->height <= 0)
      return;
    const kit::Rect r = picture.rect;
    const std::array<kit::Point, 4> uv = orientedTexCoords(image->orientation());
    if (!picture.mask) {
      Quad q = rectQuad(m, r);
      q.source = QuadSource::Bitmap;
      q.bitmap = &image->bitmap();
      q.texCoords = uv;
      q.color = {1, 1, 1, alpha};
      tally(add(std::move(q)));
      return;
    }
    const kit::Rect k = picture.maskRect;
    const double x0 = std::max(r.minX(), k.minX()), x1 = std::min(r.maxX(), k.maxX());
    const double y0 = std::max(r.minY(), k.minY()), y1 = std::min(r.maxY(), k.maxY());
    if (!(x0 < x1 && y0 < y1) || r.size.width == 0 || r.size.height == 0 || k.size.width == 0 ||
        k.size.height == 0)
      return;
    // Where a point of the view falls on the picture and on the mask.
    auto onPicture = [&](double x, double y) {
      const double s = (x - r.minX()) / std::fabs(r.size.width),
                   t = (y - r.minY()) / std::fabs(r.size.height);
      return kit::Point{
          static_cast<float>(uv[0].x + s * (uv[1].x - uv[0].x) + t * (uv[3].x - uv[0].x)),
          static_cast<float>(uv[0].y + s * (uv[1].y - uv[0].y) + t * (uv[3].y - uv[0].y))};
    };
    auto onMask = [&](double x, double y) {
      return kit::Point{static_cast<float>((x - k.minX()) / std::fabs(k.size.width)),
                        static_cast<float>((y - k.minY()) / std::fabs(k.size.height))};
    };
    Quad q;
    const double xs[4] = {x0, x1, x1, x0}, ys[4] = {y0, y0, y1, y1};
    QuadMask qm;
    qm.mask = &picture.mask;
    for (int i = 0; i < 4; ++i) {
      q.corners[i] = m.apply(xs[i], ys[i]);
      q.texCoords[i] = onPicture(xs[i], ys[i]);
      qm.texCoords[i] = onMask(xs[i], ys[i]);
    }
    q.source = QuadSource::MaskedBitmap;
    q.bitmap = &image->bitmap();
    q.color = {1, 1, 1, alpha};
    if (!boxOf(q.corners).intersects(clip_)) {
      tally(false);
      return;
    }
    q.mask = static_cast<int>(out_.masks.size());
    out_.masks.push_back(qm);
    tally(add(std::move(q)));
  }

  void visit(const kit::View& v, const Affine& parentToPixels, float parentAlpha, bool isRoot) {
    if (v.isHidden()) return;
    ++out_.viewsVisited;
    const kit::ViewPresentation p = v.presentation(s_.time);
    if (!(p.alpha >= kInvisibleAlpha)) return;
    const Affine m = isRoot ? parentToPixels : viewToSuperview(v, p).then(parentToPixels);
    const float alpha = parentAlpha * std::min(p.alpha, 1.0f);

    // What is known of the subtree: whether any of it reaches the clip,
    // and whether its subviews are a field of tiles.
    const SubtreeFacts* facts = nullptr;
    if (!v.subviews().empty()) {
      facts = &out_.subtrees.factsOf(v, s_.time);
      if (facts->extent.empty()) return;
      if (!reachesClip(m.mapBox(facts->extent))) {
        ++out_.viewsCulled;
        return;
      }
    }

    const bool clips = v.clipsToBounds();
    if (clips) {
      // A clipping view keeps its subviews inside it, so its box decides
      // for the whole subtree.
      Quad shape = rectQuad(m, p.bounds);
      const PixelRect box = boxOf(shape.corners);
      if (!box.intersects(clip_)) {
        ++out_.viewsCulled;
        return;
      }
      DrawCommand& push = out_.commands.emplace_back();
      push.kind = DrawCommand::Kind::PushClip;
      push.quad = shape;
      push.axisAligned = m.keepsAxes();
      push.box = box;
      clipStack_.push_back({clip_, out_.commands.size() - 1});
      clip_ = clip_.intersect(box);
    }

    content(v, p, m, alpha);
    if (facts && facts->lattice)
      tileField(*facts->lattice, m, alpha);
    else
      for (const kit::ViewRef& sub : v.subviews()) visit(*sub, m, alpha, false);

    if (clips) {
      DrawCommand pop = out_.commands[clipStack_.back().push];
      pop.kind = DrawCommand::Kind::PopClip;
      out_.commands.push_back(std::move(pop));
      clip_ = clipStack_.back().outer;
      clipStack_.pop_back();
    }
  }

  bool reachesClip(const Box& pixels) const {
    return pixels.x0 < clip_.x1 && pixels.x1 > clip_.x0 && pixels.y0 < clip_.y1 &&
           pixels.y1 > clip_.y0;
  }

  // The tiles of the lattice that reach the clip, as one quad whose texture
  // coordinates count tiles.
  void tileField(const TileLattice& lattice, const Affine& m, float alpha) {
    const int tiles = lattice.columns * lattice.rows;
    const std::optional<Affine> back = m.inverted();
    if (!back) {
      out_.viewsCulled += tiles;
      return;
    }
    // The clip in the lattice's coordinates, and the tiles under its box.
    const Box seen = back->mapBox({clip_.x0, clip_.y0, clip_.x1, clip_.y1});
    auto range = [](double from, double to, double origin, double pitch, int count) {
      const double first = std::floor((from - origin) / pitch),
                   last = std::ceil((to - origin) / pitch);
      return std::pair{static_cast<int>(std::clamp(first, 0.0, double(count))),
                       static_cast<int>(std::clamp(last, 0.0, double(count)))};
    };
    const auto [i0, i1] = range(seen.x0, seen.x1, lattice.originX, lattice.pitchX, lattice.columns);
    const auto [j0, j1] = range(seen.y0, seen.y1, lattice.originY, lattice.pitchY, lattice.rows);
    if (i0 >= i1 || j0 >= j1) {
      out_.viewsCulled += tiles;
      return;
    }
    out_.viewsCulled += tiles - (i1 - i0) * (j1 - j0);
    Quad q;
    const double x0 = lattice.originX + i0 * lattice.pitchX,
                 x1 = lattice.originX + i1 * lattice.pitchX;
    const double y0 = lattice.originY + j0 * lattice.pitchY,
                 y1 = lattice.originY + j1 * lattice.pitchY;
    q.corners = {m.apply(x0, y0), m.apply(x1, y0), m.apply(x1, y1), m.apply(x0, y1)};
    const float u0 = static_cast<float>(i0 + lattice.firstFlippedX),
                u1 = static_cast<float>(i1 + lattice.firstFlippedX);
    const float v0 = static_cast<float>(j0 + lattice.firstFlippedY),
                v1 = static_cast<float>(j1 + lattice.firstFlippedY);
    q.texCoords = {kit::Point{u0, v0}, {u1, v0}, {u1, v1}, {u0, v1}};
    q.source = QuadSource::MirroredTiles;
    q.bitmap = lattice.bitmap;
    q.color = {1, 1, 1, alpha};
    add(std::move(q));
  }

  void statusBar(const kit::Rect& rootBounds, const Affine& rootToPixels) {
    const kit::Rect strip(rootBounds.origin.x, rootBounds.origin.y, rootBounds.size.width,
                          kStatusBarHeight);
    Quad q = rectQuad(rootToPixels, strip);
    q.color = kit::Color::black();
    add(std::move(q));
    Tally ignored;
    TextStyle t = textBox(strip, s_.statusBarClock, kStatusBarClockSize);
    t.bold = true;
    t.color = kit::Color::white();
    t.alignment = kit::TextAlignment::Center;
    textQuad(rootToPixels, strip, std::move(t), 1, ignored);
  }

  const FrameSettings& s_;
  DrawList& out_;
  PixelRect clip_;
  struct OpenClip {
    PixelRect outer;   // the clip around it, restored when it closes
    std::size_t push;  // its PushClip command
  };
  std::vector<OpenClip> clipStack_;
};

}  // namespace

void buildDrawList(const kit::View& root, const FrameSettings& settings, DrawList& out) {
  out.clear();
  Builder(settings, out).walk(root);
  out.subtrees.endFrame();
}

}  // namespace render
