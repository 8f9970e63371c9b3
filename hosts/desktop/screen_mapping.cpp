#include "hosts/desktop/screen_mapping.h"

#include <algorithm>
#include <cmath>

namespace desktop {

Letterbox fitScreen(int drawableWidth, int drawableHeight) {
  if (drawableWidth <= 0 || drawableHeight <= 0) return {};
  const float scale = std::min(static_cast<float>(drawableWidth) / kScreenWidth,
                               static_cast<float>(drawableHeight) / kScreenHeight);
  Letterbox box;
  box.pixelsPerPoint = scale;
  // The side that limits the scale fills the drawable exactly; the other is
  // rounded, so a window one pixel off 3:4 gets no one-pixel sliver of bar.
  box.width = std::min(drawableWidth, static_cast<int>(std::lround(kScreenWidth * scale)));
  box.height = std::min(drawableHeight, static_cast<int>(std::lround(kScreenHeight * scale)));
  box.x = (drawableWidth - box.width) / 2;
  box.y = (drawableHeight - box.height) / 2;
  return box;
}

kit::Point mirroredPoint(kit::Point p) { return {kScreenWidth - p.x, kScreenHeight - p.y}; }

void TouchMapper::setGeometry(const WindowGeometry& geometry) {
  geometry_ = geometry;
  letterbox_ = fitScreen(geometry.drawableWidth, geometry.drawableHeight);
}

kit::Point TouchMapper::screenPointFromWindow(float x, float y) const {
  if (letterbox_.isEmpty() || geometry_.windowWidth <= 0 || geometry_.windowHeight <= 0)
    return {-1, -1};  // off the screen: nothing can be touched in a minimised window
  const float px =
      x * static_cast<float>(geometry_.drawableWidth) / static_cast<float>(geometry_.windowWidth);
  const float py =
      y * static_cast<float>(geometry_.drawableHeight) / static_cast<float>(geometry_.windowHeight);
  return {(px - static_cast<float>(letterbox_.x)) / letterbox_.pixelsPerPoint,
          (py - static_cast<float>(letterbox_.y)) / letterbox_.pixelsPerPoint};
}

kit::Point TouchMapper::screenPointFromNormalised(float x, float y) const {
  return screenPointFromWindow(x * static_cast<float>(geometry_.windowWidth),
                               y * static_cast<float>(geometry_.windowHeight));
}

kit::Point TouchMapper::windowPointFromScreen(kit::Point p) const {
  if (letterbox_.isEmpty() || geometry_.drawableWidth <= 0 || geometry_.drawableHeight <= 0)
    return {-1, -1};
  const float px = p.x * letterbox_.pixelsPerPoint + static_cast<float>(letterbox_.x);
  const float py = p.y * letterbox_.pixelsPerPoint + static_cast<float>(letterbox_.y);
  return {
      px * static_cast<float>(geometry_.windowWidth) / static_cast<float>(geometry_.drawableWidth),
      py * static_cast<float>(geometry_.windowHeight) /
          static_cast<float>(geometry_.drawableHeight)};
}

kit::Point TouchMapper::normalisedPointFromScreen(kit::Point p) const {
  const kit::Point w = windowPointFromScreen(p);
  if (geometry_.windowWidth <= 0 || geometry_.windowHeight <= 0) return {-1, -1};
  return {w.x / static_cast<float>(geometry_.windowWidth),
          w.y / static_cast<float>(geometry_.windowHeight)};
}

bool TouchMapper::isOnScreen(kit::Point p) const {
  return kit::Rect(0, 0, kScreenWidth, kScreenHeight).contains(p);
}

kit::Point TouchMapper::clampToScreen(kit::Point p) const {
  // The far edges are outside (hit-testing is half-open), so stop just short.
  const float maxX = std::nextafter(kScreenWidth, 0.0f);
  const float maxY = std::nextafter(kScreenHeight, 0.0f);
  return {std::clamp(p.x, 0.0f, maxX), std::clamp(p.y, 0.0f, maxY)};
}

TouchMapper::Active* TouchMapper::find(const Key& key) {
  auto it =
      std::find_if(active_.begin(), active_.end(), [&](const Active& a) { return a.key == key; });
  return it == active_.end() ? nullptr : &*it;
}

int TouchMapper::freeId() const {
  for (int id = 0;; ++id)
    if (std::none_of(active_.begin(), active_.end(), [id](const Active& a) { return a.id == id; }))
      return id;
}

void TouchMapper::begin(const Key& key, kit::Point location) {
  if (find(key)) return;  // a repeated down for a finger already down
  active_.push_back({key, freeId(), location, kit::TouchPhase::Began});
}

void TouchMapper::move(const Key& key, kit::Point location) {
  Active* a = find(key);
  const kit::Point p = clampToScreen(location);
  // A finger held against the edge, or a modifier pressed with the mouse
  // still, is not a move.
  if (!a || p == a->location) return;
  a->location = p;
  a->phase = kit::TouchPhase::Moved;
}

void TouchMapper::end(const Key& key, kit::Point location, kit::TouchPhase phase) {
  Active* a = find(key);
  if (!a) return;
  a->location = clampToScreen(location);
  a->phase = phase;
}

void TouchMapper::deliver(double t) {
  std::vector<kit::Touch> touches;
  touches.reserve(active_.size());
  bool changed = false;
  for (const Active& a : active_) {
    touches.push_back({a.id, a.phase, a.location, t});
    changed = changed || a.phase != kit::TouchPhase::Stationary;
  }
  std::erase_if(active_, [](const Active& a) {
    return a.phase == kit::TouchPhase::Ended || a.phase == kit::TouchPhase::Cancelled;
  });
  for (Active& a : active_) a.phase = kit::TouchPhase::Stationary;
  if (changed) sink_.touchesChanged(touches);
}

void TouchMapper::fingerDown(std::int64_t device, std::int64_t finger, float x, float y, double t) {
  const kit::Point p = screenPointFromNormalised(x, y);
  if (!isOnScreen(p)) return;
  begin({Source::Finger, device, finger}, p);
  deliver(t);
}

void TouchMapper::fingerMoved(std::int64_t device, std::int64_t finger, float x, float y,
                              double t) {
  if (!find({Source::Finger, device, finger})) return;
  move({Source::Finger, device, finger}, screenPointFromNormalised(x, y));
  deliver(t);
}

void TouchMapper::fingerUp(std::int64_t device, std::int64_t finger, float x, float y, double t) {
  if (!find({Source::Finger, device, finger})) return;
  end({Source::Finger, device, finger}, screenPointFromNormalised(x, y), kit::TouchPhase::Ended);
  deliver(t);
}

void TouchMapper::mouseDown(float x, float y, bool mirror, double t) {
  if (mouseDown_) return;
  const kit::Point p = screenPointFromWindow(x, y);
  if (!isOnScreen(p)) return;
  mouseDown_ = true;
  begin({Source::Mouse}, p);
  if (mirror) begin({Source::MouseMirror}, mirroredPoint(p));
  deliver(t);
}

void TouchMapper::mouseMoved(float x, float y, bool mirror, double t) {
  if (!mouseDown_) return;
  move({Source::Mouse}, screenPointFromWindow(x, y));
  // Mirror the held position, so the two fingers stay symmetric when the
  // pointer strays off the screen.
  const kit::Point second = mirroredPoint(find({Source::Mouse})->location);
  const bool mirrored = find({Source::MouseMirror}) != nullptr;
  if (mirror && !mirrored)
    begin({Source::MouseMirror}, clampToScreen(second));
  else if (!mirror && mirrored)
    end({Source::MouseMirror}, second, kit::TouchPhase::Ended);
  else if (mirrored)
    move({Source::MouseMirror}, second);
  deliver(t);
}

void TouchMapper::mouseUp(float x, float y, double t) {
  if (!mouseDown_) return;
  mouseDown_ = false;
  end({Source::Mouse}, screenPointFromWindow(x, y), kit::TouchPhase::Ended);
  if (find({Source::MouseMirror}))
    end({Source::MouseMirror}, mirroredPoint(find({Source::Mouse})->location),
        kit::TouchPhase::Ended);
  deliver(t);
}

void TouchMapper::cancelAll(double t) {
  mouseDown_ = false;
  for (Active& a : active_) a.phase = kit::TouchPhase::Cancelled;
  deliver(t);
}

}  // namespace desktop
