#include "render/compositor.h"

#include <GLES3/gl3.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <optional>
#include <vector>

#include "render/draw_list.h"
#include "render/gl_program.h"
#include "render/mask_texture.h"
#include "render/text_cache.h"
#include "render/sampling.h"
#include "render/text_atlas.h"
#include "render/texture_cache.h"

namespace render {

namespace {

// Sixteen-bit indices reach 65536 vertices: 16384 quads a draw call.
constexpr int kMaxQuadsPerDraw = 16384;

struct Vertex {
  float x, y, u, v;
  std::uint8_t rgba[4];  // premultiplied
};
static_assert(sizeof(Vertex) == 20);

// Pictures seen through a grey mask also carry where they fall on it; they
// are few, so they keep their own buffer and leave the common vertex small.
struct MaskedVertex {
  float x, y, u, v;
  std::uint8_t rgba[4];  // premultiplied
  float maskU, maskV;
};
static_assert(sizeof(MaskedVertex) == 28);

std::uint8_t unit(float v) {
  return static_cast<std::uint8_t>(std::lround(std::clamp(v, 0.0f, 1.0f) * 255));
}

struct Op {
  enum class Kind { Draw, PushScissor, PopScissor, PushStencil, PopStencil } kind = Kind::Draw;
  GLuint texture = 0;                       // 0: a solid fill
  bool blend = true;                        // false where everything drawn is opaque
  Sampling sampling = Sampling::Trilinear;  // where the context has samplers
  GLuint mask = 0;    // a grey mask the texture is seen through; its quads are masked vertices
  int firstQuad = 0;  // into the frame's vertices (or masked vertices), four a quad
  int quads = 0;
  PixelRect box;               // clips: the clip's; draws: around every quad
  double opaqueArea = 0;       // draws: the pixels its opaque quads cover
  std::vector<Vertex> staged;  // the quads until the frame's vertices are laid out
  // Draws: each quad's box while there are few (a panel's buttons); a
  // field of many is known by the box around all.
  std::vector<PixelRect> boxes;

  static Op draw(GLuint texture, bool blend, Sampling sampling, const PixelRect& box) {
    Op op;
    op.texture = texture;
    op.blend = blend;
    op.sampling = sampling;
    op.box = box;
    return op;
  }
  static Op clip(Kind kind, const PixelRect& box) {
    Op op;
    op.kind = kind;
    op.blend = false;
    op.sampling = Sampling::Smooth;
    op.box = box;
    return op;
  }
};

// How far back a quad looks for a draw call it can join, and how many
// quads' boxes a call keeps.
constexpr int kJoinLookBack = 16;
// The most of the viewport opaque quads may cover in a blended call.
constexpr double kOpaqueShareOfBlendedCall = 0.25;
constexpr std::size_t kBoxesKept = 32;

// What a quad is filled from, and whether it covers what lies below.
struct Fill {
  bool drawable = false;
  GLuint texture = 0;
  bool opaque = false;
  GLuint mask = 0;
  bool repeats = false;       // the texture is addressed as mirrored repeats
  int width = 0, height = 0;  // the texture's
  // From the text atlas: the quad's texture coordinates map into this
  // part of it, and it has no mipmaps.
  std::optional<TextAtlas::Slot> atlas;
};

PixelRect boxOf(const Quad& q) {
  PixelRect box{q.corners[0].x, q.corners[0].y, q.corners[0].x, q.corners[0].y};
  for (const kit::Point& p : q.corners) {
    box.x0 = std::min(box.x0, p.x), box.y0 = std::min(box.y0, p.y);
    box.x1 = std::max(box.x1, p.x), box.y1 = std::max(box.y1, p.y);
  }
  return box;
}

PixelRect unite(const PixelRect& a, const PixelRect& b) {
  return {std::min(a.x0, b.x0), std::min(a.y0, b.y0), std::max(a.x1, b.x1), std::max(a.y1, b.y1)};
}

// Boxes that only touch do not overlap: neighbouring quads meet exactly.
bool overlap(const PixelRect& a, const PixelRect& b) {
  return a.x0 < b.x1 && b.x0 < a.x1 && a.y0 < b.y1 && b.y0 < a.y1;
}

bool overlap(const Op& op, const PixelRect& box) {
  if (!overlap(op.box, box)) return false;
  if (op.boxes.size() != static_cast<std::size_t>(op.quads)) return true;
  return std::any_of(op.boxes.begin(), op.boxes.end(),
                     [&](const PixelRect& b) { return overlap(b, box); });
}

// Whether the quad is an upright rectangle over the whole viewport.
bool coversViewport(const Quad& q, int width, int height) {
  constexpr float kSlack = 1e-3f;
  const auto& c = q.corners;
  const bool upright =
      (std::fabs(c[0].y - c[1].y) <= kSlack && std::fabs(c[1].x - c[2].x) <= kSlack &&
       std::fabs(c[2].y - c[3].y) <= kSlack && std::fabs(c[3].x - c[0].x) <= kSlack) ||
      (std::fabs(c[0].x - c[1].x) <= kSlack && std::fabs(c[1].y - c[2].y) <= kSlack &&
       std::fabs(c[2].x - c[3].x) <= kSlack && std::fabs(c[3].y - c[0].y) <= kSlack);
  if (!upright) return false;
  float x0 = c[0].x, y0 = c[0].y, x1 = c[0].x, y1 = c[0].y;
  for (const kit::Point& p : c) {
    x0 = std::min(x0, p.x), y0 = std::min(y0, p.y), x1 = std::max(x1, p.x), y1 = std::max(y1, p.y);
  }
  return x0 <= kSlack && y0 <= kSlack && x1 >= width - kSlack && y1 >= height - kSlack;
}

struct ScissorBox {
  int x0, y0, x1, y1;  // pixels, y down
  bool operator==(const ScissorBox&) const = default;
};

}  // namespace

struct Compositor::Impl {
  GlCapabilities caps;
  QuadProgram textured{caps.majorVersion, true};
  QuadProgram solid{caps.majorVersion, false};
  QuadProgram masked{caps.majorVersion, QuadFill::Masked};
  TextureCache textures{caps};
  MaskTextures masks{caps};
  TextRasterizer rasterizer;
  TextCache texts{rasterizer};
  TextAtlas atlas{caps};
  GLuint vertexBuffer = 0;
  GLuint indexBuffer = 0;
  GLuint maskedVertexBuffer = 0;
  // ES 3: the textures' addressing with and without their mipmaps.
  GLuint smoothSampler = 0;
  GLuint levelSampler = 0;
  GLuint mipmapSampler = 0;
  bool warnedAboutText = false;
  int quadsHidden = 0;
  int quadsFolded = 0;

  DrawList list;
  std::vector<Vertex> vertices;
  std::vector<MaskedVertex> maskedVertices;
  std::vector<Op> ops;
  PixelRect viewport;  // this frame's, from the origin

  explicit Impl(GlCapabilities c) : caps(c) {
    std::vector<GLushort> indices;
    indices.reserve(static_cast<std::size_t>(kMaxQuadsPerDraw) * 6);
    for (int q = 0; q < kMaxQuadsPerDraw; ++q) {
      const auto b = static_cast<GLushort>(q * 4);
      for (GLushort i : {b, GLushort(b + 1), GLushort(b + 2), b, GLushort(b + 2), GLushort(b + 3)})
        indices.push_back(i);
    }
    glGenBuffers(1, &vertexBuffer);
    glGenBuffers(1, &indexBuffer);
    glGenBuffers(1, &maskedVertexBuffer);
    glBindBuffer(GL_ELEMENT_ARRAY_BUFFER, indexBuffer);
    glBufferData(GL_ELEMENT_ARRAY_BUFFER,
                 static_cast<GLsizeiptr>(indices.size() * sizeof(GLushort)), indices.data(),
                 GL_STATIC_DRAW);
    if (usesSamplers()) {
      for (GLuint* sampler : {&smoothSampler, &levelSampler, &mipmapSampler}) {
        glGenSamplers(1, sampler);
        glSamplerParameteri(*sampler, GL_TEXTURE_WRAP_S, GL_MIRRORED_REPEAT);
        glSamplerParameteri(*sampler, GL_TEXTURE_WRAP_T, GL_MIRRORED_REPEAT);
        glSamplerParameteri(*sampler, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
      }
      glSamplerParameteri(smoothSampler, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
      glSamplerParameteri(levelSampler, GL_TEXTURE_MIN_FILTER, GL_LINEAR_MIPMAP_NEAREST);
      glSamplerParameteri(mipmapSampler, GL_TEXTURE_MIN_FILTER, GL_LINEAR_MIPMAP_LINEAR);
    }
  }

  ~Impl() {
    glDeleteBuffers(1, &vertexBuffer);
    glDeleteBuffers(1, &indexBuffer);
    glDeleteBuffers(1, &maskedVertexBuffer);
    if (usesSamplers()) {
      glDeleteSamplers(1, &smoothSampler);
      glDeleteSamplers(1, &levelSampler);
      glDeleteSamplers(1, &mipmapSampler);
    }
  }

  // Every ES 3 texture can repeat and has mipmaps; ES 2 has no samplers.
  bool usesSamplers() const { return caps.majorVersion >= 3; }

  Fill fillOf(const Quad& q) {
    auto picture = [](TextureCache::Texture t) {
      return Fill{t.id != 0, t.id, t.opaque, 0, t.repeats, t.width, t.height, std::nullopt};
    };
    switch (q.source) {
      case QuadSource::Solid: return {true, 0, true, 0, false, 0, 0, std::nullopt};
      case QuadSource::Bitmap:
      case QuadSource::MirroredTiles:
        return q.bitmap ? picture(textures.textureFor(*q.bitmap)) : Fill{};
      case QuadSource::Text: {
        const kit::BitmapRef text = texts.pictureFor(list.texts[static_cast<std::size_t>(q.text)]);
        if (!text && !rasterizer.error().empty() && !warnedAboutText) {
          std::fprintf(stderr, "vitrane: text is not drawn: %s\n", rasterizer.error().c_str());
          warnedAboutText = true;
        }
        if (const TextAtlas::Slot slot = atlas.slotFor(text); slot.texture) {
          return Fill{true,  slot.texture,     slot.opaque,      0,
                      false, TextAtlas::kSide, TextAtlas::kSide, slot};
        }
        return picture(textures.textureFor(text));
      }
      case QuadSource::MaskedBitmap: {
        if (!q.bitmap) return {};
        Fill fill = picture(textures.textureFor(*q.bitmap));
        const QuadMask& m = list.masks[static_cast<std::size_t>(q.mask)];
        // A mask that cannot be a texture leaves the picture whole.
        if (fill.drawable && m.mask && *m.mask) {
          const MaskTextures::Texture mask = masks.textureFor(**m.mask);
          fill.mask = mask.id;
          fill.opaque = fill.opaque && mask.white;
        }
        return fill;
      }
    }
    return {};
  }

  void appendMaskedQuad(const Quad& q, std::vector<MaskedVertex>& out) const {
    const float a = std::clamp(q.color.a, 0.0f, 1.0f);
    const std::uint8_t rgba[4] = {unit(q.color.r * a), unit(q.color.g * a), unit(q.color.b * a),
                                  unit(a)};
    const QuadMask& m = list.masks[static_cast<std::size_t>(q.mask)];
    for (int i = 0; i < 4; ++i) {
      MaskedVertex& v = out.emplace_back();
      v.x = q.corners[i].x;
      v.y = q.corners[i].y;
      v.u = q.texCoords[i].x;
      v.v = q.texCoords[i].y;
      std::copy(rgba, rgba + 4, v.rgba);
      v.maskU = m.texCoords[i].x;
      v.maskV = m.texCoords[i].y;
    }
  }

  static void appendQuad(const Quad& q, std::vector<Vertex>& out) {
    const float a = std::clamp(q.color.a, 0.0f, 1.0f);
    const std::uint8_t rgba[4] = {unit(q.color.r * a), unit(q.color.g * a), unit(q.color.b * a),
                                  unit(a)};
    for (int i = 0; i < 4; ++i) {
      Vertex& v = out.emplace_back();
      v.x = q.corners[i].x;
      v.y = q.corners[i].y;
      v.u = q.texCoords[i].x;
      v.v = q.texCoords[i].y;
      std::copy(rgba, rgba + 4, v.rgba);
    }
  }

  // Where drawing starts: at the last opaque quad that covers the whole
  // viewport within clips that do not cut it, since nothing before it can
  // be seen. The clips still open there are opened first.
  //
  // Above such a quad, a translucent black one over the whole viewport (a
  // shadow, a dimming) only darkens everything under it, which is opaque:
  // it is folded into the colours of the quads it covers, which come out
  // the same, and spares the rasteriser a pass over every pixel.
  struct Darkening {
    std::size_t command = 0;
    float keep = 1;  // the share of the colour below that shows through
  };
  struct Start {
    std::size_t command = 0;
    std::vector<std::size_t> openClips;  // their PushClip commands
    std::vector<Darkening> darkenings;   // after command, in order
  };
  Start firstSeenCommand(int width, int height) {
    Start start;
    bool covered = false;
    std::vector<std::size_t> open;
    int cutting = 0;  // open clips that do not hold the whole viewport
    std::vector<bool> cuts;
    for (std::size_t i = 0; i < list.commands.size(); ++i) {
      const DrawCommand& c = list.commands[i];
      if (c.kind == DrawCommand::Kind::PushClip) {
        const bool cut =
            !c.axisAligned || c.box.x0 > 0 || c.box.y0 > 0 || c.box.x1 < width || c.box.y1 < height;
        open.push_back(i);
        cuts.push_back(cut);
        cutting += cut;
        continue;
      }
      if (c.kind == DrawCommand::Kind::PopClip) {
        if (open.empty()) continue;
        cutting -= cuts.back();
        open.pop_back();
        cuts.pop_back();
        continue;
      }
      if (cutting != 0 || !coversViewport(c.quad, width, height)) continue;
      const kit::Color& color = c.quad.color;
      if (covered && c.quad.source == QuadSource::Solid && color.r == 0 && color.g == 0 &&
          color.b == 0 && color.a < 1) {
        start.darkenings.push_back({i, 1 - std::max(color.a, 0.0f)});
        continue;
      }
      if (color.a < 1) continue;
      const Fill fill = fillOf(c.quad);
      if (fill.drawable && fill.opaque) {
        start = {i, open, {}};
        covered = true;
      }
    }
    return start;
  }

  // An opaque quad blended over anything gives itself, so a call may mix
  // opaque and blended quads; but blending makes the rasteriser read every
  // pixel back, so the opaque share of such a call is kept small (the
  // buttons on a translucent panel, not the table under it).
  bool mayShareBlending(const Op& op, bool blend, double area) const {
    if (op.blend == blend) return true;
    return op.opaqueArea + (blend ? 0 : area) <= opaqueAreaLimit();
  }
  double opaqueAreaLimit() const { return kOpaqueShareOfBlendedCall * viewport.x1 * viewport.y1; }
  // Pixels of the box on the viewport.
  double areaSeen(const PixelRect& box) const {
    const PixelRect seen = box.intersect(viewport);
    return seen.empty() ? 0.0 : double(seen.x1 - seen.x0) * (seen.y1 - seen.y0);
  }

  // Joins the nearest draw call with the same texture and state, when
  // none drawn after that one overlaps the quad (drawing it earlier then
  // changes no pixel), within the same clips; else starts a call.
  void addQuad(const Quad& given, const Fill& fill) {
    Quad q = given;
    if (const auto& slot = fill.atlas)
      for (kit::Point& uv : q.texCoords)
        uv = {slot->u0 + uv.x * (slot->u1 - slot->u0), slot->v0 + uv.y * (slot->v1 - slot->v0)};
    // Blending reads the framebuffer back; opaque quads need not.
    const bool blend = !fill.opaque || unit(std::clamp(q.color.a, 0.0f, 1.0f)) != 255;
    const Sampling sampling = fill.texture && !fill.atlas && usesSamplers()
                                  ? samplingFor(q, fill.width, fill.height)
                                  : Sampling::Smooth;
    const PixelRect box = boxOf(q);
    const double area = areaSeen(box);
    Op* target = nullptr;
    int looked = 0;
    for (auto it = ops.rbegin();
         it != ops.rend() && it->kind == Op::Kind::Draw && looked < kJoinLookBack; ++it, ++looked) {
      if (!it->mask && it->texture == fill.texture && it->sampling == sampling &&
          it->quads < kMaxQuadsPerDraw && mayShareBlending(*it, blend, area)) {
        target = &*it;
        target->blend = target->blend || blend;
        break;
      }
      if (overlap(*it, box)) break;
    }
    if (!target) target = &ops.emplace_back(Op::draw(fill.texture, blend, sampling, box));
    appendQuad(q, target->staged);
    if (!blend) target->opaqueArea += area;
    target->box = unite(target->box, box);
    if (target->boxes.size() == static_cast<std::size_t>(target->quads) &&
        target->boxes.size() < kBoxesKept)
      target->boxes.push_back(box);
    ++target->quads;
  }

  // Each call's quads together, in the order of the calls.
  void layOutVertices() {
    vertices.clear();
    for (Op& op : ops) {
      if (op.mask || op.staged.empty()) continue;
      op.firstQuad = static_cast<int>(vertices.size() / 4);
      vertices.insert(vertices.end(), op.staged.begin(), op.staged.end());
    }
  }

  // One command of the list as draw calls and clip changes; openClips: the
  // kinds of the clips open so far.
  void addCommand(const DrawCommand& c, std::vector<Op::Kind>& openClips) {
    switch (c.kind) {
      case DrawCommand::Kind::Quad: {
        const Fill fill = fillOf(c.quad);
        if (!fill.drawable) break;
        if (fill.mask) {
          // Each on its own: it binds its own mask.
          Op& op =
              ops.emplace_back(Op::draw(fill.texture, true, Sampling::Trilinear, boxOf(c.quad)));
          op.mask = fill.mask;
          op.firstQuad = static_cast<int>(maskedVertices.size() / 4);
          op.quads = 1;
          appendMaskedQuad(c.quad, maskedVertices);
          break;
        }
        if (c.quad.source == QuadSource::MirroredTiles && !fill.repeats)
          forEachMirroredTile(c.quad, [&](const Quad& tile) { addQuad(tile, fill); });
        else
          addQuad(c.quad, fill);
        break;
      }
      case DrawCommand::Kind::PushClip: {
        // Without a stencil buffer a turned clip falls back to its box.
        const bool stencil = !c.axisAligned && caps.stencilBits > 0;
        Op op = Op::clip(stencil ? Op::Kind::PushStencil : Op::Kind::PushScissor, c.box);
        if (stencil) appendQuad(c.quad, op.staged);
        openClips.push_back(op.kind);
        ops.push_back(op);
        break;
      }
      case DrawCommand::Kind::PopClip: {
        if (openClips.empty()) break;
        const bool stencil = openClips.back() == Op::Kind::PushStencil;
        openClips.pop_back();
        Op op = Op::clip(stencil ? Op::Kind::PopStencil : Op::Kind::PopScissor, c.box);
        if (stencil) appendQuad(c.quad, op.staged);
        ops.push_back(op);
        break;
      }
    }
  }

  // The draw list as vertices and a sequence of draw calls and clip changes;
  // neighbouring quads on one texture share a call.
  void prepare(int width, int height) {
    vertices.clear();
    maskedVertices.clear();
    ops.clear();
    quadsHidden = 0;
    viewport = {0, 0, static_cast<float>(width), static_cast<float>(height)};
    std::vector<Op::Kind> openClips;
    const Start start = firstSeenCommand(width, height);
    for (std::size_t i = 0; i < start.command; ++i)
      quadsHidden += list.commands[i].kind == DrawCommand::Kind::Quad;
    std::vector<std::size_t> order = start.openClips;
    for (std::size_t i = start.command; i < list.commands.size(); ++i) order.push_back(i);
    // keeps[k]: how much of a colour shows through the darkenings from k on.
    std::vector<float> keeps(start.darkenings.size() + 1, 1.0f);
    for (std::size_t k = start.darkenings.size(); k-- > 0;)
      keeps[k] = keeps[k + 1] * start.darkenings[k].keep;
    quadsFolded = static_cast<int>(start.darkenings.size());
    std::size_t next = 0;  // the next darkening
    for (std::size_t i : order) {
      const DrawCommand& c = list.commands[i];
      if (next < start.darkenings.size() && start.darkenings[next].command == i) {
        ++next;  // in the colours of what came before it
        continue;
      }
      if (keeps[next] == 1 || c.kind != DrawCommand::Kind::Quad) {
        addCommand(c, openClips);
        continue;
      }
      DrawCommand darkened = c;
      kit::Color& color = darkened.quad.color;
      color = {color.r * keeps[next], color.g * keeps[next], color.b * keeps[next], color.a};
      addCommand(darkened, openClips);
    }
    layOutVertices();
  }

  void pointAttributesAt(int firstQuad) const {
    const auto base = static_cast<std::uintptr_t>(firstQuad) * 4 * sizeof(Vertex);
    glVertexAttribPointer(QuadProgram::kPosition, 2, GL_FLOAT, GL_FALSE, sizeof(Vertex),
                          reinterpret_cast<const void*>(base));
    glVertexAttribPointer(QuadProgram::kTexCoord, 2, GL_FLOAT, GL_FALSE, sizeof(Vertex),
                          reinterpret_cast<const void*>(base + 8));
    glVertexAttribPointer(QuadProgram::kColor, 4, GL_UNSIGNED_BYTE, GL_TRUE, sizeof(Vertex),
                          reinterpret_cast<const void*>(base + 16));
  }

  int submit(const FrameSettings& s) {
    const int width = std::max(0, s.viewportWidth), height = std::max(0, s.viewportHeight);
    int drawCalls = 0;
    // Nothing is assumed of the state others left: the first draw sets all.
    const QuadProgram* program = nullptr;
    GLuint bound = 0;
    GLuint sampler = 0;
    int blending = -1;
    int pointedAt = -1;  // the quad the vertex attributes start at
    auto sampleWith = [&](Sampling sampling) {
      const GLuint wanted = sampling == Sampling::Smooth     ? smoothSampler
                            : sampling == Sampling::OneLevel ? levelSampler
                                                             : mipmapSampler;
      if (usesSamplers() && wanted != sampler) glBindSampler(0, sampler = wanted);
    };
    auto drawQuads = [&](GLuint texture, bool blend, Sampling sampling, int first, int count) {
      const QuadProgram* wanted = texture ? &textured : &solid;
      if (wanted != program) (program = wanted)->use(std::max(1, width), std::max(1, height));
      if (texture && texture != bound) glBindTexture(GL_TEXTURE_2D, bound = texture);
      if (texture) sampleWith(sampling);
      if (static_cast<int>(blend) != blending) {
        blending = blend;
        blend ? glEnable(GL_BLEND) : glDisable(GL_BLEND);
      }
      // The index buffer reaches kMaxQuadsPerDraw quads from where the
      // attributes point; they are moved only when a call lies beyond that,
      // as a driver checks its vertex layout again after every move.
      if (pointedAt < 0 || first < pointedAt || first + count > pointedAt + kMaxQuadsPerDraw)
        pointAttributesAt(pointedAt = first);
      const auto offset = static_cast<std::uintptr_t>(first - pointedAt) * 6 * sizeof(GLushort);
      glDrawElements(GL_TRIANGLES, count * 6, GL_UNSIGNED_SHORT,
                     reinterpret_cast<const void*>(offset));
      ++drawCalls;
    };
    // The picture on unit 0, its mask on unit 1, from the masked vertices.
    auto drawMasked = [&](const Op& op) {
      if (program != &masked) (program = &masked)->use(std::max(1, width), std::max(1, height));
      glActiveTexture(GL_TEXTURE1);
      glBindTexture(GL_TEXTURE_2D, op.mask);
      glActiveTexture(GL_TEXTURE0);
      glBindTexture(GL_TEXTURE_2D, bound = op.texture);
      sampleWith(op.sampling);
      if (blending != 1) {
        blending = 1;
        glEnable(GL_BLEND);
      }
      glBindBuffer(GL_ARRAY_BUFFER, maskedVertexBuffer);
      const auto base = static_cast<std::uintptr_t>(op.firstQuad) * 4 * sizeof(MaskedVertex);
      glVertexAttribPointer(QuadProgram::kPosition, 2, GL_FLOAT, GL_FALSE, sizeof(MaskedVertex),
                            reinterpret_cast<const void*>(base));
      glVertexAttribPointer(QuadProgram::kTexCoord, 2, GL_FLOAT, GL_FALSE, sizeof(MaskedVertex),
                            reinterpret_cast<const void*>(base + 8));
      glVertexAttribPointer(QuadProgram::kColor, 4, GL_UNSIGNED_BYTE, GL_TRUE, sizeof(MaskedVertex),
                            reinterpret_cast<const void*>(base + 16));
      glVertexAttribPointer(QuadProgram::kMaskCoord, 2, GL_FLOAT, GL_FALSE, sizeof(MaskedVertex),
                            reinterpret_cast<const void*>(base + 20));
      glEnableVertexAttribArray(QuadProgram::kMaskCoord);
      glDrawElements(GL_TRIANGLES, op.quads * 6, GL_UNSIGNED_SHORT, nullptr);
      glDisableVertexAttribArray(QuadProgram::kMaskCoord);
      glBindBuffer(GL_ARRAY_BUFFER, vertexBuffer);
      pointedAt = -1;
      ++drawCalls;
    };

    std::vector<ScissorBox> scissors;
    // A scissor that holds the whole viewport cuts nothing: the test stays
    // off, and the GL state is touched only when the box changes.
    std::optional<ScissorBox> applied;
    auto applyScissor = [&] {
      std::optional<ScissorBox> wanted;
      if (!scissors.empty()) {
        const ScissorBox& b = scissors.back();
        if (b.x0 > 0 || b.y0 > 0 || b.x1 < width || b.y1 < height) wanted = b;
      }
      if (wanted == applied) return;
      if (!wanted) {
        glDisable(GL_SCISSOR_TEST);
      } else {
        const ScissorBox& b = *wanted;
        if (!applied) glEnable(GL_SCISSOR_TEST);
        glScissor(b.x0, height - b.y1, std::max(0, b.x1 - b.x0), std::max(0, b.y1 - b.y0));
      }
      applied = wanted;
    };
    int stencilDepth = 0;
    // Marks (INCR) or unmarks (DECR) the clip's shape where the enclosing
    // clips already pass.
    auto stencilShape = [&](const Op& op, GLenum change) {
      glEnable(GL_STENCIL_TEST);
      glColorMask(GL_FALSE, GL_FALSE, GL_FALSE, GL_FALSE);
      glStencilFunc(GL_EQUAL, stencilDepth, 0xFF);
      glStencilOp(GL_KEEP, GL_KEEP, change);
      drawQuads(0, false, Sampling::Smooth, op.firstQuad, 1);
      glColorMask(GL_TRUE, GL_TRUE, GL_TRUE, GL_TRUE);
    };

    for (const Op& op : ops) {
      switch (op.kind) {
        case Op::Kind::Draw:
          if (op.mask)
            drawMasked(op);
          else
            drawQuads(op.texture, op.blend, op.sampling, op.firstQuad, op.quads);
          break;
        case Op::Kind::PushScissor: {
          // Pixels whose centres lie inside the box.
          ScissorBox b{
              static_cast<int>(std::lround(op.box.x0)), static_cast<int>(std::lround(op.box.y0)),
              static_cast<int>(std::lround(op.box.x1)), static_cast<int>(std::lround(op.box.y1))};
          const ScissorBox outer =
              scissors.empty() ? ScissorBox{0, 0, width, height} : scissors.back();
          b = {std::max(b.x0, outer.x0), std::max(b.y0, outer.y0), std::min(b.x1, outer.x1),
               std::min(b.y1, outer.y1)};
          scissors.push_back(b);
          applyScissor();
          break;
        }
        case Op::Kind::PopScissor:
          if (!scissors.empty()) scissors.pop_back();
          applyScissor();
          break;
        case Op::Kind::PushStencil:
          stencilShape(op, GL_INCR);
          ++stencilDepth;
          glStencilFunc(GL_EQUAL, stencilDepth, 0xFF);
          glStencilOp(GL_KEEP, GL_KEEP, GL_KEEP);
          break;
        case Op::Kind::PopStencil:
          stencilShape(op, GL_DECR);
          --stencilDepth;
          glStencilFunc(GL_EQUAL, stencilDepth, 0xFF);
          glStencilOp(GL_KEEP, GL_KEEP, GL_KEEP);
          if (stencilDepth == 0) glDisable(GL_STENCIL_TEST);
          break;
      }
    }
    glDisable(GL_SCISSOR_TEST);
    glDisable(GL_STENCIL_TEST);
    // Others on this context sample with their textures' own settings.
    if (usesSamplers()) glBindSampler(0, 0);
    return drawCalls;
  }
};

Compositor::Compositor(int glesVersionLimit) {
  try {
    GlCapabilities caps = queryGlCapabilities();
    if (glesVersionLimit < caps.majorVersion) {
      caps.majorVersion = glesVersionLimit;
      caps.npotMipmaps = caps.npotMipmaps && glesVersionLimit >= 3;
    }
    impl_ = std::make_unique<Impl>(caps);
  } catch (const RenderError&) {
    throw;
  } catch (const std::exception& e) {
    throw RenderError(e.what());
  }
}

Compositor::~Compositor() = default;

void Compositor::draw(const kit::View& root, const FrameSettings& settings) {
  Impl& m = *impl_;
  // Errors from before this frame are not this frame's.
  for (int i = 0; i < 16 && glGetError() != GL_NO_ERROR; ++i) {
  }
  const int width = std::max(0, settings.viewportWidth),
            height = std::max(0, settings.viewportHeight);
  buildDrawList(root, settings, m.list);
  m.prepare(width, height);

  glViewport(0, 0, width, height);
  glDisable(GL_DEPTH_TEST);
  glDisable(GL_CULL_FACE);
  glDisable(GL_SCISSOR_TEST);
  glDisable(GL_STENCIL_TEST);
  glColorMask(GL_TRUE, GL_TRUE, GL_TRUE, GL_TRUE);
  glStencilMask(0xFF);
  const kit::Color& c = settings.clearColor;
  const float ca = std::clamp(c.a, 0.0f, 1.0f);
  glClearColor(c.r * ca, c.g * ca, c.b * ca, ca);
  glClearStencil(0);
  glClear(GL_COLOR_BUFFER_BIT | (m.caps.stencilBits > 0 ? GL_STENCIL_BUFFER_BIT : 0));

  glBlendFunc(GL_ONE, GL_ONE_MINUS_SRC_ALPHA);
  glActiveTexture(GL_TEXTURE0);
  if (m.caps.majorVersion >= 3) glBindVertexArray(0);
  glBindBuffer(GL_ELEMENT_ARRAY_BUFFER, m.indexBuffer);
  glBindBuffer(GL_ARRAY_BUFFER, m.vertexBuffer);
  glBufferData(GL_ARRAY_BUFFER, static_cast<GLsizeiptr>(m.vertices.size() * sizeof(Vertex)),
               m.vertices.empty() ? nullptr : m.vertices.data(), GL_STREAM_DRAW);
  if (!m.maskedVertices.empty()) {
    glBindBuffer(GL_ARRAY_BUFFER, m.maskedVertexBuffer);
    glBufferData(GL_ARRAY_BUFFER,
                 static_cast<GLsizeiptr>(m.maskedVertices.size() * sizeof(MaskedVertex)),
                 m.maskedVertices.data(), GL_STREAM_DRAW);
    glBindBuffer(GL_ARRAY_BUFFER, m.vertexBuffer);
  }
  glEnableVertexAttribArray(QuadProgram::kPosition);
  glEnableVertexAttribArray(QuadProgram::kTexCoord);
  glEnableVertexAttribArray(QuadProgram::kColor);

  stats_ = {};
  stats_.drawCalls = m.submit(settings);
  stats_.viewsVisited = m.list.viewsVisited;
  stats_.viewsCulled = m.list.viewsCulled;
  stats_.quadsHidden = m.quadsHidden;
  stats_.quadsFolded = m.quadsFolded;
  for (const Op& op : m.ops)
    if (op.kind == Op::Kind::Draw) stats_.quadsDrawn += op.quads;

  m.texts.endFrame();
  m.atlas.endFrame();
  m.textures.collect();
  m.masks.collect();
  stats_.texturesAlive = m.textures.size() + m.masks.size();

  if (const GLenum error = glGetError(); error != GL_NO_ERROR)
    throw RenderError("drawing the frame failed: " + glErrorName(error));
}

}  // namespace render
