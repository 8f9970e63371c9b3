#include "hosts/desktop/birds_eye_panel.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "kit/image_view.h"
#include "render/window_frame.h"

namespace desktop {

namespace {

// A view's own coordinates to the screen's (its tree's root), from the
// views' model values.
kit::AffineTransform toScreen(const kit::View& view) {
  return affineThrough([&](kit::Point p) { return view.convertPointToView(p, nullptr); });
}

// The picture's tile field as it lies now, in the picture's coordinates;
// none while it has no tiles.
std::optional<TileField> tileFieldOf(const VitraneforiPadViewController& vc) {
  const kit::View& field = *vc.outlets.seamlessTiles;
  const float pitchX = static_cast<float>(vc.tiles.tileHorizontalPitch);
  const float pitchY = static_cast<float>(vc.tiles.tileVerticalPitch);
  if (field.isHidden() || pitchX < 1 || pitchY < 1) return std::nullopt;
  const auto& tiles = field.subviews();
  const auto columns = static_cast<std::size_t>(std::lround(field.bounds().size.width / pitchX));
  if (columns < 2 || tiles.size() < columns + 2) return std::nullopt;
  TileField f;
  const std::size_t firsts[4] = {0, 1, columns, columns + 1};
  for (int k = 0; k < 4; ++k) {
    const auto* tile = dynamic_cast<const kit::ImageView*>(tiles[firsts[k]].get());
    if (!tile || !tile->image()) return std::nullopt;
    f.faces[k] = tile->image();
  }
  // Whole periods of the pattern off, so that the field's recentring under
  // the screen, a period at a time, leaves this unchanged.
  const kit::Point o =
      field.convertPointToView(tiles[0]->frame().origin, vc.outlets.stretcherView.get());
  f.origin = {o.x - 2 * pitchX * std::floor(o.x / (2 * pitchX)),
              o.y - 2 * pitchY * std::floor(o.y / (2 * pitchY))};
  f.pitchX = pitchX;
  f.pitchY = pitchY;
  return f;
}

}  // namespace

BirdsEyePanel::BirdsEyePanel() {
  // A compositor of its own keeps the two trees' text and textures from
  // taking each other's place in its caches frame after frame.
  if (render::canCopyBetweenFramebuffers()) {
    compositor_ = std::make_unique<render::Compositor>();
    target_ = std::make_unique<render::FramebufferTarget>();
  } else {
    std::fprintf(stderr,
                 "vitrane: the table seen from above needs OpenGL ES 3; this context has less\n");
  }
}

void BirdsEyePanel::launched(const VitraneforiPadViewController& vc,
                             const kit::SimulatedTablet& tablet) {
  const kit::TabletPose pose = tablet.pose();
  const kit::AffineTransform screenToTable = affineThrough([&](kit::Point s) {
    const kit::Vector3 t = pose.tablePointUnder(s.x, s.y);
    return kit::Point{static_cast<float>(t.x), static_cast<float>(t.y)};
  });
  pictureToTable_ =
      kit::AffineTransform::concat(toScreen(*vc.outlets.stretcherView), screenToTable);
  view_ = std::make_unique<BirdsEyeView>(tablet.geometry());
}

void BirdsEyePanel::toggle(int drawableWidth, int drawableHeight) {
  mode_ = toggledBirdsEye(mode_, drawableWidth, drawableHeight);
}

bool BirdsEyePanel::changes(const kit::SimulatedTablet& tablet, double now, int drawableWidth,
                            int drawableHeight) {
  if (tablet.isMoving())
    tabletMovesEnd_ = tablet.movesEnd();
  else
    tabletMovesEnd_ = std::min(tabletMovesEnd_, tablet.now());
  if (!view_ || !placeBirdsEye(drawableWidth, drawableHeight, mode_)) return false;
  return now < tabletMovesEnd_ + 5 * BirdsEyeView::kGlideSeconds || now < view_->changesUntil();
}

void BirdsEyePanel::draw(const VitraneforiPadViewController& vc, const kit::SimulatedTablet& tablet,
                         const TabletKeyboard& keys, double now, int drawableWidth,
                         int drawableHeight) {
  const auto panel = placeBirdsEye(drawableWidth, drawableHeight, mode_);
  if (!panel || !compositor_ || !view_) return;
  view_->setTable(tileFieldOf(vc), pictureToTable_);
  BirdsEyeView::State state;
  state.time = tablet.now();
  state.pose = tablet.pose();
  state.pivot = tablet.defaultPivot();
  state.picturePivot = vc.pivot.currentAnchor();
  state.estimatedPivot = vc.estimatedFlatPivot();
  state.pictureScreenToTable =
      kit::AffineTransform::concat(toScreen(*vc.outlets.stretcherView).inverted(), pictureToTable_);
  state.photos = photosOnTable(*vc.outlets.photosLayerView, *vc.outlets.stretcherView);
  if (const auto& slide = keys.lastSlide())
    state.slide = BirdsEyeView::State::Slide{slide->from, slide->ends};
  view_->update(state);

  if (!target_->bind(panel->side, panel->side)) {
    std::fprintf(stderr,
                 "vitrane: no framebuffer for the table seen from above; it stays hidden\n");
    compositor_.reset();
    return;
  }
  render::FrameSettings settings;
  settings.time = now;
  settings.viewportWidth = panel->side;
  settings.viewportHeight = panel->side;
  settings.pixelsPerPoint = static_cast<float>(panel->side) / kBirdsEyePoints;
  settings.clearColor = kit::Color::black();
  compositor_->draw(*view_->root(), settings);
  render::copyIntoWindow(*target_, {panel->x, panel->y, panel->side, panel->side}, drawableHeight);
}

}  // namespace desktop
