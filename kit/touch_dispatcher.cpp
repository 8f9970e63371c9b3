#include "kit/touch_dispatcher.h"

#include <algorithm>
#include <cmath>

#include "kit/button.h"
#include "kit/view.h"

namespace kit {

namespace {

bool isFinite(Point p) { return std::isfinite(p.x) && std::isfinite(p.y); }

bool isRunning(GestureState s) { return s == GestureState::Began || s == GestureState::Changed; }

int depthOf(const View* view) {
  int depth = 0;
  for (const View* v = view->superview(); v; v = v->superview()) ++depth;
  return depth;
}

Button* buttonAt(View* hit) {
  for (View* v = hit; v; v = v->superview())
    if (auto* button = dynamic_cast<Button*>(v)) return button;
  return nullptr;
}

bool mayRunTogether(GestureRecognizer& a, GestureRecognizer& b) {
  if (a.delegate() &&
      a.delegate()->gestureRecognizerShouldRecognizeSimultaneouslyWithGestureRecognizer(a, b))
    return true;
  return b.delegate() &&
         b.delegate()->gestureRecognizerShouldRecognizeSimultaneouslyWithGestureRecognizer(b, a);
}

}  // namespace

TouchDispatcher::TouchDispatcher(View& root, RunLoop& runLoop, GestureConfig config)
    : root_(root), runLoop_(runLoop), config_(config) {}

TouchDispatcher::~TouchDispatcher() {
  for (const auto& [key, pending] : deadlines_) runLoop_.invalidateTimer(pending.timer);
}

// --- Lookups -------------------------------------------------------------------

TouchDispatcher::LiveTouch* TouchDispatcher::findLive(int id) {
  auto it =
      std::find_if(live_.begin(), live_.end(), [id](const LiveTouch& t) { return t.id == id; });
  return it == live_.end() ? nullptr : &*it;
}

const TouchDispatcher::LiveTouch* TouchDispatcher::findLive(int id) const {
  auto it =
      std::find_if(live_.begin(), live_.end(), [id](const LiveTouch& t) { return t.id == id; });
  return it == live_.end() ? nullptr : &*it;
}

TouchDispatcher::Participant* TouchDispatcher::findParticipant(
    const GestureRecognizer* recognizer) {
  auto it =
      std::find_if(participants_.begin(), participants_.end(),
                   [recognizer](const Participant& p) { return p.recognizer.get() == recognizer; });
  return it == participants_.end() ? nullptr : &*it;
}

View* TouchDispatcher::hitView(int touchId) const {
  const LiveTouch* t = findLive(touchId);
  return t ? t->hit.lock().get() : nullptr;
}

std::vector<GestureRecognizer*> TouchDispatcher::recognizersOf(int touchId) const {
  std::vector<GestureRecognizer*> result;
  for (const Participant& p : participants_)
    if (std::find(p.touches.begin(), p.touches.end(), touchId) != p.touches.end())
      result.push_back(p.recognizer.get());
  return result;
}

// --- Events --------------------------------------------------------------------

void TouchDispatcher::touchesChanged(const std::vector<Touch>& touches) {
  const double time = eventTime(touches);
  // A press that has lasted its duration, or a double tap whose interval
  // ran out, by the time of this event is settled before it.
  runDeadlinesDueBy(time);
  const std::vector<Change> changes = acceptedChanges(touches);
  if (changes.empty()) return;
  for (const Change& c : changes)
    if (c.phase == TouchPhase::Began) touchDown(c);
  for (const Change& c : changes)
    if (LiveTouch* t = findLive(c.id)) t->location = c.location;
  deliver(changes, time);
  pressButtons(changes);
  liftTouches(changes);
}

void TouchDispatcher::cancelAllTouches(double time) {
  std::vector<Touch> touches;
  for (const LiveTouch& t : live_)
    touches.push_back({t.id, TouchPhase::Cancelled, t.location, time});
  if (!touches.empty()) touchesChanged(touches);
}

double TouchDispatcher::eventTime(const std::vector<Touch>& touches) {
  double time = -std::numeric_limits<double>::infinity();
  for (const Touch& t : touches)
    if (std::isfinite(t.timestamp)) time = std::max(time, t.timestamp);
  if (!std::isfinite(time)) time = runLoop_.clock().now();
  lastTime_ = std::max(lastTime_, time);
  return lastTime_;
}

std::vector<TouchDispatcher::Change> TouchDispatcher::acceptedChanges(
    const std::vector<Touch>& touches) const {
  std::vector<Change> changes;
  size_t down = live_.size();
  for (const Touch& t : touches) {
    // One change per finger and event; a repeat is noise.
    if (std::any_of(changes.begin(), changes.end(), [&](const Change& c) { return c.id == t.id; }))
      continue;
    const LiveTouch* live = findLive(t.id);
    const bool finite = isFinite(t.location);
    switch (t.phase) {
      case TouchPhase::Began:
        if (live) {
          // Down again without having lifted: the finger is where it says.
          if (finite && !(t.location == live->location))
            changes.push_back({t.id, TouchPhase::Moved, t.location});
        } else if (finite && down < static_cast<size_t>(std::max(0, config_.maximumTouches))) {
          changes.push_back({t.id, TouchPhase::Began, t.location});
          ++down;
        }
        break;
      case TouchPhase::Moved:
        if (live && finite && !(t.location == live->location))
          changes.push_back({t.id, TouchPhase::Moved, t.location});
        break;
      case TouchPhase::Stationary: break;
      case TouchPhase::Ended:
      case TouchPhase::Cancelled:
        if (live) changes.push_back({t.id, t.phase, finite ? t.location : live->location});
        break;
    }
  }
  return changes;
}

void TouchDispatcher::touchDown(const Change& change) {
  LiveTouch touch{change.id, change.location, {}, {}};
  View* hit = root_.hitTest(change.location);
  if (hit) touch.hit = hit->weak_from_this();
  if (Button* button = buttonAt(hit)) {
    touch.button = button->weak_from_this();
  } else {
    for (View* v = hit; v; v = v->superview()) {
      const int depth = depthOf(v);
      // A copy: the list may change under an action later.
      const auto recognizers = v->gestureRecognizers();
      for (const auto& r : recognizers)
        if (r->isEnabled()) enlist(r, depth, change.id);
    }
  }
  live_.push_back(std::move(touch));
}

void TouchDispatcher::enlist(const std::shared_ptr<GestureRecognizer>& recognizer, int depth,
                             int touchId) {
  if (Participant* p = findParticipant(recognizer.get())) {
    p->touches.push_back(touchId);
    return;
  }
  // After every deeper or equally deep one already there.
  auto at = std::find_if(participants_.begin(), participants_.end(),
                         [depth](const Participant& p) { return p.depth < depth; });
  participants_.insert(at, Participant{recognizer, depth, {touchId}});
}

void TouchDispatcher::deliver(const std::vector<Change>& changes, double time) {
  std::vector<std::shared_ptr<GestureRecognizer>> order;
  for (const Participant& p : participants_) order.push_back(p.recognizer);
  for (const auto& r : order) {
    const Participant* p = findParticipant(r.get());
    if (!p) continue;
    const GestureState state = r->state();
    if (!r->isEnabled() || !r->view()) {
      // Disabled (or taken off its view) mid-gesture: it sees no more.
      if (isRunning(state))
        r->setState(GestureState::Cancelled);
      else if (state == GestureState::Possible)
        r->setState(GestureState::Failed);
      continue;
    }
    if (state != GestureState::Possible && !isRunning(state)) continue;
    std::vector<Touch> touches;
    bool changed = false;
    for (int id : p->touches) {
      const LiveTouch* live = findLive(id);
      if (!live) continue;
      TouchPhase phase = TouchPhase::Stationary;
      for (const Change& c : changes)
        if (c.id == id) phase = c.phase;
      changed = changed || phase != TouchPhase::Stationary;
      touches.push_back({id, phase, live->location, time});
    }
    if (!changed) continue;
    r->handleTouches(touches, time, *this);
    syncDeadline(r);
  }
}

void TouchDispatcher::pressButtons(const std::vector<Change>& changes) {
  for (const Change& c : changes) {
    if (c.phase != TouchPhase::Ended) continue;
    const LiveTouch* t = findLive(c.id);
    if (!t) continue;
    const std::shared_ptr<View> view = t->button.lock();
    auto* button = dynamic_cast<Button*>(view.get());
    if (!button || !button->isDescendantOf(&root_)) continue;
    // Touch up inside.
    if (button->pointInside(button->convertPointFromView(c.location, nullptr)))
      button->sendActions();
  }
}

void TouchDispatcher::liftTouches(const std::vector<Change>& changes) {
  std::vector<int> lifted;
  for (const Change& c : changes)
    if (c.phase == TouchPhase::Ended || c.phase == TouchPhase::Cancelled) lifted.push_back(c.id);
  if (lifted.empty()) return;
  auto isLifted = [&](int id) {
    return std::find(lifted.begin(), lifted.end(), id) != lifted.end();
  };
  std::erase_if(live_, [&](const LiveTouch& t) { return isLifted(t.id); });
  std::vector<std::shared_ptr<GestureRecognizer>> done;
  for (Participant& p : participants_) {
    std::erase_if(p.touches, isLifted);
    if (p.touches.empty()) done.push_back(p.recognizer);
  }
  for (const auto& r : done) finish(r);
}

void TouchDispatcher::finish(const std::shared_ptr<GestureRecognizer>& recognizer) {
  std::erase_if(participants_, [&](const Participant& p) { return p.recognizer == recognizer; });
  // Recognisers end with their touches; one that has not (a kind that
  // missed a lift) is not left running.
  if (isRunning(recognizer->state())) recognizer->setState(GestureState::Cancelled);
  if (!recognizer->isWaiting()) recognizer->reset();
  syncDeadline(recognizer);
}

// --- Who runs together -------------------------------------------------------------

bool TouchDispatcher::mayLeavePossible(GestureRecognizer& recognizer) {
  const Participant* self = findParticipant(&recognizer);
  if (!self) return true;
  for (const Participant& other : participants_) {
    if (other.recognizer.get() == &recognizer || !other.recognizer->holdsTouches()) continue;
    const bool shared = std::any_of(self->touches.begin(), self->touches.end(), [&](int id) {
      return std::find(other.touches.begin(), other.touches.end(), id) != other.touches.end();
    });
    if (shared && !mayRunTogether(recognizer, *other.recognizer)) return false;
  }
  return true;
}

// --- Deadlines ---------------------------------------------------------------------

void TouchDispatcher::syncDeadline(const std::shared_ptr<GestureRecognizer>& recognizer) {
  const std::optional<double> wanted = recognizer->deadline();
  auto it = deadlines_.find(recognizer.get());
  if (it != deadlines_.end() &&
      (!wanted || it->second.at != *wanted || it->second.recognizer.lock() != recognizer)) {
    runLoop_.invalidateTimer(it->second.timer);
    deadlines_.erase(it);
    it = deadlines_.end();
  }
  if (!wanted || it != deadlines_.end()) return;
  const GestureRecognizer* key = recognizer.get();
  const RunLoop::TimerId timer = runLoop_.scheduleTimer(
      *wanted, [this, key] { deadlineTimerFired(key); }, RunLoop::kEventPriority);
  deadlines_[key] = {recognizer, *wanted, timer};
}

void TouchDispatcher::deadlineTimerFired(const GestureRecognizer* key) {
  auto it = deadlines_.find(key);
  if (it == deadlines_.end()) return;
  const PendingDeadline pending = it->second;
  deadlines_.erase(it);
  if (const auto recognizer = pending.recognizer.lock())
    runDeadline(recognizer, std::max(pending.at, runLoop_.clock().now()));
}

void TouchDispatcher::runDeadline(const std::shared_ptr<GestureRecognizer>& recognizer,
                                  double time) {
  lastTime_ = std::max(lastTime_, time);
  recognizer->handleDeadline(time, *this);
  // One with no touches left (a multi-tap that waited in vain) starts over.
  if (!findParticipant(recognizer.get()) && !recognizer->isWaiting()) recognizer->reset();
  syncDeadline(recognizer);
}

void TouchDispatcher::runDeadlinesDueBy(double time) {
  for (;;) {
    auto due = deadlines_.end();
    for (auto it = deadlines_.begin(); it != deadlines_.end(); ++it)
      if (it->second.at <= time && (due == deadlines_.end() || it->second.at < due->second.at))
        due = it;
    if (due == deadlines_.end()) return;
    const PendingDeadline pending = due->second;
    runLoop_.invalidateTimer(pending.timer);
    deadlines_.erase(due);
    if (const auto recognizer = pending.recognizer.lock()) runDeadline(recognizer, pending.at);
  }
}

}  // namespace kit
