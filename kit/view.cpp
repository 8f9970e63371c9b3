#include "kit/view.h"

#include <algorithm>
#include <cstdio>

#include "kit/gesture_recognizer.h"

namespace kit {

Color interpolate(const Color& from, const Color& to, double t) {
  return {interpolate(from.r, to.r, t), interpolate(from.g, to.g, t), interpolate(from.b, to.b, t),
          interpolate(from.a, to.a, t)};
}

namespace {
// Views live on the main thread only.
std::uint64_t g_lastRevision = 0;
}  // namespace

View::View() : subtreeRevision_(++g_lastRevision) {}

View::View(const Rect& frame) : View() { setFrame(frame); }

void View::noteContentChange() {
  const double now = mainClockNow();
  bool shows = true;
  for (View* v = this; v; v = v->superview_) {
    v->subtreeRevision_ = ++g_lastRevision;
    shows = shows && v->showsSubtree(now);
  }
  if (shows) noteVisualChange();
}

void View::notePlacementChange() {
  if (superview_)
    superview_->noteContentChange();
  else
    noteVisualChange();
}

bool View::showsSubtree(double time) const {
  return !hidden_ && (alpha_.model() >= kMinShownAlpha || alpha_.isAnimating(time));
}

View::~View() {
  for (auto& sub : subviews_) sub->superview_ = nullptr;
  for (auto& r : recognizers_) r->attachToView(nullptr);
}

// --- Geometry ---------------------------------------------------------------

Point View::anchorInBounds() const {
  const Rect b = bounds();
  return {b.origin.x + anchorPoint_.x * b.size.width, b.origin.y + anchorPoint_.y * b.size.height};
}

Rect View::frame() const {
  const Rect b = bounds();
  const Rect local(-anchorPoint_.x * b.size.width, -anchorPoint_.y * b.size.height, b.size.width,
                   b.size.height);
  Rect r = transform().applyToRect(local);
  r.origin.x += center().x;
  r.origin.y += center().y;
  return r;
}

void View::setFrame(const Rect& frame) {
  Rect b = bounds();
  b.size = frame.size;
  setBounds(b);
  setCenter({frame.origin.x + anchorPoint_.x * frame.size.width,
             frame.origin.y + anchorPoint_.y * frame.size.height});
}

ViewPresentation View::presentation(double t) const {
  return {bounds_.at(t), center_.at(t), transform_.at(t), alpha_.at(t), backgroundColor_.at(t)};
}

bool View::isAnimating(double t) const {
  return bounds_.isAnimating(t) || center_.isAnimating(t) || transform_.isAnimating(t) ||
         alpha_.isAnimating(t) || backgroundColor_.isAnimating(t);
}

// --- Tree -------------------------------------------------------------------

void View::detachFromSuperview() {
  if (!superview_) return;
  auto& siblings = superview_->subviews_;
  siblings.erase(std::remove_if(siblings.begin(), siblings.end(),
                                [this](const ViewRef& v) { return v.get() == this; }),
                 siblings.end());
  superview_->noteContentChange();
  superview_ = nullptr;
}

void View::addSubview(ViewRef view) { insertSubview(std::move(view), subviews_.size()); }

void View::insertSubview(ViewRef view, size_t index) {
  if (!view || view.get() == this || isDescendantOf(view.get())) return;
  // Keep it alive while it moves between superviews.
  ViewRef keep = view;
  keep->detachFromSuperview();
  index = std::min(index, subviews_.size());
  subviews_.insert(subviews_.begin() + static_cast<std::ptrdiff_t>(index), keep);
  keep->superview_ = this;
  keep->didMoveToSuperview();
  noteContentChange();
}

void View::removeFromSuperview() {
  if (!superview_) return;
  ViewRef keep = shared_from_this();
  detachFromSuperview();
  didMoveToSuperview();
}

void View::removeAllSubviews() {
  std::vector<ViewRef> old;
  old.swap(subviews_);
  if (!old.empty()) noteContentChange();
  for (auto& v : old) {
    v->superview_ = nullptr;
    v->didMoveToSuperview();
  }
}

void View::bringSubviewToFront(View* view) {
  auto it = std::find_if(subviews_.begin(), subviews_.end(),
                         [view](const ViewRef& v) { return v.get() == view; });
  // Already in front: nothing changes, and nothing is noted as changed.
  if (it == subviews_.end() || std::next(it) == subviews_.end()) return;
  ViewRef keep = *it;
  subviews_.erase(it);
  subviews_.push_back(std::move(keep));
  noteContentChange();
}

bool View::isDescendantOf(const View* other) const {
  for (const View* v = this; v; v = v->superview_)
    if (v == other) return true;
  return false;
}

View* View::root() {
  View* v = this;
  while (v->superview_) v = v->superview_;
  return v;
}

const View* View::root() const {
  const View* v = this;
  while (v->superview_) v = v->superview_;
  return v;
}

// --- Coordinates ------------------------------------------------------------

AffineTransform View::transformToSuperview() const {
  const Point a = anchorInBounds();
  AffineTransform m = AffineTransform::makeTranslation(-a.x, -a.y);
  m = AffineTransform::concat(m, transform());
  return AffineTransform::concat(m, AffineTransform::makeTranslation(center().x, center().y));
}

Point View::convertToSuperview(Point p) const {
  const Point a = anchorInBounds();
  const Point q = transform().apply({p.x - a.x, p.y - a.y});
  return {center().x + q.x, center().y + q.y};
}

Point View::convertFromSuperview(Point p) const {
  const Point a = anchorInBounds();
  const Point q = transform().inverted().apply({p.x - center().x, p.y - center().y});
  return {q.x + a.x, q.y + a.y};
}

Point View::convertPointToView(Point p, const View* other) const {
  if (other == this) return p;
  // Up to the nearest common ancestor, or to the root when there is none.
  const View* common = nullptr;
  if (other)
    for (const View* v = this; v; v = v->superview_)
      if (other->isDescendantOf(v)) {
        common = v;
        break;
      }
  for (const View* v = this; v != common && v; v = v->superview_)
    if (v->superview_ || common) p = v->convertToSuperview(p);
  if (!other) return p;
  // Down from the common ancestor (or the root) to other.
  std::vector<const View*> path;
  for (const View* v = other; v != common && v; v = v->superview_)
    if (v->superview_ || common) path.push_back(v);
  for (auto it = path.rbegin(); it != path.rend(); ++it) p = (*it)->convertFromSuperview(p);
  return p;
}

Point View::convertPointFromView(Point p, const View* other) const {
  if (!other) {
    // From root coordinates of this view's own tree.
    std::vector<const View*> path;
    for (const View* v = this; v->superview_; v = v->superview_) path.push_back(v);
    for (auto it = path.rbegin(); it != path.rend(); ++it) p = (*it)->convertFromSuperview(p);
    return p;
  }
  return other->convertPointToView(p, this);
}

// --- Touches ----------------------------------------------------------------

View* View::hitTest(Point p) {
  if (hidden_ || alpha() < kMinShownAlpha || !userInteractionEnabled_ || !pointInside(p))
    return nullptr;
  for (auto it = subviews_.rbegin(); it != subviews_.rend(); ++it) {
    View* sub = it->get();
    if (View* hit = sub->hitTest(sub->convertFromSuperview(p))) return hit;
  }
  return this;
}

void View::addGestureRecognizer(std::shared_ptr<GestureRecognizer> recognizer) {
  if (!recognizer) return;
  if (View* old = recognizer->view(); old && old != this)
    old->removeGestureRecognizer(recognizer.get());
  if (std::find(recognizers_.begin(), recognizers_.end(), recognizer) != recognizers_.end()) return;
  recognizer->attachToView(this);
  recognizers_.push_back(std::move(recognizer));
}

void View::removeGestureRecognizer(GestureRecognizer* recognizer) {
  auto it = std::find_if(recognizers_.begin(), recognizers_.end(),
                         [recognizer](const auto& r) { return r.get() == recognizer; });
  if (it == recognizers_.end()) return;
  (*it)->attachToView(nullptr);
  recognizers_.erase(it);
}

std::string View::description() const {
  const Rect f = frame();
  char buf[160];
  std::snprintf(buf, sizeof buf, "<%s%s%s; frame = (%g %g; %g %g)>", className().c_str(),
                name_.empty() ? "" : " ", name_.c_str(), f.origin.x, f.origin.y, f.size.width,
                f.size.height);
  return buf;
}

}  // namespace kit
