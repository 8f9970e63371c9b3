#include "render/compositor.h"

namespace render {

struct Compositor::Impl {};

Compositor::Compositor() : impl_(std::make_unique<Impl>()) {}
Compositor::~Compositor() = default;

void Compositor::draw(const kit::View&, const FrameSettings&) {}

}  // namespace render
