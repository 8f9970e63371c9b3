#include "fakescreen/rubbed_view.h"

#include <algorithm>
#include <cmath>

#include "app/vitrane_view_controller.h"
#include "kit/log.h"

namespace {
constexpr double kBrushHalfSize = 50;  // points, for one finger; two or more double it
constexpr int kWidestBrushFingers = 2;
constexpr float kStatusBarStrip = 20;        // points from the top of the screen
constexpr double kUncoveredFraction = 0.75;  // of the picture's area, for the screen to go
constexpr double kVeryLongPressSeconds = 3.0;
constexpr int kMostRubbingFingers = 3;
}  // namespace

void RubbedView::updateRubbingImages(kit::ImageRef revealed, kit::ImageRef brush) {
  revealedImage_ = std::move(revealed);
  brushImage_ = std::move(brush);
}

kit::Size RubbedView::pictureSize() const {
  return revealedImage_ ? revealedImage_->size() : kit::Size{};
}

void RubbedView::setupRubbing() {
  begunRub = false;

  // One sample a point, the picture's size in whole points.
  const kit::Size size = pictureSize();
  alphaContext_ = std::make_unique<kit::GreyBitmapContext>(static_cast<int>(size.width),
                                                           static_cast<int>(size.height));
  alphaContext_->setFillColor(1, 1, 1, 1);
  alphaContext_->fillRect(bounds());
  alphaContext_->setBlendMode(kit::BlendMode::PlusDarker);

  if (panGesture_) return;
  auto pan =
      std::make_shared<kit::PanGestureRecognizer>([this](kit::GestureRecognizer& g) { rubPan(g); });
  pan->maximumNumberOfTouches = kMostRubbingFingers;
  auto tap =
      std::make_shared<kit::TapGestureRecognizer>([this](kit::GestureRecognizer& g) { rubTap(g); });
  auto press = std::make_shared<kit::LongPressGestureRecognizer>(
      [this](kit::GestureRecognizer& g) { veryLongPressMenu(g); });
  press->minimumPressDuration = kVeryLongPressSeconds;
  panGesture_ = pan.get();
  tapGesture_ = tap.get();
  pressGesture_ = press.get();
  addGestureRecognizer(std::move(pan));
  addGestureRecognizer(std::move(tap));
  addGestureRecognizer(std::move(press));
}

void RubbedView::stamp(const kit::Rect& rect) {
  if (alphaContext_ && brushImage_) alphaContext_->drawImage(rect, *brushImage_);
}

void RubbedView::hideStatusBar() {
  if (vitraneController_)
    vitraneController_->platform().application().setStatusBarHidden(true,
                                                                    kit::StatusBarAnimation::Fade);
}

void RubbedView::growRect(kit::Point p) {
  const double x = rubbedRect.origin.x, y = rubbedRect.origin.y;
  const double newX = std::min(x, static_cast<double>(p.x));
  const double newY = std::min(y, static_cast<double>(p.y));
  const double right = std::max(x + rubbedRect.size.width, static_cast<double>(p.x));
  const double bottom = std::max(y + rubbedRect.size.height, static_cast<double>(p.y));
  rubbedRect = kit::Rect(static_cast<float>(newX), static_cast<float>(newY),
                         static_cast<float>(right - newX), static_cast<float>(bottom - newY));
}

void RubbedView::rubPan(kit::GestureRecognizer& g) {
  const kit::GestureState state = g.state();
  if (state == kit::GestureState::Began) isMidPan = false;
  if (state == kit::GestureState::Changed) isMidPan = true;

  if (state == kit::GestureState::Began || state == kit::GestureState::Changed) {
    const kit::Point p = g.locationInView(superview());
    if (!begunRub) {
      rubbedRect = kit::Rect(p.x, p.y, 0, 0);
      begunRub = true;
    } else {
      growRect(p);
    }

    // Enough has been rubbed: the whole screen goes at once.
    const kit::Size picture = pictureSize();
    const float rubbedArea = rubbedRect.size.width * rubbedRect.size.height;
    if (std::trunc(rubbedArea) > kUncoveredFraction * picture.width * picture.height) {
      hideStatusBar();
      setHidden(true);
      setupRubbing();
      setUserInteractionEnabled(false);
      rubbedRect = kit::Rect(0, 0, picture.width, picture.height);
      kit::log("Finish uncovering with width");
    }

    if (p.y < kStatusBarStrip) hideStatusBar();

    const double d = kBrushHalfSize * std::min(g.numberOfTouches(), kWidestBrushFingers);
    if (isMidPan) {
      // At the previous point, stretched right and down over a long move.
      const kit::Point q = previousPanPoint;
      const float dx = std::fabs(p.x - q.x), dy = std::fabs(p.y - q.y);
      stamp(kit::Rect(static_cast<float>(q.x - d), static_cast<float>(q.y - d),
                      static_cast<float>(std::max(static_cast<double>(dx), 2 * d)),
                      static_cast<float>(std::max(static_cast<double>(dy), 2 * d))));
    } else {
      stamp(kit::Rect(static_cast<float>(p.x - d), static_cast<float>(p.y - d),
                      static_cast<float>(2 * d), static_cast<float>(2 * d)));
    }
    setNeedsDisplay();

    previousPanPoint = p;
  }

  if (state == kit::GestureState::Ended) isMidPan = false;
}

void RubbedView::rubTap(kit::GestureRecognizer& g) {
  if (g.state() != kit::GestureState::Ended) return;
  const kit::Point p = g.locationInView(superview());
  if (vitraneController_) vitraneController_->hideInstructionsPanel();
  const float side = static_cast<float>(2 * kBrushHalfSize);
  stamp(kit::Rect(p.x - side / 2, p.y - side / 2, side, side));
  setNeedsDisplay();
}

void RubbedView::veryLongPressMenu(kit::GestureRecognizer& g) {
  if (g.state() == kit::GestureState::Began || g.state() == kit::GestureState::Changed)
    if (vitraneController_) vitraneController_->showInstructionsPanel();
}

void RubbedView::drawRect(kit::ViewDrawingContext& context, const kit::Rect& rect) {
  // At most one snapshot alive: the old one goes before the new one is taken.
  alphaCGImage_.reset();
  if (!alphaContext_) return;
  alphaCGImage_ = alphaContext_->makeImage();
  context.clipToMask(rect, alphaCGImage_);
  context.drawImage(revealedImage_, rect);
}
